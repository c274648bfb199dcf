#include "support/testwindow.h"

#include <QFile>
#include <QTimer>

sim::Config auctionSite(int faultStep, const char* fault) {
  sim::Config config = lampSite("1234567890", "bieter", "geheim");
  config.vendorVersion = "1.03.0006";
  config.faultStep = faultStep;
  config.fault = fault;
  return config;
}

TestWindow::TestWindow(std::optional<sim::Config> config, std::optional<Desktop> on)
    : server(config ? std::make_unique<SimServer>(std::move(*config)) : nullptr),
      desktop(on ? std::make_unique<DesktopBuses>(env, *on) : nullptr),
      form(desktop ? desktop->ctx : *env.ctx),
      ui(form) {
  AppState& s = env.state;
  if (server) s.endpoints = server->endpoints();
  s.VersionText = "1.3.6";
  s.InstallTag = "Linux";
  s.ItemID = "1234567890";
  s.AuktionTitel = "Nokia 3310 Handy";
  s.endet = dateserial::fromParts({2026, 12, 5, 20, 0, 0});
  s.user = "bieter";
  s.pass = "geheim";
  s.sectobid = "10";
  s.warnton = 1;
  s.clockLabelOffset = 200;
  // Arming measures the site's clock in the background (tests/timesync); against these sites
  // it would move the test clock, or mingle its failure with the bid's log lines. One is said
  // to run already.
  s.siteTimeMeasuring = true;
  ui.Txt_maxbid->show();
  ui.Command1->show();
  form.show();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
}

void TestWindow::secondsBeforeEnd(qint64 seconds, int ms) {
  env.clock.setMs((dateserial::toLinearSeconds(env.state.endet) - seconds) * 1000 + ms);
}

void TestWindow::evaluateAt(qint64 seconds, int ms) {
  secondsBeforeEnd(seconds, ms);
  form.Update_Label();
}

void TestWindow::armWith(const QString& amount) {
  ui.Txt_maxbid->setText(amount);
  form.Command1_Click();
}

bool TestWindow::countdownThroughTheEnd() {
  // Queued before the bid: it runs only when the bid lets the event loop turn.
  bool handled = false;
  QTimer::singleShot(0, &form, [&] { handled = true; });
  shownInThePause.clear();
  const auto testsWait = env.clock.onWait;
  env.clock.onWait = [this, testsWait](qint64 targetMs) {
    if (shownInThePause.isEmpty()) shownInThePause = shown();
    if (testsWait) testsWait(targetMs);
  };
  secondsBeforeEnd(5);
  form.Update_Label();  // bids, then pauses until the end
  const bool duringTheBid = handled;
  env.clock.onWait = testsWait;
  form.Update_Label();  // the end: the outcome is shown once
  return duringTheBid;
}

QString TestWindow::reportAgent() const {
  QString agent;
  for (const QJsonObject& r : server->requests())
    if (r["path"].toString() == "/files/update+")
      agent = r["headers"].toObject()["User-Agent"].toString();
  return agent;
}

int TestWindow::requestsWith(const char* text) const {
  int n = 0;
  for (const QJsonObject& r : server->requests())
    n += r["body"].toString().contains(QString::fromLatin1(text)) ? 1 : 0;
  return n;
}

bool TestWindow::siteTookTheBid() {
  std::lock_guard<std::mutex> lock(server->sim().mutex());
  return server->sim().config().items.front().highBidder == "bieter";
}

QByteArray TestWindow::page(int part) const {
  QFile f(env.programFolder() + QString("/Teil_%1__1234567890.htm").arg(part));
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}
