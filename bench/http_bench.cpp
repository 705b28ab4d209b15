// 51 sequential HTTPS exchanges against a loopback server, through each facility, once over
// the shared connection cache and once with a fresh connection (and handshake) per request.
// Prints the time ratio, the connections the server saw per run and client CPU per request.
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <time.h>

#include <benchmark/benchmark.h>

#include "http/fetch.h"
#include "platform/posix/curl_transfer.h"
#include "support/test_server.h"

namespace quillax {
namespace {

constexpr int kRequestsPerRun = 51;
constexpr std::size_t kBodySize = 4096;

enum class Facility { kWinInetGet, kWinHttpPost };

struct Figures {
  double wall_seconds = 0;
  double cpu_seconds = 0;  // the calling thread's: the client's share, not the server's
  long requests = 0;
  long runs = 0;
  int connections = 0;
};

std::map<std::string, Figures>& figures() {
  static std::map<std::string, Figures> all;
  return all;
}

double thread_cpu_seconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void run_exchanges(benchmark::State& state, const char* name, Facility facility, bool reuse) {
  testing::TestServer server([](const testing::RecordedRequest&) {
    return testing::CannedResponse{
        200, {{"Content-Type", "application/json"}}, std::string(kBodySize, 'x')};
  });
  platform::curl::set_connection_reuse(reuse);
  const std::string get_url = server.url("/api/plan-market/supplier/products?page=1");
  const std::string post_url = server.url("/api/plan-market/order-page/release");
  Text jar = "sid=1";

  Figures run;
  const auto wall_start = std::chrono::steady_clock::now();
  const double cpu_start = thread_cpu_seconds();
  for (auto _ : state) {
    for (int i = 0; i < kRequestsPerRun; ++i) {
      const Bytes body =
          facility == Facility::kWinInetGet
              ? wininet_fetch(get_url, {.request_cookies = &jar,
                                        .request_headers = "Content-Type: application/json"})
              : winhttp_fetch(post_url,
                              {.method = 1,
                               .body_text = "{\"id\":1}",
                               .request_cookies = &jar,
                               .request_headers = "Content-Type: application/json;charset=UTF-8"});
      if (body.size() != kBodySize) {
        state.SkipWithError("short body");
        return;
      }
    }
    ++run.runs;
  }
  run.cpu_seconds = thread_cpu_seconds() - cpu_start;
  run.wall_seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_start).count();
  run.requests = run.runs * kRequestsPerRun;
  run.connections = server.connections();
  platform::curl::set_connection_reuse(true);

  state.counters["server_connections"] = run.connections;
  state.counters["client_cpu_ms/request"] =
      1000 * run.cpu_seconds / static_cast<double>(std::max<long>(run.requests, 1));
  figures()[name] = run;
}

void BM_WinInetGet_Shared(benchmark::State& s) {
  run_exchanges(s, "BM_WinInetGet_Shared", Facility::kWinInetGet, true);
}
void BM_WinInetGet_Fresh(benchmark::State& s) {
  run_exchanges(s, "BM_WinInetGet_Fresh", Facility::kWinInetGet, false);
}
void BM_WinHttpPost_Shared(benchmark::State& s) {
  run_exchanges(s, "BM_WinHttpPost_Shared", Facility::kWinHttpPost, true);
}
void BM_WinHttpPost_Fresh(benchmark::State& s) {
  run_exchanges(s, "BM_WinHttpPost_Fresh", Facility::kWinHttpPost, false);
}

BENCHMARK(BM_WinInetGet_Shared)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WinInetGet_Fresh)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WinHttpPost_Shared)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WinHttpPost_Fresh)->Unit(benchmark::kMillisecond);

void print_summary(const char* label, const std::string& shared_name,
                   const std::string& fresh_name) {
  const auto found_shared = figures().find(shared_name);
  const auto found_fresh = figures().find(fresh_name);
  if (found_shared == figures().end() || found_fresh == figures().end()) return;
  const Figures& shared = found_shared->second;
  const Figures& fresh = found_fresh->second;
  if (shared.runs == 0 || fresh.runs == 0) return;
  const double shared_run = shared.wall_seconds / static_cast<double>(shared.runs);
  const double fresh_run = fresh.wall_seconds / static_cast<double>(fresh.runs);
  std::printf(
      "%s, %d requests a run: shared cache %.1f ms, fresh connections %.1f ms, ratio %.1fx "
      "(target >= 10x); server saw %d connection(s) in %ld shared run(s) (target: 1); client "
      "CPU %.3f ms/request shared (target <= 1 ms), %.3f ms/request fresh\n",
      label, kRequestsPerRun, 1000 * shared_run, 1000 * fresh_run, fresh_run / shared_run,
      shared.connections, shared.runs,
      1000 * shared.cpu_seconds / static_cast<double>(shared.requests),
      1000 * fresh.cpu_seconds / static_cast<double>(fresh.requests));
}

}  // namespace
}  // namespace quillax

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  quillax::print_summary("wininet_fetch GET", "BM_WinInetGet_Shared", "BM_WinInetGet_Fresh");
  quillax::print_summary("winhttp_fetch POST", "BM_WinHttpPost_Shared", "BM_WinHttpPost_Fresh");
  return 0;
}
