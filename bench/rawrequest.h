#pragma once

// The limit a trigger is measured against, taken in the same run: the bid's first request,
// byte for byte as the program sent it, written by hand on a socket connected to the simulator
// a while before (no Qt, no window), by a thread that slept until the moment the request was
// due, a whole second as the trigger's; from that moment to the request's arrival in the
// simulator's request log. What is left is the machine's part of every trigger: waking a
// sleeping thread at a moment, the kernel's loopback, the wake-up of the simulator's worker
// from its idle-connection poll and the reading of the request's header.
//
// The samples are taken between the countdowns, by the same thread that runs the program's
// window, so that both see the machine as it is at that point of the run.
#include <QJsonObject>
#include <QString>

#include <string>
#include <vector>

namespace sim {
class Simulator;
}

namespace bench {

class RawRequests {
 public:
  // `requestLog` is the simulator's; `itemId` an auction of it that does not end during the run
  // (the raw requests bid on it, so that the simulator does the same work as for a real step).
  RawRequests(sim::Simulator& simulator, QString requestLog, std::string itemId);

  // Takes the request to send from its line in the request log (method, target, the client's
  // headers and body); the item it bids on is replaced by this one's.
  void setRequest(const QJsonObject& logged);

  struct Samples {
    std::vector<double> limit;      // from the moment the write was due to the arrival, ms
    std::vector<double> fromWrite;  // from the write itself to the arrival, ms
  };

  // Opens `count` connections and leaves them idle (as the program's connection is before its
  // trigger) while the event loop runs; then, on each in turn, sleeps until the next whole
  // second of the site's clock (the first at least 1 s after the opening), writes the request
  // and waits for its reply. Appends each sample; returns an error text, empty when every
  // sample was taken.
  QString measure(int count, Samples& samples);

 private:
  // The log's line of the request that came from this local port, arrival_ms or -1.
  double arrivalFrom(int localPort) const;

  sim::Simulator& m_sim;
  QString m_log;
  std::string m_item;
  std::string m_request;  // the bytes written
};

}  // namespace bench
