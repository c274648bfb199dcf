#pragma once

#include <QString>

// What the bid transaction tells the window while it runs: the outcome, as soon as it is
// classified and before it is reported to the vendor server (whose answer may take long).
class BidView {
 public:
  virtual ~BidView() = default;
  // The outcome code of the bid; the bid result text holds its text.
  virtual void bidOutcomeKnown(const QString& code) = 0;
};
