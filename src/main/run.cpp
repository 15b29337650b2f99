#include "main/run.h"

#include <optional>

#include "main/command_line.h"
#include "steam/download_failures.h"
#include "steam/interfaces.h"
#include "workshop/download.h"
#include "workshop/status.h"
#include "workshop/unsubscribe.h"

namespace quennet {

namespace {

bool run_command(const Command& command, const SteamClient& client, DownloadFailureList& failures,
                 const RunContext& context) {
  switch (command.word) {
    case CommandWord::Whoami:
      return true;
    case CommandWord::Status:
      run_status(client, command.ids, context.emit);
      return true;
    case CommandWord::Download:
      return run_download(client, failures, command.ids, command.timeout_secs, context.clock,
                          context.emit);
    case CommandWord::Unsubscribe:
      return run_unsubscribe(client, command.ids, context.clock, context.emit);
  }
  return false;
}

}  // namespace

RunContext production_context() {
  return RunContext{production_steam_loading(), platform::monotonic_clock(), emit};
}

int run(std::span<const char* const> args, const RunContext& context) {
  auto parsed = parse_command_line(args);
  if (!parsed) {
    context.emit(std::move(parsed.error()));
    return 1;
  }
  const Command& command = parsed.value();

  auto opened = SteamClient::init(context.steam);
  if (!opened) {
    context.emit(Error{ErrorCode::SteamNotRunning,
                       "Could not connect to Steam (" + opened.error().describe() +
                           "). Start Steam and log in with an account that owns DayZ, then try again.",
                       std::nullopt});
    return 1;
  }
  std::optional<SteamClient> client(std::move(opened.value()));
  DownloadWatch watch = watch_download_results(*client);

  // The account: its Steam ID first, then its persona name.
  const std::uint64_t steam_id = client->user().get_steam_id();
  context.emit(Ready{steam_id, client->friends().get_persona_name()});
  const bool succeeded = run_command(command, *client, *watch.failures, context);
  if (succeeded) context.emit(Done{});

  // Not the reverse of declaration: Steam is shut down first, while the download-result handler is
  // still registered; its handle then finds no session and removes nothing.
  client.reset();
  watch.failures.reset();
  watch.handle.release();
  return succeeded ? 0 : 1;
}

}  // namespace quennet
