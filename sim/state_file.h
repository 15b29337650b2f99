// The state file (STEAM_SIM_STATE): the world one run ends with is the world the next run begins
// with, so that a host can test a whole flow across runs: download, status, unsubscribe, status.
// The file holds the items only; the account, the models and the scripts still come from the
// scenario.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "sim/os.h"
#include "sim/scenario.h"
#include "sim/world.h"

namespace steam_sim {

struct StateFile {
  std::string path;
  os::Lock lock;  // held from loading to saving, so that runs take turns with the file
  bool said_write_error = false;  // a failing write is reported once, not at every pass
};

// Waits for the file's lock, then lays the items saved in it over `scenario`. A missing file
// leaves the scenario as it is. Returns "" or a one-line reason that names the file; after an
// error the file must not be saved over.
std::string load_state(StateFile& file, Scenario& scenario);

// Writes the world's items to a temporary file beside the state file and puts it in the state
// file's place, keeping the lock. Returns "" or a one-line reason that names the file.
std::string write_state(StateFile& file, const World& world);

// write_state, then lets the lock go.
std::string save_state(StateFile& file, const World& world);

// The state file's text for `items`; parse_state reads it back.
std::string state_json(const std::vector<ItemScenario>& items);

// Reads the items of a state file's text into `items`. Returns "" or a one-line reason.
std::string parse_state(std::string_view json, std::vector<ItemScenario>& items);

}  // namespace steam_sim
