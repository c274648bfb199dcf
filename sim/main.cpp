// auction-sim: plays the auction site and the vendor server on 127.0.0.1 for tests and the demo.
#include <unistd.h>
#include <csignal>
#include <cstdio>
#include <iostream>

#include "simulator.h"

namespace {
sim::Simulator* g_sim = nullptr;
void onSignal(int) {
  if (g_sim) g_sim->server().stop();
}
}  // namespace

int main(int argc, char** argv) {
  sim::Config config;
  if (auto error = sim::parseArguments(argc, argv, config)) {
    std::cerr << *error << "\n" << sim::usage();
    return 2;
  }
  sim::Simulator simulator(config);
  const int port = simulator.start();
  if (port < 0) {
    std::cerr << "auction-sim: cannot listen on 127.0.0.1:" << config.port << "\n";
    return 1;
  }
  g_sim = &simulator;
  std::signal(SIGTERM, onSignal);
  std::signal(SIGINT, onSignal);
  std::cout << "listening on " << port << std::endl;
  while (simulator.server().is_running()) pause();
  simulator.stop();
  return 0;
}
