#pragma once

// The simulator a countdown benchmark bids on, before it starts: a temporary home for the
// program, the simulator's request log in it, one account, and the auctions the countdowns use
// plus the one the raw requests bid on. The caller adds what its benchmark needs to `config`,
// then builds the simulator from it.
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <string>

#include "simulator.h"

namespace bench {

// The account every countdown bids with.
inline constexpr const char* kBenchUser = "bieter";
inline constexpr const char* kBenchPassword = "geheim";

struct BenchSite {
  // `auctions` items numbered from 1000000000, ending an hour after the site's present; the site
  // runs `siteLeadMs` ahead of this computer.
  explicit BenchSite(int auctions, qint64 siteLeadMs = 0)
      : logPath(home.path() + QStringLiteral("/requests.jsonl")) {
    QDir().mkpath(home.path() + QStringLiteral("/program"));
    qputenv("GEBOTSFALKE_HOME", QFile::encodeName(home.path() + QStringLiteral("/program")));
    config.accounts[kBenchUser] = kBenchPassword;
    config.vendorVersion = "1.03.0006";
    config.requestLog = logPath.toStdString();
    config.timeOffsetMs = siteLeadMs;
    const qint64 now = sim::nowMs() + siteLeadMs;
    for (int n = 0; n < auctions; ++n) addAuction(std::to_string(1000000000LL + n), now + 3600000);
    // The raw requests' auction never ends during the run.
    addAuction(rawItem, now + 24 * 3600000);
  }

  QTemporaryDir home;
  const QString logPath;
  const std::string rawItem = "1999999999";
  sim::Config config;

 private:
  void addAuction(const std::string& id, qint64 endMs) {
    sim::Item item;
    item.id = id;
    item.endMs = endMs;
    config.items.push_back(item);
  }
};

}  // namespace bench
