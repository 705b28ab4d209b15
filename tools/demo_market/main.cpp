// demo_market: serves the demo marketplace on 127.0.0.1 until interrupted.
//
//   demo_market [--https-port N] [--http-port N] [--tls-dir DIR] [--cert PEM --key PEM]
//               [--log FILE] [--env-file FILE]
//
// Ports default to free ones. Without --cert/--key a throw-away CA and server certificate are
// written to --tls-dir (default: a fresh temp folder). Once both listeners accept connections
// the settings for the program are printed, and written to --env-file as shell assignments
// (QUILLAX_MARKET_HOST, QUILLAX_NOTICE_HOST, QUILLAX_CA_FILE), so a script can wait for it.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include "demo_market.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;

void on_signal(int) { g_stop = 1; }

int usage() {
  std::fprintf(stderr,
               "usage: demo_market [--https-port N] [--http-port N] [--tls-dir DIR]\n"
               "                   [--cert PEM --key PEM] [--log FILE] [--env-file FILE]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  quillax::demo::DemoOptions options;
  std::string env_file;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i + 1 >= argc) return usage();
    const char* value = argv[++i];
    if (arg == "--https-port") {
      options.https_port = std::atoi(value);
    } else if (arg == "--http-port") {
      options.http_port = std::atoi(value);
    } else if (arg == "--tls-dir") {
      options.tls_dir = value;
    } else if (arg == "--cert") {
      options.cert_file = value;
    } else if (arg == "--key") {
      options.key_file = value;
    } else if (arg == "--log") {
      options.log_file = value;
    } else if (arg == "--env-file") {
      env_file = value;
    } else {
      return usage();
    }
  }

  std::signal(SIGINT, on_signal);
  std::signal(SIGTERM, on_signal);

  quillax::demo::DemoMarket market(options);
  if (!market.start()) {
    std::fprintf(stderr, "demo_market: %s\n", market.error().c_str());
    return 1;
  }
  const std::string settings = "QUILLAX_MARKET_HOST=" + market.market_host() +
                               "\nQUILLAX_NOTICE_HOST=" + market.notice_host() +
                               "\nQUILLAX_CA_FILE=" + market.ca_file() + "\n";
  std::printf(
      "demo marketplace on https://%s, announcements on http://%s\n"
      "account %s, password %s\n%s",
      market.market_host().c_str(), market.notice_host().c_str(), quillax::demo::kDemoAccount,
      quillax::demo::kDemoPassword, settings.c_str());
  std::fflush(stdout);
  if (!env_file.empty()) {
    // Written whole under another name first, so a reader never sees half of it.
    const std::string partial = env_file + ".partial";
    std::ofstream(partial) << settings;
    std::rename(partial.c_str(), env_file.c_str());
  }
  while (g_stop == 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  market.stop();
  return 0;
}
