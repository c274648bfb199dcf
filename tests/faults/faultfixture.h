#pragma once

// A main window armed on one auction of its own simulator, with an account and other settings
// stored the way the options dialog leaves them. The faults of the network and of the disk are
// set up around it; the countdown then runs through the bid to the end.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>
#include <QTimer>

#include "app/appstate.h"
#include "app/dateserial.h"
#include "app/scramble.h"
#include "app/settings.h"
#include "bidding/inet.h"
#include "sniper/form1.h"
#include "support/simserver.h"
#include "support/testenv.h"

namespace faults {

inline const char* const kItem = "1234567890";
inline const QString kNoData =
    QStringLiteral("Keine Daten vom\r\neBay-Server erhalten.\r\nInternetverbindung prüfen.");
inline const QString kProblem = QStringLiteral("Problem\r\nbei der\r\nGebotsabgabe.");
inline const QString kHighBidder = QStringLiteral("Sie haben\r\ndas höchste\r\nGebot abgegeben.");

inline sim::Config site() {
  sim::Config config;
  sim::Item item;
  item.id = kItem;
  item.title = "Lampe";
  item.endMs = sim::nowMs() + 600000;
  item.price = 5.0;
  config.items.push_back(item);
  config.accounts["bieter"] = "geheim";
  config.vendorVersion = "1.03.0006";
  return config;
}

class FaultRun {
 public:
  explicit FaultRun(sim::Config config = site()) : server(std::move(config)), form(*env.ctx) {
    AppState& s = env.state;
    s.endpoints = server.endpoints();
    s.VersionText = QStringLiteral("1.3.6");
    s.InstallTag = QStringLiteral("Linux");
    s.ItemID = kItem;
    s.AuktionTitel = QStringLiteral("Lampe");
    s.endet = dateserial::fromParts({2026, 12, 5, 19, 0, 10});  // the test clock: 19:00:00
    s.user = QStringLiteral("bieter");
    s.pass = QStringLiteral("geheim");
    s.sectobid = QStringLiteral("5");
    s.warnton = 0;
    s.saveuser = 1;
    s.clockLabelOffset = 200;
    // The settings as the options dialog stored them, and a placement from an earlier run.
    const QList<QPair<QString, QString>> stored = {
        {"user", "bieter"}, {"pass", cryptme(s.pass, s.passwordKey)},
        {"sectobid", "5"},  {"warnton", "0"},
        {"msgonsync", "0"}, {"synconstart", "0"},
        {"saveuser", "1"},  {"Left", "1500"},
        {"Top", "900"},     {"WindowState", "0"}};
    for (const auto& kv : stored) env.setSetting(kv.first, kv.second);
    m_storedBefore = storedSettings();
    form.Lbl_update->hide();
    form.Txt_maxbid->show();
    form.Command1->show();
    form.show();
    form.Txt_maxbid->setText(QStringLiteral("12,5"));
    form.Command1_Click();
    EXPECT_TRUE(s.armed);
  }

  // The countdown from the trigger second through the bid and the pause (the test clock jumps
  // to the end) to the first evaluation after the end, which shows the outcome. Returns how
  // often a timer of the window fired while the bid was waiting.
  int countdownThroughTheEnd() {
    int ticks = 0;
    QTimer ticker;
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    env.clock.setMs(dateserial::toLinearSeconds(env.state.endet) * 1000 - 5000);
    ticker.start();
    form.Update_Label();  // bids, then pauses until the end
    ticker.stop();
    form.Update_Label();  // the end: the outcome is shown once
    return ticks;
  }

  // What the countdown label shows, lines joined by CR LF.
  QString shown() const {
    return form.labelZeitCaption().replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
  }
  // The outcome code the vendor report carried ("" when no report arrived).
  QString reportCode() const {
    const auto requests = server.requests();
    for (auto it = requests.crbegin(); it != requests.crend(); ++it) {
      if ((*it)[QStringLiteral("path")].toString() != QLatin1String("/files/update+")) continue;
      const QString agent =
          (*it)[QStringLiteral("headers")].toObject()[QStringLiteral("User-Agent")].toString();
      return agent.section(QStringLiteral(" - "), -1);
    }
    return QString();
  }
  bool logContains(const QString& message) const { return env.logMessages().contains(message); }
  // A diagnostic page of the bid ("<none>" when it was not written), as raw bytes.
  QByteArray page(int part) const {
    QFile f(env.programFolder() + QStringLiteral("/Teil_%1__%2.htm").arg(part).arg(kItem));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
  }
  // Whether the site took the bid of this program's account.
  bool siteTookTheBid() {
    std::lock_guard<std::mutex> lock(server.sim().mutex());
    return server.sim().config().items.front().highBidder == "bieter";
  }

  // A setting as the settings file on disk holds it ("<absent>" when it holds none). The file
  // is read through a copy: within one process the settings store keeps what it was asked to
  // write even when the write failed, so reading the original would show that instead.
  QString onDisk(const QString& key) const {
    QTemporaryDir copy;
    const QString name = QFileInfo(env.settings->filePath(settingskeys::kApp)).fileName();
    QFile::copy(env.settings->filePath(settingskeys::kApp), copy.path() + QChar('/') + name);
    return SettingsStore(copy.path())
        .GetSetting(settingskeys::kApp, settingskeys::kSection, key, QStringLiteral("<absent>"));
  }
  QMap<QString, QString> storedSettings() const {
    QMap<QString, QString> out;
    for (const char* key : {"user", "pass", "sectobid", "warnton", "msgonsync", "synconstart",
                            "saveuser", "Left", "Top", "WindowState"})
      out.insert(QString::fromLatin1(key), onDisk(QString::fromLatin1(key)));
    return out;
  }
  // Every setting stored before the run can still be read. The options (account, seconds,
  // switches) are never written by a bid or by closing, so they read exactly as before; the
  // placement may have been saved anew.
  void expectNoSettingLost() const {
    const QMap<QString, QString> now = storedSettings();
    for (auto it = m_storedBefore.cbegin(); it != m_storedBefore.cend(); ++it) {
      SCOPED_TRACE(it.key().toStdString());
      EXPECT_NE(now.value(it.key()), QStringLiteral("<absent>"));
      if (!QStringList{"Left", "Top", "WindowState"}.contains(it.key())) {
        EXPECT_EQ(now.value(it.key()), it.value());
      }
    }
    EXPECT_EQ(decryptme(now.value(QStringLiteral("pass")), env.state.passwordKey),
              QStringLiteral("geheim"));
  }
  QStringList errorProcedures() const {
    QStringList out;
    for (const QString& text : env.dialogs.errors)
      out.append(text.section(QStringLiteral("Programmteil: "), 1).section(QChar('\r'), 0, 0));
    return out;
  }

  TestEnv env;
  SimServer server;
  Form1 form;

 private:
  QMap<QString, QString> m_storedBefore;
};

}  // namespace faults
