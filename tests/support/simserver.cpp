#include "support/simserver.h"

#include <QFile>
#include <QJsonDocument>

#include "releasesigning.h"

sim::Config lampSite(const std::string& id, const std::string& user, const std::string& password) {
  sim::Item item;
  item.id = id;
  item.title = "Lampe";
  item.endMs = sim::nowMs() + 600000;
  item.price = 5.0;
  item.increment = 0.5;
  sim::Config config;
  config.items = {item};
  config.accounts[user] = password;
  return config;
}

SimServer::SimServer(sim::Config config) {
  if (config.vendorSecretKey.empty()) config.vendorSecretKey = vendorsign::makeKeyPair().secretKey;
  m_vendorKey = QByteArray::fromStdString(vendorsign::publicKeyOf(config.vendorSecretKey));
  config.port = 0;
  config.requestLog = (m_dir.path() + QStringLiteral("/requests.jsonl")).toStdString();
  m_sim = std::make_unique<sim::Simulator>(std::move(config));
  m_port = m_sim->start();
}

SimServer::~SimServer() {
  m_sim->stop();
}

QString SimServer::baseUrl() const {
  return QStringLiteral("http://127.0.0.1:%1").arg(m_port);
}

Endpoints SimServer::endpoints() const {
  Endpoints e;
  e.offerHost = e.itemHost = e.offerHostDe = e.itemHostDe = e.timeHost = e.vendorServer = baseUrl();
  e.ebayApiHost = e.ebayAuthHost = baseUrl();
  e.classicSiteNamed = true;
  e.vendorKey = m_vendorKey;
  return e;
}

QList<QJsonObject> SimServer::requests() const {
  QList<QJsonObject> out;
  QFile f(m_dir.path() + QStringLiteral("/requests.jsonl"));
  if (!f.open(QIODevice::ReadOnly)) return out;
  for (const QByteArray& line : f.readAll().split('\n')) {
    if (line.trimmed().isEmpty()) continue;
    out.append(QJsonDocument::fromJson(line).object());
  }
  return out;
}
