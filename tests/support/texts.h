#pragma once

// The program's texts that the tests compare, each written once, and readable failure messages
// for Qt texts.
#include <QString>
#include <QStringList>
#include <ostream>

// What the countdown label (and the bid's result) says, lines joined by CR LF.
namespace shown {
inline const QString kNoData =
    "Keine Daten vom\r\neBay-Server erhalten.\r\nInternetverbindung prüfen.";
inline const QString kProblem = "Problem\r\nbei der\r\nGebotsabgabe.";
inline const QString kUnknown = "Ausgang des Gebots\r\nist unbekannt.\r\nArtikelseite prüfen.";
inline const QString kHighBidder = "Sie haben\r\ndas höchste\r\nGebot abgegeben.";
inline const QString kOutbid = "Sie haben\r\nnicht das höchste\r\nGebot abgegeben.";
inline const QString kArrived = "Ihr Gebot\r\nwurde\r\nberücksichtigt.";
inline const QString kEnded = "Die Auktion\r\nwar leider\r\nschon beendet.";
inline const QString kWrongPassword = "Das Passwort\r\nist\r\nfalsch.";
inline const QString kPlaced = "Gebot wurde\r\nabgegeben.";
inline const QString kMissed = "Gebot verpasst:\r\nAuktion war\r\nschon beendet.";
}  // namespace shown

// The bid's log lines.
namespace logged {
inline const QString kStep1Started = "Bieten Teil 1/2 - gestartet";
inline const QString kStep1Done = "Bieten Teil 1/2 - beendet";
inline const QString kStep2Started = "Bieten Teil 2/2 - gestartet";
inline const QString kStep2Done = "Bieten Teil 2/2 - beendet";
inline const QString kNoData1 =
    "Bieten Teil 1/2 - Keine Daten vom eBayserver. Internetverbindung prüfen.";
inline const QString kNoData2 =
    "Bieten Teil 2/2 - Keine Daten vom eBayserver. Internetverbindung prüfen.";
inline const QString kRefused1 =
    "Bieten Teil 1/2 - Verbindung fehlgeschlagen: Verbindung abgelehnt";
inline const QString kHighBid = "Bieten Teil 2/2 - Höchstgebot abgegeben";
inline const QString kError2 = "Bieten Teil 2/2 - Fehler bei Gebotsabgabe";
inline const QString kNoForm = "Bieten Teil 2/2 - keine Formulardaten in Teil 1";
inline const QString kEndLine = "GebotsfalkePlus beendet - Version 1.3.6";
}  // namespace logged

inline std::ostream& operator<<(std::ostream& os, const QString& text) {
  return os << text.toStdString();
}
inline void PrintTo(const QString& text, std::ostream* os) {
  *os << '"' << text << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* os) {
  *os << "{";
  for (qsizetype i = 0; i < list.size(); ++i) *os << (i ? ", " : "") << '"' << list[i] << '"';
  *os << "}";
}
