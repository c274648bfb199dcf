#include "bidding/bidoutcome.h"

#include "app/cp1252.h"
#include "app/vberror.h"
#include "bidding/formreader.h"

namespace bidoutcome {
namespace {
const QString kCrLf = QStringLiteral("\r\n");

QString lines(const char* a, const char* b, const char* c) {
  return QString::fromUtf8(a) + kCrLf + QString::fromUtf8(b) + kCrLf + QString::fromUtf8(c);
}

BidOutcome outcome(const char* code, QString text, QStringList log) {
  return {QString::fromLatin1(code), std::move(text), std::move(log)};
}

const char* const kStep1Done = "Bieten Teil 1/2 - beendet";
const char* const kStep2Done = "Bieten Teil 2/2 - beendet";

QString noData() {
  return lines("Keine Daten vom", "eBay-Server erhalten.", "Internetverbindung prüfen.");
}
QString auctionEnded() {
  return lines("Die Auktion", "war leider", "schon beendet.");
}
QString problem() {
  return lines("Problem", "bei der", "Gebotsabgabe.");
}

// A step-2 outcome: its own log line, then the step's end.
BidOutcome step2(const char* code, QString text, const char* log) {
  return outcome(code, std::move(text), {QString::fromUtf8(log), QString::fromLatin1(kStep2Done)});
}

bool contains(const QString& reply, const char* text, Qt::CaseSensitivity cs) {
  return replyContains(reply, QString::fromLatin1(text), cs);
}

// The item number in the first request's body. A number as the site writes it goes unchanged;
// a character that would split or re-read the body ("&", "=", "+", "%", blanks, controls,
// anything beyond ASCII) is percent-encoded, so that a crafted item number cannot add a second
// amount to the bid.
QString itemParameter(const QString& itemId) {
  QString out;
  out.reserve(itemId.size());
  for (const QChar c : itemId) {
    const char16_t u = c.unicode();
    if (u > 0x20 && u < 0x7F && u != '&' && u != '=' && u != '+' && u != '%') {
      out += c;
    } else {
      const int code = cp1252::codeOf(c);
      out += QLatin1Char('%') + HexByte(code < 0 ? '?' : code);
    }
  }
  return out;
}
}  // namespace

bool replyContains(const QString& reply, const QString& text, Qt::CaseSensitivity cs) {
  return reply.indexOf(text, 1, cs) >= 0;
}

std::optional<BidOutcome> classifyStep1(const QString& reply) {
  if (reply.size() < 10)
    return outcome("nd", noData(),
                   {QStringLiteral("Bieten Teil 1/2 - Keine Daten vom eBayserver. "
                                   "Internetverbindung prüfen."),
                    QString::fromLatin1(kStep1Done)});
  if (contains(reply, "Your bid must be at least", Qt::CaseSensitive))
    return outcome(
        "lB", lines("Das Gebot", "war leider", "zu gering."),
        {QStringLiteral("Bieten Teil 1/2 - Gebot zu gering"), QString::fromLatin1(kStep1Done)});
  if (contains(reply, "because the auction has ended", Qt::CaseSensitive))
    return outcome("Ae", auctionEnded(),
                   {QStringLiteral("Bieten Teil 1/2 - Auktion schon beendet"),
                    QString::fromLatin1(kStep1Done)});
  return std::nullopt;
}

BidOutcome classifyStep2(const QString& reply) {
  const auto ci = Qt::CaseInsensitive;
  if (reply.size() < 10)
    return step2("nd", noData(),
                 "Bieten Teil 2/2 - Keine Daten vom eBayserver. Internetverbindung prüfen.");
  if (contains(reply, "Your User ID is not valid", ci))
    return step2("pw", lines("Der Benutzername", "ist", "ungültig."),
                 "Bieten Teil 2/2 - Benutzername ungültig");
  if (contains(reply, "Your sign-in information is not valid", ci))
    return step2("pw", lines("Das Passwort", "ist", "falsch."),
                 "Bieten Teil 2/2 - Passwort falsch");
  if (contains(reply, "because the auction has ended", ci))
    return step2("AE", auctionEnded(), "Bieten Teil 2/2 - Auktion schon beendet");
  if (contains(reply, "Your bid must be at least", ci) ||
      contains(reply, "You have been outbid by", ci))
    return step2("ob", lines("Sie haben", "nicht das höchste", "Gebot abgegeben."),
                 "Bieten Teil 2/2 - Gebot zu gering");
  if (contains(reply, "You are the current high bidder", ci))
    return step2("hb", lines("Sie haben", "das höchste", "Gebot abgegeben."),
                 "Bieten Teil 2/2 - Höchstgebot abgegeben");
  if (contains(reply, "<title>eBay item", ci))
    return step2("hb", lines("Ihr Gebot", "wurde", "berücksichtigt."),
                 "Bieten Teil 2/2 - Gebot angekommen");
  return step2("er", problem(), "Bieten Teil 2/2 - Fehler bei Gebotsabgabe");
}

bool isSignInPage(const QString& reply) {
  return reply.size() > 10 && contains(reply, "Welcome to eBay!", Qt::CaseInsensitive);
}

bool isPlacedBid(const QString& code) {
  return code == QLatin1String("hb") || code == QLatin1String("ob");
}

BidOutcome outcomeUnknown(const BidOutcome& noData) {
  BidOutcome out = noData;
  out.resultText = lines("Ausgang des Gebots", "ist unbekannt.", "Artikelseite prüfen.");
  return out;
}

BidOutcome missingForm() {
  return outcome("er", problem(),
                 {QStringLiteral("Bieten Teil 2/2 - keine Formulardaten in Teil 1"),
                  QString::fromLatin1(kStep2Done)});
}

BidOutcome foreignFormTarget(const QString& origin) {
  return outcome("er", problem(),
                 {QStringLiteral("Bieten Teil 2/2 - Formular zielt auf fremden Server ") + origin +
                      QStringLiteral(", Konto nicht gesendet"),
                  QString::fromLatin1(kStep2Done)});
}

BidOutcome unencryptedFormTarget(const QString& origin) {
  return outcome("er", problem(),
                 {QStringLiteral("Bieten Teil 2/2 - Formular zielt unverschlüsselt (http) auf ") +
                      origin + QStringLiteral(", Konto nicht gesendet"),
                  QString::fromLatin1(kStep2Done)});
}

BidOutcome refusedRedirect(const QString& origin, bool auctionHost) {
  const QString line = auctionHost
                           ? QStringLiteral("Bieten Teil 2/2 - Weiterleitung nach ") + origin +
                                 QStringLiteral(" würde das Formular erneut senden, nicht gefolgt")
                           : QStringLiteral("Bieten Teil 2/2 - Weiterleitung auf fremden Server ") +
                                 origin + QStringLiteral(" nicht gefolgt, Konto nicht gesendet");
  return outcome("er", problem(), {line, QString::fromLatin1(kStep2Done)});
}

QString logPassStarted() {
  return QStringLiteral("Bieten Teil 1/2 - gestartet");
}

QStringList logStep1Done() {
  return {QString::fromLatin1(kStep1Done), QStringLiteral("Bieten Teil 2/2 - gestartet")};
}

QString logSignInRestart() {
  return QStringLiteral("Bieten Teil 2/2 - Neues Cookie bekommen -> Restart");
}

QString bidAmount(float maxBid, const RegionalFormat& region) {
  return regional::formatSingle(maxBid, region).replace(QLatin1Char(','), QLatin1Char('.'));
}

QString step1Body(const QString& itemId, float maxBid, const RegionalFormat& region) {
  return QStringLiteral("MfcISAPICommand=MakeBid&item=") + itemParameter(itemId) +
         QStringLiteral("&quant=1&maxbid=") + bidAmount(maxBid, region);
}

QString requestHeaders(const QString& referer) {
  // The transfer component splits the block at CR LF, so a line end inside the value (from a
  // crafted item number) would pass as a header line of its own.
  if (referer.contains(QLatin1Char('\r')) || referer.contains(QLatin1Char('\n')))
    vberr::raise(vberr::kInvalidCall);
  return QStringLiteral("Referer: ") + referer + kCrLf +
         QStringLiteral("Content-Type: application/x-www-form-urlencoded") + kCrLf +
         QStringLiteral("User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)") + kCrLf +
         QStringLiteral("Accept-Language: de") + kCrLf +
         QStringLiteral("Proxy-Connection: Keep-Alive") + kCrLf +
         QStringLiteral("Pragma: no-cache") + kCrLf;
}

QString diagnosticFileName(int part, const QString& itemId) {
  QString safe = itemId;
  for (QChar& c : safe) {
    const bool keep = c.isLetter() || c.isDigit() || c == QLatin1Char('-') || c == QLatin1Char('_');
    if (!keep) c = QLatin1Char('_');
  }
  return QStringLiteral("Teil_%1__").arg(part) + safe + QStringLiteral(".htm");
}

}  // namespace bidoutcome
