// One `download` of 1,000 items in flight, in-process against the simulated Steam on a virtual
// clock, measured pass by pass. A pass starts where the pump asks for the pipe.
//
// Allocations: a replaced operator new counts the program's heap allocations, leaving out those the
// simulator makes inside its own functions. A pass may allocate the pump's scratch buffer (in a
// pass that fetched a call result) and the strings of the records it writes (the heap strings each
// record owns, and what writing it allocates); anything beyond that is excess.
//
// Instructions: run under callgrind with collection inside quennet::run_download only, and not
// inside the simulator's SteamAPI_* functions (bench/run does this), the total divided by the
// passes printed here is the program's own cost per pass. The CPU time printed, over the Ir of the
// same run with the simulator included, calibrates what 1 ms of this machine's CPU executes.
//
// Prints its figures on standard error (the records go to standard output); --each-pass adds one
// line per pass.
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "protocol/emit.h"
#include "sim/control.h"
#include "support/simulated_api.h"
#include "steam/download_failures.h"
#include "steam/pump.h"
#include "support/virtual_clock.h"
#include "workshop/download.h"

namespace {

constexpr int ITEMS = 1000;
constexpr std::uint64_t FIRST_ID = 2'000'000'000;

bool counting = false;
int in_library = 0;  // inside a simulator function: its allocations are not ours
int in_record = 0;   // inside the emit of a record: what writing it allocates
std::size_t allocations = 0;
std::size_t writing_allocations = 0;

}  // namespace

void* operator new(std::size_t size) {
  if (counting && in_library == 0) ++(in_record > 0 ? writing_allocations : allocations);
  if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }

namespace {

struct Pass {
  std::size_t allocations = 0;  // by the program, but for writing records
  std::size_t writing = 0;      // by writing records
  std::size_t records = 0;
  std::size_t owned = 0;  // heap strings the records owned when they were handed over
  bool fetched_result = false;
};

std::vector<Pass> passes;
std::size_t before_first_pass = 0;

void close_pass() {
  if (passes.empty()) {
    before_first_pass = allocations;
  } else {
    passes.back().allocations = allocations;
    passes.back().writing = writing_allocations;
  }
  allocations = 0;
  writing_allocations = 0;
}

struct InLibrary {
  InLibrary() { ++in_library; }
  ~InLibrary() { --in_library; }
};

// The simulator's functions, each called with the counting of allocations paused.
template <auto Function>
struct Excluded;
template <typename R, typename... Args, R (*Function)(Args...)>
struct Excluded<Function> {
  static R call(Args... args) {
    const InLibrary inside;
    return Function(args...);
  }
};

HSteamPipe pipe_at_pass_start() {
  close_pass();
  passes.emplace_back();
  return Excluded<&::SteamAPI_GetHSteamPipe>::call();
}

bool next_callback(HSteamPipe pipe, void* message) {
  const bool got = Excluded<&::SteamAPI_ManualDispatch_GetNextCallback>::call(pipe, message);
  std::int32_t id = 0;
  if (got) std::memcpy(&id, static_cast<const char*>(message) + 4, sizeof id);
  if (id == quennet::CALL_COMPLETED_CALLBACK) passes.back().fetched_result = true;
  return got;
}

quennet::SteamApi measured_api() {
  quennet::SteamApi api{
#define QUENNET_BENCH_EXCLUDED(name) &Excluded<&::name>::call,
      QUENNET_STEAM_FUNCTIONS(QUENNET_BENCH_EXCLUDED)
#undef QUENNET_BENCH_EXCLUDED
  };
  api.SteamAPI_GetHSteamPipe = pipe_at_pass_start;
  api.SteamAPI_ManualDispatch_GetNextCallback = next_callback;
  return api;
}

std::size_t heap_strings(const quennet::Event& event) {
  const auto heap = [](const std::string& text) {
    return text.capacity() > std::string().capacity() ? 1u : 0u;
  };
  const auto heap_optional = [&](const std::optional<std::string>& text) { return text ? heap(*text) : 0u; };
  return std::visit(
      [&](const auto& record) -> std::size_t {
        using T = std::decay_t<decltype(record)>;
        if constexpr (std::is_same_v<T, quennet::Ready>) return heap(record.persona);
        if constexpr (std::is_same_v<T, quennet::State>) return heap_optional(record.folder);
        if constexpr (std::is_same_v<T, quennet::Installed>) return heap(record.folder);
        if constexpr (std::is_same_v<T, quennet::Error>)
          return heap(record.message) + heap_optional(record.workshopId);
        return 0;
      },
      event);
}

// Half the items are new and get subscribed first, half are installed and need an update; all
// download 100,000 bytes in 10 steps, 6 passes apart, so that all 1,000 are in flight throughout.
std::string scenario() {
  std::string json = R"({"items":[)";
  for (int i = 0; i < ITEMS; ++i) {
    const std::string id = std::to_string(FIRST_ID + static_cast<std::uint64_t>(i));
    const std::string folder = "/home/survivor/.local/share/Steam/steamapps/workshop/content/221100/" + id;
    if (i > 0) json += ',';
    json += R"({"id":")" + id + '"';
    if (i % 2 == 1) {
      json += R"(,"state":13,"install":{"folder":")" + folder + R"(","size":90000,"timestamp":1})";
    }
    json += R"(,"download":{"size":100000,"step":10000,"everyPasses":6,"folder":")" + folder + R"("}})";
  }
  return json + "]}";
}

}  // namespace

int main(int argc, char** argv) {
  const bool each_pass = argc > 1 && std::string(argv[1]) == "--each-pass";
  if (const std::string error = steam_sim::load_scenario(scenario()); !error.empty()) {
    std::fprintf(stderr, "bench: scenario: %s\n", error.c_str());
    return 1;
  }
  const quennet::SteamLoading loading{
      [](const char*, const char*) {},
      []() -> quennet::Result<quennet::SteamApi, std::string> { return measured_api(); }};
  auto opened = quennet::SteamClient::init(loading);
  if (!opened) {
    std::fprintf(stderr, "bench: no session: %s\n", opened.error().describe().c_str());
    return 1;
  }
  quennet::SteamClient client = std::move(opened.value());
  quennet::DownloadWatch watch = quennet::watch_download_results(client);

  quennet::test::VirtualClock time;
  const quennet::platform::Clock clock = time.clock();
  const quennet::RecordSink emit = [](quennet::Event event) {
    ++in_record;
    Pass& pass = passes.back();
    ++pass.records;
    pass.owned += heap_strings(event);
    quennet::emit(std::move(event));
    --in_record;
  };

  std::vector<quennet::WorkshopId> ids;
  for (int i = 0; i < ITEMS; ++i) ids.push_back(FIRST_ID + static_cast<std::uint64_t>(i));

  passes.reserve(1000);
  timespec cpu_start{}, cpu_end{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu_start);
  counting = true;
  const bool installed = quennet::run_download(client, *watch.failures, ids, 1800, clock, emit);
  counting = false;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu_end);
  close_pass();
  if (!installed) {
    std::fprintf(stderr, "bench: the download did not complete\n");
    return 1;
  }

  if (each_pass) {
    for (const Pass& pass : passes) {
      std::fprintf(stderr,
                   "pass: allocations %zu, writing records %zu, records %zu, heap strings in them %zu%s\n",
                   pass.allocations, pass.writing, pass.records, pass.owned,
                   pass.fetched_result ? ", fetched a call result" : "");
    }
  }
  std::size_t total = 0, excess_max = 0, excess_passes = 0, quiet_max = 0, records = 0;
  for (const Pass& pass : passes) {
    total += pass.allocations + pass.writing;
    records += pass.records;
    const std::size_t allowed = pass.owned + (pass.fetched_result ? 1 : 0);
    if (pass.allocations > allowed) {
      ++excess_passes;
      excess_max = std::max(excess_max, pass.allocations - allowed);
    }
    if (pass.records == 0 && !pass.fetched_result) quiet_max = std::max(quiet_max, pass.allocations);
  }
  const double cpu_ns =
      double(cpu_end.tv_sec - cpu_start.tv_sec) * 1e9 + double(cpu_end.tv_nsec - cpu_start.tv_nsec);
  std::fprintf(stderr,
               "items %d\npasses %zu\nrecords %zu\nallocations_before_first_pass %zu\nallocations_total %zu\n"
               "allocations_excess_max %zu\nallocations_excess_passes %zu\nallocations_quiet_pass_max %zu\n"
               "cpu_ns %.0f\n",
               ITEMS, passes.size(), records, before_first_pass, total, excess_max, excess_passes, quiet_max,
               cpu_ns);
  return 0;
}
