#include "ebay/outcome.h"

#include <QHash>

namespace ebay::outcome {
namespace {
const QString kCrLf = QStringLiteral("\r\n");

QString lines(const char* a, const char* b, const char* c) {
  return QString::fromUtf8(a) + kCrLf + QString::fromUtf8(b) + kCrLf + QString::fromUtf8(c);
}

BidOutcome make(const char* code, QString text, const QString& log) {
  return {QString::fromLatin1(code), std::move(text), {QStringLiteral("eBay-Gebot - ") + log}};
}

struct ErrorText {
  const char* code;
  const char* line1;
  const char* line2;
  const char* line3;
  const char* log;
};

// Every error id of place_proxy_bid in eBay's Offer document, and 120033 of the bidding query.
const QHash<int, ErrorText>& errorTexts() {
  static const QHash<int, ErrorText> texts = {
      {120000, {"er", "eBay meldet", "eine interne", "Störung.", "interne Störung bei eBay"}},
      {120001,
       {"er", "Der Artikel", "ist keine laufende", "Auktion.",
        "Artikel nicht gefunden oder keine laufende Auktion"}},
      {120002,
       {"Ae", "Die Auktion", "wurde per", "Sofort-Kauf beendet.",
        "Auktion durch Sofort-Kauf beendet"}},
      {120003,
       {"er", "Auf eigene", "Artikel kann man", "nicht bieten.",
        "auf eigene Artikel kann man nicht bieten"}},
      {120004,
       {"er", "Sie sind für", "diesen Artikel", "nicht zugelassen.",
        "für diesen Artikel nicht zum Bieten zugelassen"}},
      {120005,
       {"er", "Das Gebot liegt", "über dem", "Sofort-Kaufpreis.",
        "Gebot höher als der Sofort-Kaufpreis"}},
      {120006,
       {"er", "Der Verkäufer", "lässt Ihr Gebot", "nicht zu.",
        "Gebot durch Beschränkungen des Verkäufers nicht zugelassen"}},
      {120007, {"er", "Das Gebot", "ist zu", "hoch.", "Gebot zu hoch"}},
      {120008, {"lB", "Das Gebot", "war leider", "zu gering.", "Gebot zu gering"}},
      {120009,
       {"er", "Falsche", "Währung für", "diesen Artikel.",
        "Währung des Gebots ist nicht die des Artikels"}},
      {120010,
       {"er", "Ein Höchstgebot", "kann nicht", "gesenkt werden.",
        "ein abgegebenes Höchstgebot kann nicht gesenkt werden"}},
      {120011, {"er", "Das Gebot", "übersteigt", "das Limit.", "Gebot über dem Limit"}},
      {120012, {"Ae", "Die Auktion", "war leider", "schon beendet.", "Auktion schon beendet"}},
      {120013,
       {"er", "Der Betrag", "des Gebots", "ist ungültig.",
        "Betrag des Gebots fehlt oder ist ungültig"}},
      {120014, {"er", "Die Währung", "des Gebots", "ist ungültig.", "Währung des Gebots ungültig"}},
      {120015, {"er", "Der Anfrage", "fehlte der", "Marktplatz.", "Anfrage ohne eBay-Marktplatz"}},
      {120016, {"er", "Der Anfrage", "fehlte das", "Höchstgebot.", "Anfrage ohne Höchstgebot"}},
      {120017,
       {"er", "Der Marktplatz", "wird nicht", "unterstützt.",
        "eingestellter eBay-Marktplatz wird nicht unterstützt"}},
      {120018,
       {"er", "Nur ganze", "Beträge bei", "dieser Auktion.",
        "bei dieser Auktion nur Gebote ohne Nachkommastellen"}},
      {120019,
       {"er", "Nur mit", "Freigabe durch", "den Verkäufer.",
        "für diese Auktion ist eine Freigabe durch den Verkäufer nötig"}},
      {120020,
       {"er", "Nutzungs-", "vereinbarung", "nicht akzeptiert.",
        "für diese Auktion muss eine Nutzungsvereinbarung akzeptiert werden"}},
      {120021,
       {"er", "Nicht berechtigt", "für Artikel nur", "für Erwachsene.",
        "keine Berechtigung für Artikel nur für Erwachsene"}},
      {120022,
       {"er", "Datenschutz-", "vereinbarung", "nicht akzeptiert.",
        "für diese Auktion ist eine Datenschutzvereinbarung nötig"}},
      {120023,
       {"er", "Auktion nur", "für gewerbliche", "Käufer.", "Auktion nur für gewerbliche Käufer"}},
      {120024,
       {"er", "Der Artikel ist", "zurzeit nicht", "verfügbar.", "Artikel zurzeit nicht verfügbar"}},
      {120025,
       {"er", "Kauflimit", "für den Artikel", "überschritten.",
        "Gebot blockiert: Kauflimit für den Artikel überschritten"}},
      {120026,
       {"er", "Der Verkäufer", "verlangt mehr", "Bewertungspunkte.",
        "Gebot blockiert: der Verkäufer beschränkt nach Bewertungspunkten"}},
      {120027,
       {"er", "Kein Versand", "an Ihren", "Standort.",
        "Gebot blockiert: der Verkäufer versendet nicht an Ihren Standort"}},
      {120028,
       {"er", "Ein PayPal-Konto", "muss verknüpft", "sein.",
        "Auktion nur mit verknüpftem PayPal-Konto"}},
      {120029,
       {"er", "Verstoß gegen", "die Regeln", "für Käufer.",
        "Gebot blockiert: Verstoß gegen die Regeln für Käufer"}},
      {120030,
       {"er", "Gebot wegen", "unbezahlter", "Artikel blockiert.",
        "Gebot blockiert wegen unbezahlter Artikel"}},
      {120031,
       {"er", "Die Kreditkarte", "muss geprüft", "werden.",
        "für dieses Gebot muss eine Kreditkarte geprüft werden"}},
      {120032,
       {"er", "Zustimmung für", "Artikel nur für", "Erwachsene fehlt.",
        "Zustimmung für Artikel nur für Erwachsene fehlt"}},
      {120033,
       {"er", "Für diese Auktion", "liegt kein Gebot", "von Ihnen vor.",
        "für diese Auktion liegt kein Gebot von Ihnen vor"}},
  };
  return texts;
}

QString withPrice(const QString& first, const QString& second, const std::optional<Money>& price) {
  return first + kCrLf + second + kCrLf +
         (price ? QStringLiteral("Endpreis ") + germanMoney(*price) : QString());
}
}  // namespace

BidOutcome placed(const std::optional<Bidding>& bidding) {
  if (!bidding)
    return make("hb", lines("Ihr Gebot", "wurde", "berücksichtigt."),
                QStringLiteral("Gebot angekommen"));
  if (bidding->highBidder)
    return make("hb", lines("Sie haben", "das höchste", "Gebot abgegeben."),
                QStringLiteral("Höchstgebot abgegeben"));
  return make("ob", lines("Sie wurden", "leider", "überboten."),
              QStringLiteral("überboten, ein anderes Höchstgebot liegt darüber"));
}

BidOutcome ofError(int errorId) {
  const auto it = errorTexts().constFind(errorId);
  const QString suffix = QStringLiteral(" (Fehler %1)").arg(errorId);
  if (it == errorTexts().constEnd())
    return make("er", lines("Problem", "bei der", "Gebotsabgabe."),
                QStringLiteral("Fehler bei der Gebotsabgabe") + suffix);
  return make(it->code, lines(it->line1, it->line2, it->line3),
              QString::fromUtf8(it->log) + suffix);
}

BidOutcome ofAnswer(int httpStatus, const QList<ApiError>& errors) {
  const QString status = QStringLiteral(" (HTTP %1)").arg(httpStatus);
  if (httpStatus == 401)
    return make("pw", lines("Die Anmeldung", "bei eBay ist", "abgelaufen."),
                QStringLiteral("Anmeldung bei eBay abgelaufen oder widerrufen, bitte im "
                               "eBay-Zugang neu anmelden") +
                    status);
  if (httpStatus == 403)
    return make("pw", lines("Der eBay-Zugang", "erlaubt", "keine Gebote."),
                QStringLiteral("der eBay-Zugang darf nicht bieten (Keyset für die Offer-API "
                               "nicht freigegeben?)") +
                    status);
  if (httpStatus == 429)
    return make("er", lines("eBay lehnt ab:", "zu viele", "Anfragen."),
                QStringLiteral("zu viele Anfragen an eBay") + status);
  if (!errors.isEmpty() && errors.first().errorId != 0) return ofError(errors.first().errorId);
  if (httpStatus >= 500)
    return make("er", lines("eBay meldet", "eine interne", "Störung."),
                QStringLiteral("interne Störung bei eBay") + status);
  return make("er", lines("Problem", "bei der", "Gebotsabgabe."),
              QStringLiteral("unerwartete Antwort von eBay") + status);
}

BidOutcome noAnswer(bool sent, const QString& networkError) {
  const QString why =
      networkError.isEmpty() ? QString() : QStringLiteral(" (") + networkError + QLatin1Char(')');
  if (sent)
    return make("nd", lines("Ausgang des Gebots", "ist unbekannt.", "Artikelseite prüfen."),
                QStringLiteral("keine Antwort von eBay, das Gebot kann angekommen sein") + why);
  return make("nd", lines("Keine Daten vom", "eBay-Server erhalten.", "Internetverbindung prüfen."),
              QStringLiteral("keine Verbindung zu eBay") + why);
}

std::optional<BidOutcome> afterEnd(const Bidding& bidding) {
  if (!bidding.ended()) return std::nullopt;
  const QString price = bidding.currentPrice ? germanMoney(*bidding.currentPrice) : QString();
  const QString priceLog = price.isEmpty() ? QString() : QStringLiteral(", Endpreis ") + price;
  if (bidding.highBidder)
    return BidOutcome{
        QStringLiteral("hb"),
        withPrice(QStringLiteral("Auktion"), QStringLiteral("gewonnen!"), bidding.currentPrice),
        {QStringLiteral("eBay-Auktion gewonnen") + priceLog}};
  return BidOutcome{
      QStringLiteral("ob"),
      withPrice(QStringLiteral("Auktion"), QStringLiteral("nicht gewonnen."), bidding.currentPrice),
      {QStringLiteral("eBay-Auktion nicht gewonnen") + priceLog}};
}

}  // namespace ebay::outcome
