#include "main/run.h"

#include <optional>

#include "main/command_line.h"
#include "steam/account.h"
#include "steam/download_failures.h"
#include "workshop/download.h"
#include "workshop/status.h"
#include "workshop/unsubscribe.h"

namespace quennet {

namespace {

bool run_command(const Command& command, const SteamClient& client, DownloadFailureList& failures,
                 const RunEnvironment& environment) {
  switch (command.word) {
    case CommandWord::Whoami:
      return true;
    case CommandWord::Status:
      run_status(client, command.ids, environment.emit);
      return true;
    case CommandWord::Download:
      return run_download(client, failures, command.ids, command.timeout_secs, environment.clock,
                          environment.emit);
    case CommandWord::Unsubscribe:
      return run_unsubscribe(client, command.ids, environment.clock, environment.emit);
  }
  return false;
}

}  // namespace

RunEnvironment production_environment() {
  return RunEnvironment{production_steam_platform(), platform::monotonic_clock(), emit};
}

int run(std::span<const char* const> args, const RunEnvironment& environment) {
  auto parsed = parse_command_line(args);
  if (!parsed) {
    environment.emit(std::move(parsed.error()));
    return 1;
  }
  const Command& command = parsed.value();

  auto opened = SteamClient::init(environment.steam);
  if (!opened) {
    environment.emit(Error{ErrorCode::SteamNotRunning,
                           "Could not connect to Steam (" + opened.error().describe() +
                               "). Start Steam and log in with an account that owns DayZ, then try again.",
                           std::nullopt});
    return 1;
  }
  std::optional<SteamClient> client(std::move(opened.value()));
  DownloadWatch watch = watch_download_results(*client);

  environment.emit(logged_in_account(*client));
  const bool succeeded = run_command(command, *client, *watch.failures, environment);
  if (succeeded) environment.emit(Done{});

  // Not the reverse of declaration: Steam is shut down first, while the download-result handler is
  // still registered; its handle then finds no session and removes nothing.
  client.reset();
  watch.failures.reset();
  watch.handle.release();
  return succeeded ? 0 : 1;
}

}  // namespace quennet
