// Broken connections of the auction site during a bid: each ends in a clear outcome that the
// window shows, the window stays responsive while it waits, and no setting is lost.
#include <QTcpServer>
#include <QTcpSocket>

#include "faultfixture.h"

using namespace faults;

namespace {
const QString kStarted = QStringLiteral("Bieten Teil 1/2 - gestartet");
const QString kNoData1 =
    QStringLiteral("Bieten Teil 1/2 - Keine Daten vom eBayserver. Internetverbindung prüfen.");
const QString kNoData2 =
    QStringLiteral("Bieten Teil 2/2 - Keine Daten vom eBayserver. Internetverbindung prüfen.");
const QString kNoForm = QStringLiteral("Bieten Teil 2/2 - keine Formulardaten in Teil 1");
const QString kUnknown = QStringLiteral("Bieten Teil 2/2 - Fehler bei Gebotsabgabe");

sim::Config faulty(int step, const char* kind) {
  sim::Config config = site();
  config.faultStep = step;
  config.fault = kind;
  return config;
}

// Answers every connection with bytes that are no HTTP at all, then hangs up.
class NoiseServer {
 public:
  NoiseServer() {
    m_server.listen(QHostAddress::LocalHost);
    QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
      while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket] {
          socket->readAll();
          socket->write(
              QByteArray("\x16\x03\x01\x00\xa5\x01\x00\x00\xa1\x03\x03\r\n\r\n\xff\xfe", 16));
          socket->disconnectFromHost();
        });
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
      }
    });
  }
  QString baseUrl() const {
    return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort());
  }

 private:
  QTcpServer m_server;
};
}  // namespace

TEST(SimFaults, theFaultSwitchNamesAStepAndAKind) {
  sim::Config config;
  EXPECT_TRUE(sim::parseFault("2:garbage", config));
  EXPECT_EQ(config.faultStep, 2);
  EXPECT_EQ(config.fault, "garbage");
  for (const char* bad : {"3:hang", "0:cut", "1:", "1:boom", "hang", "12:ten", ":ten"})
    EXPECT_FALSE(sim::parseFault(bad, config)) << bad;
  EXPECT_EQ(config.fault, "garbage");
}

// The site takes the request and never answers: the transfer component's own time-out ends the
// wait and the step has no data.
TEST(Faults, aSiteThatNeverAnswersEndsInNoDataAfterTheTimeOut) {
  for (int step : {1, 2}) {
    SCOPED_TRACE(step);
    FaultRun run(faulty(step, "hang"));
    run.form.Inet1->setTimeoutMs(300);
    EXPECT_GT(run.countdownThroughTheEnd(), 0);
    EXPECT_EQ(run.shown(), kNoData);
    EXPECT_TRUE(run.logContains(step == 1 ? kNoData1 : kNoData2));
    EXPECT_TRUE(run.logContains(QStringLiteral("Bieten abgeschlossen")));
    EXPECT_EQ(run.reportCode(), QStringLiteral("nd"));
    EXPECT_TRUE(run.env.dialogs.errors.isEmpty());
    EXPECT_FALSE(run.env.state.armed);
    run.form.Form_Unload();
    run.expectNoSettingLost();
  }
}

// Half the step-1 page arrives: its form has no end, which the form reader reports; the bid
// starts once more, meets the same, and ends in "er" with the half page kept. Half the step-2
// page still carries the item title, which counts as a bid that arrived.
TEST(Faults, aConnectionClosedInTheMiddleOfTheBodyIsJudgedByWhatArrived) {
  {
    FaultRun run(faulty(1, "cut"));
    EXPECT_GT(run.countdownThroughTheEnd(), 0);
    EXPECT_EQ(run.shown(), kProblem);
    EXPECT_EQ(run.errorProcedures(), QStringList({"readFormData", "readFormData"}));
    EXPECT_EQ(run.env.logMessages().count(kStarted), 2);
    EXPECT_TRUE(run.logContains(kNoForm));
    EXPECT_EQ(run.reportCode(), QStringLiteral("er"));
    const QByteArray page = run.page(1);
    EXPECT_TRUE(page.startsWith("<html>"));
    EXPECT_TRUE(page.contains("name=\"PlaceBid\""));
    EXPECT_FALSE(page.contains("</form>"));
    EXPECT_EQ(run.page(2), QByteArray("<none>"));
    run.form.Form_Unload();
    run.expectNoSettingLost();
  }
  {
    FaultRun run(faulty(2, "cut"));
    EXPECT_GT(run.countdownThroughTheEnd(), 0);
    EXPECT_EQ(run.shown(), QStringLiteral("Ihr Gebot\r\nwurde\r\nberücksichtigt."));
    EXPECT_TRUE(run.logContains(QStringLiteral("Bieten Teil 2/2 - Gebot angekommen")));
    EXPECT_EQ(run.reportCode(), QStringLiteral("hb"));
    EXPECT_TRUE(run.env.dialogs.errors.isEmpty());
    EXPECT_TRUE(run.siteTookTheBid());
  }
}

// Ten characters are no "no data", yet no page either: step 2 ends in "er" with both pages;
// at step 1 there is no form, so after the one restart it ends in "er" with the step-1 page.
TEST(Faults, aReplyOfExactlyTenCharactersEndsInEr) {
  for (int step : {1, 2}) {
    SCOPED_TRACE(step);
    FaultRun run(faulty(step, "ten"));
    EXPECT_GT(run.countdownThroughTheEnd(), 0);
    EXPECT_EQ(run.shown(), kProblem);
    EXPECT_EQ(run.reportCode(), QStringLiteral("er"));
    EXPECT_TRUE(run.env.dialogs.errors.isEmpty());
    if (step == 1) {
      EXPECT_TRUE(run.logContains(kNoForm));
      EXPECT_EQ(run.page(1), QByteArray("Fehler 503\r\n"));
      EXPECT_EQ(run.page(2), QByteArray("<none>"));
    } else {
      EXPECT_TRUE(run.logContains(kUnknown));
      EXPECT_TRUE(run.page(1).contains("name=\"PlaceBid\""));
      EXPECT_EQ(run.page(2), QByteArray("Fehler 503\r\n"));
    }
    run.form.Form_Unload();
    run.expectNoSettingLost();
  }
}

// Random bytes in an HTTP reply are a page the program cannot read ("er", the bytes kept as
// the diagnostic page); bytes that are no HTTP at all are a failed transfer ("nd").
TEST(Faults, garbageBytesEndInAClearOutcome) {
  for (int step : {1, 2}) {
    SCOPED_TRACE(step);
    FaultRun run(faulty(step, "garbage"));
    EXPECT_GT(run.countdownThroughTheEnd(), 0);
    EXPECT_EQ(run.shown(), kProblem);
    EXPECT_EQ(run.reportCode(), QStringLiteral("er"));
    EXPECT_TRUE(run.logContains(step == 1 ? kNoForm : kUnknown));
    EXPECT_EQ(run.page(step).size(), 2048 + 2);  // the bytes and the line end
    EXPECT_TRUE(run.env.dialogs.errors.isEmpty());
    run.form.Form_Unload();
    run.expectNoSettingLost();
  }
  NoiseServer noise;
  FaultRun run;
  run.env.state.endpoints.offerHost = noise.baseUrl();
  EXPECT_GT(run.countdownThroughTheEnd(), 0);
  EXPECT_EQ(run.shown(), kNoData);
  EXPECT_TRUE(run.logContains(kNoData1));
  EXPECT_EQ(run.reportCode(), QStringLiteral("nd"));
  run.form.Form_Unload();
  run.expectNoSettingLost();
}
