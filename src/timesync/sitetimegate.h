#pragma once

#include <QtGlobal>

// The window's say in taking the auction site's time over: a measurement may move the countdown
// and an armed bid's trigger, which only the window can judge and show.
class SiteTimeGate {
 public:
  // The site's clock was measured `leadMs` ahead of the computer's. True: take it over now.
  // False: not now; the gate asks the user and takes it over itself on a yes.
  virtual bool takeOverNow(qint64 leadMs) = 0;
  // The clock took the site's time over: the countdown follows it.
  virtual void siteTimeTakenOver() = 0;

 protected:
  ~SiteTimeGate() = default;
};
