#pragma once

#include <gtest/gtest.h>

#include <QTest>

#include "app/dateserial.h"
#include "bidding/printers.h"
#include "sniper/form1.h"
#include "support/controls.h"
#include "support/testenv.h"

// Item 1234567890, "Nokia 3310 Handy", ending at 05.12.2026 20:00:00, with an account and 10
// seconds before the end.
inline void watchTestItem(AppState& s) {
  s.ItemID = "1234567890";
  s.AuktionTitel = "Nokia 3310 Handy";
  s.endet = dateserial::fromParts({2026, 12, 5, 20, 0, 0});
  s.user = "bieter";
  s.pass = "geheim";
  s.sectobid = "10";
  s.clockLabelOffset = 200;
  // Arming measures the site's clock in the background (tests/timesync); its failure here
  // would mingle with the bid's log lines. One is said to run already.
  s.siteTimeMeasuring = true;
}

// A main window watching item 1234567890, which ends at 05.12.2026 20:00:00, with an account
// and 10 seconds before the end. Requests go to a port where nobody listens, so a bid ends
// quickly without data.
struct SniperWindow {
  SniperWindow() : form(*env.ctx), ui(form) {
    AppState& s = env.state;
    watchTestItem(s);
    s.warnton = 1;
    Endpoints dead;
    dead.offerHost = dead.itemHost = dead.offerHostDe = dead.itemHostDe = dead.timeHost =
        dead.vendorServer = "http://127.0.0.1:1";
    dead.classicSiteNamed = true;
    s.endpoints = dead;
    ui.Txt_maxbid->show();
    ui.Command1->show();
    form.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
  }

  // Sets the clock `seconds` before the end (plus ms into that second).
  void secondsBeforeEnd(qint64 seconds, int ms = 0) {
    env.clock.setMs((dateserial::toLinearSeconds(env.state.endet) - seconds) * 1000 + ms);
  }
  // The same, then one evaluation of the countdown.
  void evaluateAt(qint64 seconds, int ms = 0) {
    secondsBeforeEnd(seconds, ms);
    form.Update_Label();
  }
  void armWith(const QString& amount) {
    ui.Txt_maxbid->setText(amount);
    form.Command1_Click();
  }
  bool logged(const QString& message) const { return env.logMessages().contains(message); }
  bool bidStarted() const { return logged("Bieten initialisiert"); }

  double zeitFontSize() const { return ui.LabelZeit->font().pointSizeF(); }
  QColor zeitColor() const { return labelForeColor(ui.LabelZeit); }

  TestEnv env;
  Form1 form;
  MainWindowControls ui;
};

class SniperTest : public ::testing::Test, public SniperWindow {};
