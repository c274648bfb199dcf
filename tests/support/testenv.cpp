#include "support/testenv.h"

#include <QDir>
#include <QFile>

#include "app/cp1252.h"
#include "app/scramble.h"
#include "bidding/transfer.h"

TestEnv::TestEnv() {
  QDir().mkpath(dir.path() + QStringLiteral("/program"));
  QDir().mkpath(dir.path() + QStringLiteral("/config"));
  programInfo.folder = dir.path() + QStringLiteral("/program");
  settings = std::make_unique<SettingsStore>(configFolder());
  settings->setNotifier([this](const QString& text) { dialogs.errorBox(text, "GebotsfalkePlus"); });
  ctx = std::make_unique<AppContext>(AppContext{state, services, *settings, inet1});
  connectInet1(*ctx);
  state.passwordKey = scramble::passwordKey();
  // No test reaches the real auction site: every host points at a port where nobody listens.
  const QString dead = QStringLiteral("http://127.0.0.1:1");
  state.endpoints.offerHost = state.endpoints.itemHost = state.endpoints.offerHostDe =
      state.endpoints.itemHostDe = state.endpoints.timeHost = state.endpoints.vendorServer =
          state.endpoints.ebayApiHost = state.endpoints.ebayAuthHost = dead;
  state.endpoints.classicSiteNamed = true;  // as an endpoints.ini naming the hosts would
  clock.set(2026, 12, 5, 19, 0, 0);
  systemClock.clock = &clock;
}

QString TestEnv::configFolder() const {
  return dir.path() + QStringLiteral("/config");
}

QString TestEnv::setting(const QString& key, const QString& def) const {
  return settings->GetSetting(settingskeys::kApp, settingskeys::kSection, key, def);
}

void TestEnv::setSetting(const QString& key, const QString& value) {
  settings->SaveSetting(settingskeys::kApp, settingskeys::kSection, key, value);
}

QStringList TestEnv::logLines() const {
  QFile f(programFolder() + QStringLiteral("/gebotsfalke.log"));
  if (!f.open(QIODevice::ReadOnly)) return {};
  QString text = cp1252::decode(f.readAll());
  if (text.endsWith(QStringLiteral("\r\n"))) text.chop(2);
  if (text.isEmpty()) return {};
  return text.split(QStringLiteral("\r\n"));
}

QStringList TestEnv::logMessages() const {
  QStringList out;
  for (const QString& line : logLines()) out.append(line.section(QChar('\t'), 5));
  return out;
}

void TestEnv::writeEndpointsIni(const Endpoints& e) {
  QFile ini(programInfo.folder + QStringLiteral("/endpoints.ini"));
  if (!ini.open(QIODevice::WriteOnly)) return;
  ini.write("[Endpoints]\n");
  const QList<QPair<const char*, QString>> keys = {
      {"OfferHost", e.offerHost},   {"ItemHost", e.itemHost}, {"OfferHostDe", e.offerHostDe},
      {"ItemHostDe", e.itemHostDe}, {"TimeHost", e.timeHost}, {"VendorServer", e.vendorServer}};
  for (const auto& k : keys) ini.write(QByteArray(k.first) + "=" + k.second.toUtf8() + "\n");
  if (!e.ebayApiHost.isEmpty()) ini.write("EbayApiHost=" + e.ebayApiHost.toUtf8() + "\n");
  if (!e.ebayAuthHost.isEmpty()) ini.write("EbayAuthHost=" + e.ebayAuthHost.toUtf8() + "\n");
  if (!e.vendorKey.isEmpty()) ini.write("VendorKey=" + e.vendorKey.toBase64() + "\n");
}
