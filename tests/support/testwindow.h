#pragma once

// The main window of a fresh program environment: the one fixture of every test that needs the
// window. It watches item 1234567890, "Nokia 3310 Handy", ending at 05.12.2026 20:00:00 (the
// test clock stands at 19:00:00), with the account "bieter"/"geheim" and 10 seconds before the
// end. Without a site every request goes to a port where nobody listens, so a bid ends quickly
// without data; with one, every host points at that simulator. With a desktop, the real logind
// inhibitor and notifier speak to fake services on private buses.
#include <gtest/gtest.h>

#include <QTest>
#include <memory>
#include <optional>

#include "app/dateserial.h"
#include "sniper/form1.h"
#include "support/controls.h"
#include "support/desktopbuses.h"
#include "support/simserver.h"
#include "support/testenv.h"
#include "support/texts.h"

// The test item's auction on a site of its own (see lampSite), with the vendor's version file
// naming the installed version; a fault at a step of the bid (sim::Config::fault).
sim::Config auctionSite(int faultStep = 0, const char* fault = "");

struct TestWindow {
  explicit TestWindow(std::optional<sim::Config> site = std::nullopt,
                      std::optional<Desktop> desktop = std::nullopt);

  // Sets the clock `seconds` before the end (plus ms into that second).
  void secondsBeforeEnd(qint64 seconds, int ms = 0);
  // The same, then one evaluation of the countdown.
  void evaluateAt(qint64 seconds, int ms = 0);
  void armWith(const QString& amount);
  // The countdown from 5 seconds before the end through the bid and the pause (the test clock
  // jumps to the end; shownInThePause notes what the window showed then) to the first
  // evaluation after the end, which shows the outcome. Returns whether the window went on
  // handling events while the bid waited.
  bool countdownThroughTheEnd();
  QString shownInThePause;

  bool logged(const QString& message) const { return env.logMessages().contains(message); }
  bool bidStarted() const { return logged("Bieten initialisiert"); }
  // What the countdown label shows, lines joined by CR LF.
  QString shown() const { return form.labelZeitCaption().replace("\n", "\r\n"); }
  double zeitFontSize() const { return ui.LabelZeit->font().pointSizeF(); }
  QColor zeitColor() const { return labelForeColor(ui.LabelZeit); }

  // The site: its simulator, the User-Agent of the vendor report ("" when none arrived) and
  // its outcome code, how many requests carried this text in their body ("MakeBid",
  // "AcceptBid"), whether it took the bid of this program's account.
  SimServer& site() { return *server; }
  QString reportAgent() const;
  QString reportCode() const { return reportAgent().section(" - ", -1); }
  int requestsWith(const char* text) const;
  bool siteTookTheBid();
  // A diagnostic page of the bid ("<none>" when it was not written), as raw bytes.
  QByteArray page(int part) const;

  std::unique_ptr<SimServer> server;  // stopped after the transfer component has closed
  TestEnv env;
  std::unique_ptr<DesktopBuses> desktop;
  Form1 form;
  MainWindowControls ui;
};

class WindowTest : public ::testing::Test, public TestWindow {};
