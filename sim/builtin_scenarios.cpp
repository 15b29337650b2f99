// The built-in worlds: the demo world that the top-level README's demo and a host developer's
// first run meet, and the failing world that carries a start-up error to SteamAPI_InitFlat, the one
// place a caller looks.
#include "sim/builtin_scenarios.h"

#include <algorithm>

#include "sim/os.h"

namespace steam_sim {

namespace {

constexpr std::size_t MESSAGE_LIMIT = STEAM_INIT_MESSAGE_SIZE - 1;

// Cuts `text` to what the init message buffer holds, never inside a UTF-8 sequence.
std::string fit_message(std::string text) {
  if (text.size() <= MESSAGE_LIMIT) return text;
  std::size_t end = MESSAGE_LIMIT;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  text.resize(end);
  return text;
}

}  // namespace

Scenario demo_scenario() {
  // A logged-in player and three items: one installed and up to date, one that downloads in ten
  // steps over 60 passes, one whose download fails at its 20th pass. Downloads take turns, as with
  // the real client.
  Scenario demo;
  demo.download_queue = true;

  ItemScenario installed;
  installed.id = 1111111111;
  installed.facts.state = STATE_SUBSCRIBED | STATE_INSTALLED;
  installed.facts.install = ScriptedInstall{os::default_item_folder(installed.id), std::nullopt,
                                            1234567, INSTALL_TIMESTAMP};
  demo.items.push_back(installed);

  ItemScenario downloads;
  downloads.id = 2222222222;
  downloads.download = DownloadModel{48000000, 4800000, 6, os::default_item_folder(downloads.id)};
  demo.items.push_back(downloads);

  ItemScenario fails;
  fails.id = 3333333333;
  fails.download = DownloadModel{25000000, 2500000, 6, os::default_item_folder(fails.id)};
  fails.download->fail_at_pass = 20;
  fails.download->fail_result = 54;
  demo.items.push_back(fails);
  return demo;
}

Scenario failing_scenario(std::string message) {
  std::replace_if(
      message.begin(), message.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
  Scenario failing;
  failing.init_result = 1;
  failing.init_message = fit_message(std::move(message));
  return failing;
}

}  // namespace steam_sim
