// The scenario as JSON, the form in which tests and host developers write it (sim/README.md).
#pragma once

#include <string>
#include <string_view>

#include "sim/scenario.h"

namespace steam_sim {

// Reads a scenario from JSON text into `scenario`. Returns "" or a one-line reason that says where
// the mistake is.
std::string parse_scenario(std::string_view json, Scenario& scenario);

}  // namespace steam_sim
