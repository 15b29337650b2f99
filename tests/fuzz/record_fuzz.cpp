// Records built from any bytes, the way the program builds them from what Steam hands over: every
// string through the lossy UTF-8 decoding. The decoding always gives valid UTF-8 and leaves valid
// text alone; every record serialises to one line of valid JSON that reads back as the values put in.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "fuzz_check.h"
#include "protocol/json.h"
#include "protocol/utf8.h"

namespace {

using nlohmann::ordered_json;
using quennet::decimal;

std::string decoded(FuzzedDataProvider& input) {
  const std::string raw = input.ConsumeRandomLengthString(512);
  std::string text = quennet::decode_utf8_lossy(raw);
  FUZZ_CHECK(quennet::is_valid_utf8(text));
  if (quennet::is_valid_utf8(raw)) FUZZ_CHECK(text == raw);
  // Each replacement stands for at least one byte: three bytes at most for every byte taken.
  FUZZ_CHECK(text.size() <= 3 * raw.size());
  return text;
}

std::optional<std::string> maybe_decoded(FuzzedDataProvider& input) {
  if (input.ConsumeBool()) return std::nullopt;
  return decoded(input);
}

ordered_json optional_json(const std::optional<std::string>& text) {
  return text ? ordered_json(*text) : ordered_json();
}

quennet::ErrorCode error_code(FuzzedDataProvider& input) {
  using quennet::ErrorCode;
  return input.PickValueInArray(
      {ErrorCode::SteamNotRunning, ErrorCode::Timeout, ErrorCode::ItemInvalid, ErrorCode::Unknown});
}

// A record of every kind in turn from the input, with the JSON it must read back as.
std::pair<quennet::Event, ordered_json> make(FuzzedDataProvider& input) {
  const auto u64 = [&] { return input.ConsumeIntegral<std::uint64_t>(); };
  switch (input.ConsumeIntegralInRange(0, 5)) {
    case 0: {
      quennet::Ready r{u64(), decoded(input)};
      return {r, {{"type", "ready"}, {"steamId", decimal(r.steamId)}, {"persona", r.persona}}};
    }
    case 1: {
      quennet::State s{u64(),
                       input.ConsumeBool(),
                       input.ConsumeBool(),
                       input.ConsumeBool(),
                       input.ConsumeBool(),
                       maybe_decoded(input),
                       u64(),
                       u64()};
      return {s,
              {{"type", "state"},
               {"workshopId", decimal(s.workshopId)},
               {"subscribed", s.subscribed},
               {"installed", s.installed},
               {"needsUpdate", s.needsUpdate},
               {"downloading", s.downloading},
               {"folder", optional_json(s.folder)},
               {"sizeOnDisk", s.sizeOnDisk},
               {"timestamp", s.timestamp}}};
    }
    case 2: {
      quennet::Progress p{u64(), u64(), u64()};
      return {p,
              {{"type", "progress"},
               {"workshopId", decimal(p.workshopId)},
               {"bytesDone", p.bytesDone},
               {"bytesTotal", p.bytesTotal}}};
    }
    case 3: {
      quennet::Installed i{u64(), decoded(input)};
      return {i, {{"type", "installed"}, {"workshopId", decimal(i.workshopId)}, {"folder", i.folder}}};
    }
    case 4:
      return {quennet::Done{}, {{"type", "done"}}};
    default: {
      quennet::Error e{error_code(input), decoded(input), maybe_decoded(input)};
      return {e,
              {{"type", "error"},
               {"code", std::string(quennet::error_code_text(e.code))},
               {"message", e.message},
               {"workshopId", optional_json(e.workshopId)}}};
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  while (input.remaining_bytes() > 0) {
    const auto [event, want] = make(input);
    std::string line;
    FUZZ_CHECK(quennet::serialise_event(event, line));
    // parse_record checks the key order; here the values count, in any order.
    FUZZ_CHECK(nlohmann::json(quennet::fuzz::parse_record(line)) == nlohmann::json(want));
  }
  return 0;
}
