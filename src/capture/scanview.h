#pragma once

#include <QString>
#include <QtGlobal>

// What the browser scan shows, told to the main window step by step once the scan knows what to
// show: a title that cannot be read (an end time that is no date) tells the main window
// nothing, so it keeps the item it shows.
class ScanView {
 public:
  // The main window's own top-level window, which the scan never reads.
  virtual quint64 ownWindowHandle() const = 0;
  // The scan begins: the caption, no bid controls, the title line in 11 points, the countdown
  // stopped, the item link greyed.
  virtual void scanStarted(const QString& caption) = 0;
  // An item is being taken over: the amount field and the bid button appear.
  virtual void showBidControls() = 0;
  // Its title is known: the caption, the item link shown, the hint gone.
  virtual void showItemTitle(const QString& caption) = 0;
  // Its end is known: the title line, the countdown shown and running, the item link active.
  virtual void showItemEnd(const QString& titleLine) = 0;
  // No item: the caption, the title line and the hint instead of the countdown, no bid controls,
  // the countdown evaluated once and stopped, the item link greyed.
  virtual void showNoItem(const QString& caption, const QString& titleLine,
                          const QString& hint) = 0;

 protected:
  ~ScanView() = default;
};
