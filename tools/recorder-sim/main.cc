// recorder-sim: a simulated RD-series recorder web server for the demo and the tests.
#include <cstdio>
#include <string>
#include <vector>

#include "sim_server.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  recorder_sim::SimOptions options;
  bool help = false;
  std::string error;
  if (!recorder_sim::ParseOptions(args, &options, &help, &error)) {
    std::fprintf(stderr, "recorder-sim: %s\n(--help lists the options)\n", error.c_str());
    return 2;
  }
  if (help) {
    std::fputs(recorder_sim::HelpText().c_str(), stdout);
    return 0;
  }
  return recorder_sim::RunServer(options);
}
