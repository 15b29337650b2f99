// The simulator's state file: what one run leaves is what the next run finds, exactly; a running
// download goes on where it stopped; a file that cannot be used is refused and left alone.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "sim/builtin_scenarios.h"
#include "sim/scenario_json.h"
#include "sim/state_file.h"
#include "sim/world.h"

namespace steam_sim {
namespace {

ItemScenario item(PublishedFileId_t id, std::uint32_t state) {
  ItemScenario entry;
  entry.id = id;
  entry.facts.state = state;
  return entry;
}

std::vector<ItemScenario> round_trip(const std::vector<ItemScenario>& items) {
  std::vector<ItemScenario> read;
  EXPECT_EQ(parse_state(state_json(items), read), "");
  return read;
}

TEST(SimStateFile, ItemsComeBackExactly) {
  ItemScenario installed = item(18446744073709551615ULL, STATE_SUBSCRIBED | STATE_INSTALLED);
  installed.facts.install = ScriptedInstall{std::string("C:\\Mods\\\xff\x00x", 11), std::nullopt,
                                      18446744073709551615ULL, 4294967295U};
  installed.facts.download_info = DownloadInfo{5, 9007199254740993ULL};
  installed.facts.accept_download = false;
  ItemScenario filled = item(7, STATE_SUBSCRIBED | STATE_INSTALLED);
  filled.facts.install = ScriptedInstall{"", 'A', 1, 2};
  ItemScenario downloading = item(8, STATE_SUBSCRIBED | STATE_DOWNLOADING);
  downloading.download_passes = 24;

  const std::vector<ItemScenario> read = round_trip({installed, filled, downloading});
  ASSERT_EQ(read.size(), 3u);
  EXPECT_EQ(read[0].id, installed.id);
  EXPECT_EQ(read[0].facts.state, installed.facts.state);
  ASSERT_TRUE(read[0].facts.install);
  EXPECT_EQ(read[0].facts.install->folder, installed.facts.install->folder);
  EXPECT_EQ(read[0].facts.install->size, installed.facts.install->size);
  EXPECT_EQ(read[0].facts.install->timestamp, installed.facts.install->timestamp);
  EXPECT_EQ(read[0].facts.download_info->total, 9007199254740993ULL);
  EXPECT_FALSE(read[0].facts.accept_download);
  EXPECT_FALSE(read[0].download_passes);
  EXPECT_EQ(read[1].facts.install->fill, 'A');
  EXPECT_EQ(read[2].download_passes, 24u);
}

TEST(SimStateFile, ADownloadIsSavedWhereItStoodWhenSteamWent) {
  Scenario scenario;
  ASSERT_EQ(parse_scenario(R"({"items":[{"id":9,"download":{"size":100,"step":10}}],
                                "steamQuits":{"pass":2}})",
                           scenario),
            "");
  World world(std::move(scenario));
  ASSERT_TRUE(world.download_item(9, true));
  for (int pass = 0; pass < 5; ++pass) world.run_pass();
  EXPECT_EQ(world.snapshot().at(0).download_passes, 2u);
}

TEST(SimStateFile, AnItemNoLongerSubscribedIsSavedRemoved) {
  ItemScenario left = item(1, STATE_INSTALLED | STATE_NEEDS_UPDATE);
  left.facts.install = ScriptedInstall{"/mods/1", std::nullopt, 10, 20};
  left.facts.download_info = DownloadInfo{10, 10};
  const std::vector<ItemScenario> read = round_trip({left});
  EXPECT_EQ(read[0].facts.state, 0u);
  EXPECT_FALSE(read[0].facts.install);
  EXPECT_FALSE(read[0].facts.download_info);
}

TEST(SimStateFile, MistakesAreNamedWhereTheyAre) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", "not JSON"},
      {"[]", "state: expected an object"},
      {R"({"steamSimState": 2, "items": []})", "state.steamSimState: expected 1"},
      {R"({"steamSimState": 1})", "state.items: expected a list"},
      {R"({"steamSimState": 1, "items": [], "extra": 1})", "state: unknown key \"extra\""},
      {R"({"steamSimState": 1, "items": [{"id": 5, "state": 0}]})", "items[0].id: expected a string of digits"},
      {R"({"steamSimState": 1, "items": [{"id": "5"}]})", "items[0]: \"state\" is missing"},
      {R"({"steamSimState": 1, "items": [{"id": "5", "state": -1}]})", "items[0].state: expected a whole number"},
      {R"({"steamSimState": 1, "items": [{"id": "5", "state": 0, "install": {"size": 1, "timestamp": 1}}]})",
       "items[0].install: \"folder\" is missing"},
      {R"({"steamSimState": 1, "items": [{"id": "5", "state": 0, "install": {"folderBytes": "zz", "size": 1, "timestamp": 1}}]})",
       "items[0].install.folderBytes: expected hexadecimal bytes"},
  };
  for (const auto& [json, error] : cases) {
    std::vector<ItemScenario> items;
    EXPECT_NE(parse_state(json, items).find(error), std::string::npos) << json << " -> " << parse_state(json, items);
  }
}

TEST(SimStateFile, ARunningDownloadGoesOnWhereItStopped) {
  Scenario scenario;
  ItemScenario model = item(42, STATE_SUBSCRIBED | STATE_DOWNLOADING);
  model.download = DownloadModel{100, 10, 2, "/mods/42"};
  model.download_passes = 11;  // 50 bytes so far
  scenario.items.push_back(model);
  World world(std::move(scenario));

  world.run_pass();  // its 12th pass: 60 bytes
  ASSERT_TRUE(world.get_item_download_info(42));
  EXPECT_EQ(world.get_item_download_info(42)->done, 60u);
  EXPECT_EQ(world.snapshot()[0].download_passes, 12u);
  for (int pass = 0; pass < 8; ++pass) world.run_pass();
  EXPECT_EQ(world.get_item_state(42), STATE_SUBSCRIBED | STATE_INSTALLED);
  EXPECT_FALSE(world.snapshot()[0].download_passes);
}

TEST(SimStateFile, TheDownloadQueueGoesOnInItsOrder) {
  Scenario scenario;
  scenario.download_queue = true;
  for (const PublishedFileId_t id : {51, 52}) {
    ItemScenario queued = item(id, 0);
    queued.download = DownloadModel{100, 10, 1, "/mods"};
    scenario.items.push_back(queued);
  }
  World first{Scenario(scenario)};
  ASSERT_TRUE(first.download_item(51, false));
  ASSERT_TRUE(first.download_item(52, true));  // runs first
  first.run_pass();

  std::vector<ItemScenario> saved;
  ASSERT_EQ(parse_state(state_json(first.snapshot()), saved), "");
  ASSERT_EQ(saved.size(), 2u);
  for (std::size_t i = 0; i < saved.size(); ++i) {  // both in id order
    scenario.items[i].facts = saved[i].facts;
    scenario.items[i].download_passes = saved[i].download_passes;
    scenario.items[i].queue_place = saved[i].queue_place;
  }
  World second(std::move(scenario));
  second.run_pass();
  EXPECT_EQ(second.get_item_download_info(52)->done, 20u) << "the running download goes on";
  EXPECT_EQ(second.get_item_download_info(51)->total, 0u) << "the waiting one still waits";
  EXPECT_EQ(second.get_item_state(51),
            STATE_SUBSCRIBED | STATE_NEEDS_UPDATE | STATE_DOWNLOAD_PENDING);
}

TEST(SimStateFile, AnUnsubscribeThatWaitsForTheGameToQuitIsSavedCarriedOut) {
  Scenario scenario;
  ItemScenario kept = item(61, STATE_SUBSCRIBED | STATE_INSTALLED);
  kept.facts.install = ScriptedInstall{"/mods/61", std::nullopt, 10, 20};
  kept.unsubscribe.removed_at_exit = true;
  scenario.items.push_back(kept);
  World world(std::move(scenario));
  world.unsubscribe_item(61);
  world.run_pass();
  EXPECT_EQ(world.get_item_state(61), STATE_SUBSCRIBED | STATE_INSTALLED) << "until the run ends";
  ASSERT_TRUE(world.get_item_install_info(61));

  std::vector<ItemScenario> saved;
  ASSERT_EQ(parse_state(state_json(world.snapshot()), saved), "");
  EXPECT_EQ(saved[0].facts.state, 0u) << "Steam removes it once the game has quit";
  EXPECT_FALSE(saved[0].facts.install);
}

TEST(SimStateFile, LoadsOverTheScenarioAndSavesInItsPlace) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("sim-state-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  StateFile file{(folder / "state.json").string(), nullptr};

  Scenario first = demo_scenario();
  ASSERT_EQ(load_state(file, first), "");  // missing: the scenario as it is
  EXPECT_TRUE(file.lock);
  World world(std::move(first));
  ASSERT_TRUE(world.download_item(2222222222, true));
  for (int pass = 0; pass < 60; ++pass) world.run_pass();
  ASSERT_EQ(save_state(file, world), "");
  EXPECT_FALSE(file.lock);
  EXPECT_FALSE(std::filesystem::exists(folder / "state.json.tmp"));

  Scenario second = demo_scenario();
  ASSERT_EQ(load_state(file, second), "");
  EXPECT_EQ(second.items[1].facts.state, STATE_SUBSCRIBED | STATE_INSTALLED);
  EXPECT_EQ(second.items[1].facts.install->size, 48000000u);
  file.lock.reset();

  std::ofstream(folder / "state.json", std::ios::trunc) << "{";
  Scenario third = demo_scenario();
  EXPECT_NE(load_state(file, third).find("cannot use state file " + file.path + ": not JSON"), std::string::npos);
  EXPECT_FALSE(file.lock);
  std::stringstream kept;
  kept << std::ifstream(folder / "state.json").rdbuf();
  EXPECT_EQ(kept.str(), "{");
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace steam_sim
