// auction-sim: plays the auction site and the vendor server on 127.0.0.1 for tests and the demo.
#include <csignal>
#include <iostream>

#include "simulator.h"

int main(int argc, char** argv) {
  sim::Config config;
  if (auto error = sim::parseArguments(argc, argv, config)) {
    if (*error == sim::usage()) {  // --help
      std::cout << *error;
      return 0;
    }
    std::cerr << *error << "\n" << sim::usage();
    return 2;
  }
  // SIGTERM and SIGINT are taken by sigwait below instead of ending the process mid-answer.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);  // the server threads inherit the mask

  sim::Simulator simulator(config);
  const int port = simulator.start();
  if (port < 0) {
    std::cerr << "auction-sim: cannot listen on 127.0.0.1:" << config.port << "\n";
    return 1;
  }
  std::cout << "listening on " << port << std::endl;
  int signal = 0;
  sigwait(&stopSignals, &signal);
  simulator.stop();
  return 0;
}
