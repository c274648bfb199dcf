// Broken connections of the auction site during a bid: each ends in a clear outcome that the
// window shows, the window stays responsive while it waits, and no setting is lost.
#include <QTcpServer>
#include <QTcpSocket>

#include "faultfixture.h"

using namespace faults;

namespace {
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
  QString baseUrl() const { return QString("http://127.0.0.1:%1").arg(m_server.serverPort()); }

 private:
  QTcpServer m_server;
};
}  // namespace

// A site that never answers: the transfer's own time-out ends the wait with no data; when the
// confirmation went out before, whether the bid arrived is unknown. Half the
// step-1 page has a form without its end, which the form reader reports; the bid starts once
// more, meets the same and ends in "er" with the half page kept. Half the step-2 page still
// carries the item title: a bid that arrived. Ten characters are no "no data", yet no page
// either. Random bytes in an HTTP reply are a page the program cannot read (kept with a line
// end); bytes that are no HTTP at all (step 0 here) are a failed transfer.
TEST(Faults, aBrokenConnectionEndsInAClearOutcome) {
  const QString noData1 =
      "Bieten Teil 1/2 - Keine Daten vom eBayserver. Internetverbindung prüfen.";
  const QString noData2 =
      "Bieten Teil 2/2 - Keine Daten vom eBayserver. Internetverbindung prüfen.";
  const QString noForm = "Bieten Teil 2/2 - keine Formulardaten in Teil 1";
  const QString unknown = "Bieten Teil 2/2 - Fehler bei Gebotsabgabe";
  const QString arrived = "Ihr Gebot\r\nwurde\r\nberücksichtigt.";
  const auto formPage = [](const QByteArray& p) { return p.contains("name=\"PlaceBid\""); };
  const auto halfForm = [&](const QByteArray& p) { return formPage(p) && !p.contains("</form>"); };
  const auto none = [](const QByteArray& p) { return p == "<none>"; };
  const auto ten = [](const QByteArray& p) { return p == "Fehler 503\r\n"; };
  const auto garbage = [](const QByteArray& p) { return p.size() == 2048 + 2; };
  const struct {
    int step;
    const char* kind;
    QString shown, code, logLine;
    QStringList boxes;
    std::function<bool(const QByteArray&)> page1, page2;
  } cases[] = {{1, "hang", kNoData, "nd", noData1, {}, none, none},
               {2, "hang", kUnknown, "nd", noData2, {}, none, none},
               {1, "cut", kProblem, "er", noForm, {"readFormData", "readFormData"}, halfForm, none},
               {2, "cut", arrived, "hb", "Bieten Teil 2/2 - Gebot angekommen", {}, none, none},
               {1, "ten", kProblem, "er", noForm, {}, ten, none},
               {2, "ten", kProblem, "er", unknown, {}, formPage, ten},
               {1, "garbage", kProblem, "er", noForm, {}, garbage, none},
               {2, "garbage", kProblem, "er", unknown, {}, formPage, garbage},
               {0, "noise", kNoData, "nd", noData1, {}, none, none}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.step << ":" << c.kind);
    FaultRun run(site(c.step, c.kind));
    NoiseServer noise;
    if (c.step == 0) run.env.state.endpoints.offerHost = noise.baseUrl();
    if (QString(c.kind) == "hang") run.env.inet1.setTimeoutMs(300);
    EXPECT_GT(run.countdownThroughTheEnd(), 0);
    EXPECT_EQ(run.shown(), c.shown);
    EXPECT_EQ(run.reportCode(), c.code);
    EXPECT_TRUE(run.logContains(c.logLine));
    EXPECT_TRUE(run.logContains("Bieten abgeschlossen"));
    EXPECT_EQ(run.errorProcedures(), c.boxes);
    EXPECT_TRUE(c.page1(run.page(1)));
    EXPECT_TRUE(c.page2(run.page(2)));
    EXPECT_FALSE(run.env.state.armed);
    if (c.code == "hb") {
      EXPECT_TRUE(run.siteTookTheBid());
    }
    run.form.Form_Unload();
    run.expectNoSettingLost();
  }
}
