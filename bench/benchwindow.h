#pragma once

// The main window as the program builds it, on this machine's real services, against the
// simulator in the same process: where every countdown benchmark starts.
#include <QString>
#include <memory>

#include "app/appstate.h"
#include "app/scramble.h"
#include "app/settings.h"
#include "bidding/inet.h"
#include "bidding/transfer.h"
#include "realservices.h"
#include "simulator.h"
#include "sniper/form1.h"

namespace bench {

class BenchWindow {
 protected:
  // `home`: the program's folder. Every host of the site and the vendor server is the
  // simulator's; the caller sets up the rest of the state, then calls showWindow().
  BenchWindow(const QString& home, sim::Simulator& simulator, const QString& requestLogPath)
      : m_real(home),
        m_settings(home + QStringLiteral("/config")),
        m_ctx{m_state, m_real.services, m_settings, m_inet1},
        m_sim(simulator),
        m_log(requestLogPath) {
    AppState& s = m_state;
    s.passwordKey = scramble::passwordKey();
    s.VersionText = QStringLiteral("1.3.6");
    s.InstallTag = QStringLiteral("bench");
    s.warnton = 0;
    s.clockLabelOffset = 200;
    const QString base = QString::fromStdString(simulator.baseUrl());
    s.endpoints.offerHost = s.endpoints.itemHost = s.endpoints.offerHostDe =
        s.endpoints.itemHostDe = s.endpoints.timeHost = s.endpoints.vendorServer = base;
  }

  void showWindow() {
    connectInet1(m_ctx);
    m_form = std::make_unique<Form1>(m_ctx);
    m_form->show();
  }

  // A control of the main window, found by its objectName.
  template <class T>
  T* control(const char* name) const {
    return m_form->findChild<T*>(QString::fromLatin1(name));
  }

  RealServices m_real;
  SettingsStore m_settings;
  AppState m_state;
  Inet m_inet1;
  AppContext m_ctx;
  sim::Simulator& m_sim;
  QString m_log;
  std::unique_ptr<Form1> m_form;
};

}  // namespace bench
