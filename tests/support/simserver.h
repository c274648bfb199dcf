#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <memory>

#include "bidding/endpoints.h"
#include "simulator.h"

// A site with one running auction: "Lampe", 5,00 EUR, 0,50 increments, ten minutes to go; the
// account `user` with `password`.
sim::Config lampSite(const std::string& id, const std::string& user, const std::string& password);

// The auction-site simulator running inside the test process on a free port of 127.0.0.1,
// with its request log in a temporary file. It signs updates with a key of its own, made
// afresh unless the configuration brings one; endpoints() trusts it.
class SimServer {
 public:
  explicit SimServer(sim::Config config = {});
  ~SimServer();

  bool ok() const { return m_port > 0; }
  int port() const { return m_port; }
  QString baseUrl() const;
  // Every host of the program pointed at the simulator, and its update key trusted.
  Endpoints endpoints() const;
  QByteArray vendorKey() const { return m_vendorKey; }  // the public key, 32 bytes
  // The requests received so far, oldest first (method, path, status, body, headers,
  // arrival_ms, connection_accepted_ms, client_port: the connection's port on the client's
  // side).
  QList<QJsonObject> requests() const;
  sim::Simulator& sim() { return *m_sim; }

 private:
  QTemporaryDir m_dir;
  std::unique_ptr<sim::Simulator> m_sim;
  QByteArray m_vendorKey;
  int m_port = -1;
};
