#pragma once

#include <QString>

#include "update/updatemark.h"

// What the bid transaction tells the window while it runs: the outcome, as soon as it is
// classified and before it is reported to the vendor server (whose answer may take long), and,
// through that report's version check, a newer version on offer (UpdateMark).
class BidView : public UpdateMark {
 public:
  // The outcome code of the bid; the bid result text holds its text.
  virtual void bidOutcomeKnown(const QString& code) = 0;

 protected:
  ~BidView() = default;
};
