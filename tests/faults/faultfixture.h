#pragma once

// A main window armed on one auction of its own simulator, with an account and other settings
// stored the way the options dialog leaves them. The faults of the network and of the disk are
// set up around it; the countdown then runs through the bid to the end.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include "app/appstate.h"
#include "app/dateserial.h"
#include "app/scramble.h"
#include "app/settings.h"
#include "bidding/inet.h"
#include "sniper/form1.h"
#include "support/controls.h"
#include "support/files.h"
#include "support/simserver.h"
#include "support/testenv.h"

namespace faults {

inline const QString kNoData =
    "Keine Daten vom\r\neBay-Server erhalten.\r\nInternetverbindung prüfen.";
inline const QString kProblem = "Problem\r\nbei der\r\nGebotsabgabe.";
inline const QString kUnknown = "Ausgang des Gebots\r\nist unbekannt.\r\nArtikelseite prüfen.";
inline const QString kHighBidder = "Sie haben\r\ndas höchste\r\nGebot abgegeben.";
inline const QString kPlaced = "Gebot wurde\r\nabgegeben.";
// The settings as the options dialog stores them ("pass" is scrambled), and a placement from an
// earlier run.
inline const QList<std::pair<QString, QString>> kStored = {
    {"user", "bieter"}, {"pass", "geheim"},   {"sectobid", "5"}, {"warnton", "0"},
    {"msgonsync", "0"}, {"synconstart", "0"}, {"saveuser", "1"}, {"Left", "1500"},
    {"Top", "900"},     {"WindowState", "0"}};

inline sim::Config site(int faultStep = 0, const char* fault = "") {
  sim::Config config = lampSite("1234567890", "bieter", "geheim");
  config.vendorVersion = "1.03.0006";
  config.faultStep = faultStep;
  config.fault = fault;
  return config;
}

class FaultRun {
 public:
  explicit FaultRun(sim::Config config = site())
      : server(std::move(config)), form(*env.ctx), ui(form) {
    AppState& s = env.state;
    s.endpoints = server.endpoints();
    s.VersionText = "1.3.6";
    s.InstallTag = "Linux";
    s.ItemID = "1234567890";
    s.AuktionTitel = "Lampe";
    s.endet = dateserial::fromParts({2026, 12, 5, 19, 0, 10});  // the test clock: 19:00:00
    s.user = "bieter";
    s.pass = "geheim";
    s.sectobid = "5";
    s.warnton = 0;
    s.saveuser = 1;
    s.clockLabelOffset = 200;
    // Arming measures the site's clock in the background (tests/timesync); against this site,
    // whose clock is the real one, it would move the test clock. One is said to run already.
    s.siteTimeMeasuring = true;
    for (const auto& [key, value] : kStored)
      env.setSetting(key, key == "pass" ? cryptme(value, s.passwordKey) : value);
    ui.Lbl_update->hide();
    ui.Txt_maxbid->show();
    ui.Command1->show();
    form.show();
    ui.Txt_maxbid->setText("12,5");
    form.Command1_Click();
    EXPECT_TRUE(s.armed);
  }

  // The countdown from the trigger second through the bid and the pause (the test clock jumps
  // to the end; shownInThePause notes what the window showed then) to the first evaluation
  // after the end, which shows the outcome. Returns how often a timer of the window fired while
  // the bid was waiting.
  int countdownThroughTheEnd() {
    int ticks = 0;
    QTimer ticker;
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    shownInThePause.clear();
    const auto testsWait = env.clock.onWait;
    env.clock.onWait = [this, testsWait](qint64 targetMs) {
      if (shownInThePause.isEmpty()) shownInThePause = shown();
      if (testsWait) testsWait(targetMs);
    };
    env.clock.setMs(dateserial::toLinearSeconds(env.state.endet) * 1000 - 5000);
    ticker.start();
    form.Update_Label();  // bids, then pauses until the end
    ticker.stop();
    env.clock.onWait = testsWait;
    form.Update_Label();  // the end: the outcome is shown once
    return ticks;
  }
  QString shownInThePause;

  // What the countdown label shows, lines joined by CR LF.
  QString shown() const { return form.labelZeitCaption().replace("\n", "\r\n"); }
  // The outcome code the vendor report carried ("" when no report arrived).
  QString reportCode() const {
    QString code;
    for (const QJsonObject& r : server.requests())
      if (r["path"].toString() == "/files/update+")
        code = r["headers"].toObject()["User-Agent"].toString().section(" - ", -1);
    return code;
  }
  // How many requests of the site carried this text in their body ("MakeBid", "AcceptBid").
  int requestsWith(const char* text) const {
    int n = 0;
    for (const QJsonObject& r : server.requests())
      n += r["body"].toString().contains(QString::fromLatin1(text)) ? 1 : 0;
    return n;
  }
  bool logContains(const QString& message) const { return env.logMessages().contains(message); }
  // A diagnostic page of the bid ("<none>" when it was not written), as raw bytes.
  QByteArray page(int part) const {
    QFile f(env.programFolder() + QString("/Teil_%1__1234567890.htm").arg(part));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
  }
  // Whether the site took the bid of this program's account.
  bool siteTookTheBid() {
    std::lock_guard<std::mutex> lock(server.sim().mutex());
    return server.sim().config().items.front().highBidder == "bieter";
  }

  // A setting as the settings file on disk holds it.
  QString onDisk(const QString& key) const {
    return settingOnDisk(env.settings->filePath(settingskeys::kApp), key);
  }
  // Every setting stored before the run can still be read. The options (account, seconds,
  // switches) are never written by a bid or by closing, so they read exactly as before; the
  // placement may have been saved anew.
  void expectNoSettingLost() const {
    for (const auto& [key, value] : kStored) {
      const QString now = onDisk(key);
      EXPECT_NE(now, "<absent>") << key.toStdString();
      if (key == "pass") {
        EXPECT_EQ(decryptme(now, env.state.passwordKey), value);
      } else if (!QStringList{"Left", "Top", "WindowState"}.contains(key)) {
        EXPECT_EQ(now, value) << key.toStdString();
      }
    }
  }
  QStringList errorProcedures() const {
    QStringList out;
    for (const QString& text : env.dialogs.errors)
      out.append(text.section("Programmteil: ", 1).section(QChar('\r'), 0, 0));
    return out;
  }

  SimServer server;  // stopped after the transfer component has closed its connection
  TestEnv env;
  Form1 form;
  MainWindowControls ui;
};

}  // namespace faults
