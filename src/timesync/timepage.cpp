#include "timesync/timepage.h"

#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>

#include "app/dateserial.h"
#include "app/vberror.h"
#include "ebay/ebaytime.h"

namespace timepage {

qsizetype zoneWordPosition(const QString& page) {
  // Compared without regard to case on the page itself: upper-casing first could change the
  // text's length (a "ß" becomes "SS") and so shift every position behind it.
  qsizetype index = page.indexOf(kWinterZone, 0, Qt::CaseInsensitive);
  if (index < 0) index = page.indexOf(kSummerZone, 0, Qt::CaseInsensitive);
  return index < 0 ? 0 : index + 1;
}

QString stampWindow(const QString& page, qsizetype zonePosition) {
  const qsizetype start = zonePosition - kStampLead;  // 1-based
  if (zonePosition < 1 || start < 1) vberr::raise(vberr::kTypeMismatch);
  return page.mid(start - 1, kStampLength);
}

double readStamp(const QString& window, const RegionalFormat& fmt, double today) {
  const double stamp = regional::toDate(window, fmt, today);
  // A time alone would put the clock on 30.12.1899, a date alone at midnight.
  if (dateserial::dayOf(stamp) == 0 || !window.contains(QChar(':')))
    vberr::raise(vberr::kTypeMismatch);
  return stamp;
}

PageTime readPageTime(const QString& page, const RegionalFormat& fmt, double today) {
  const qsizetype zone = zoneWordPosition(page);
  if (zone == 0)
    return {false, 0, kNoTime, QStringLiteral("keine Zeitangabe mit MEZ oder MESZ auf der Seite")};
  if (zone <= kStampLead)
    return {false, 0, vberr::description(vberr::kTypeMismatch),
            QStringLiteral("vor der Zeitzone steht keine vollständige Zeitangabe")};
  const QString window = stampWindow(page, zone);
  try {
    const double stamp = readStamp(window, fmt, today);
    return {true, dateserial::toLinearSeconds(stamp) * 1000, QString(), QString()};
  } catch (const VbError& e) {
    return {false, 0, e.description(),
            QStringLiteral("„") + window.trimmed() +
                QStringLiteral("“ ist kein Datum mit Uhrzeit (TT.MM.JJJJ hh:mm:ss)")};
  }
}

QString noTimeLogLine(TransferEnd ended, int status, const QString& failureText,
                      const PageTime& time) {
  QString why;
  if (ended == TransferEnd::TimedOut) {
    why = QStringLiteral("keine Antwort vom Server (Zeitüberschreitung)");
  } else if (ended == TransferEnd::Cancelled) {
    why = QStringLiteral("die Abfrage wurde abgebrochen");  // a bid needed the connection
  } else if (ended != TransferEnd::Completed) {
    why = QStringLiteral("keine Antwort vom Server") +
          (failureText.isEmpty() ? QString() : QStringLiteral(" (") + failureText + QChar(')'));
  } else if (status != 200) {
    why = QStringLiteral("der Server antwortete mit Status %1").arg(status);
  } else {
    why = time.why;
  }
  return QStringLiteral("Timesync nicht möglich: ") + why;
}

QString logLine(double oldTime, double newTime, bool refused, const QString& lead) {
  QString line = QStringLiteral("Timesync: ") + regional::formatTime(oldTime) +
                 QStringLiteral(" -> ") + regional::formatTime(newTime);
  if (refused) line += QStringLiteral(" (nicht gestellt)");
  return line + QChar(' ') + lead;
}

PageTime readDateHeader(const QString& date) {
  // HTTP's one date form (RFC 9110): "ddd, dd MMM yyyy HH:mm:ss GMT", English names.
  static const QRegularExpression form(
      QStringLiteral("^[A-Z][a-z]{2}, (\\d\\d [A-Z][a-z]{2} \\d{4}) (\\d\\d:\\d\\d:\\d\\d) GMT$"));
  const QRegularExpressionMatch m = form.match(date.trimmed());
  const QDate day =
      m.hasMatch() ? QLocale::c().toDate(m.captured(1), QStringLiteral("dd MMM yyyy")) : QDate();
  const QTime time = QTime::fromString(m.captured(2), QStringLiteral("HH:mm:ss"));
  if (!day.isValid() || !time.isValid()) return {false, 0, kNoTime, {}};
  return {true, ebay::localMsOf(QDateTime(day, time, Qt::UTC)), {}, {}};
}

}  // namespace timepage
