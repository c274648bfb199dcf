#include "timesync/siteoffset.h"

#include <algorithm>

namespace siteoffset {
namespace {
constexpr qint64 kDayMs = 86400000;

qint64 floorDiv(qint64 a, qint64 b) {
  const qint64 q = a / b;
  return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

qint64 middle(const Estimate& e) {
  return floorDiv(e.lowMs + e.highMs, 2);
}
}  // namespace

qint64 wholeSecondLead(qint64 shownMs, int markSecondOfDay, qint64 programNowMs,
                       qint64 computerNowMs) {
  const qint64 nowSeconds = floorDiv(programNowMs, 1000);
  qint64 delay = nowSeconds - floorDiv(nowSeconds, 86400) * 86400 - markSecondOfDay;
  if (delay < 0) delay += 86400;  // the answer never takes a day
  return shownMs + delay * 1000 - computerNowMs;
}

Estimate firstReading(const Reading& r, qint64 wholeSecondLeadMs) {
  Estimate e;
  e.lowMs = r.shownMs - r.arrivedMs;
  e.highMs = r.shownMs + 1000 - r.sentMs;
  e.leadMs = e.wholeSecondLeadMs = wholeSecondLeadMs;
  e.roundTripMs = std::max<qint64>(r.arrivedMs - r.sentMs, 0);
  return e;
}

Verdict narrow(Estimate& e, const Reading& r) {
  const qint64 roundTrip = r.arrivedMs - r.sentMs;
  if (roundTrip > kSlowestRoundTripMs) return Verdict::TooSlow;
  const qint64 low = std::max(e.lowMs, r.shownMs - r.arrivedMs);
  const qint64 high = std::min(e.highMs, r.shownMs + 1000 - r.sentMs);
  // An answer before its request, or a second no earlier reading allows.
  if (roundTrip < 0 || low >= high) return Verdict::OutOfBounds;
  e.lowMs = low;
  e.highMs = high;
  e.leadMs = low;
  e.roundTripMs = std::min(e.roundTripMs, roundTrip);
  ++e.probes;
  return Verdict::Narrowed;
}

bool precise(const Estimate& e) {
  return e.highMs - e.lowMs <= kPreciseEnoughMs || e.probes >= kMostProbes;
}

qint64 nextSendMs(const Estimate& e, qint64 earliestMs) {
  // The site's second changes at computer time t where t + lead is a whole second.
  const qint64 travel = e.roundTripMs / 2;
  const qint64 firstBoundary = earliestMs + travel + middle(e);
  const qint64 boundary = floorDiv(firstBoundary + 999, 1000) * 1000;
  return boundary - middle(e) - travel;
}

qint64 adoptedLead(qint64 leadMs, qint64 computerNowMs, qint64 programNowMs) {
  const qint64 siteMs = computerNowMs + leadMs;
  const qint64 siteDay = floorDiv(siteMs, kDayMs);
  const qint64 programDay = floorDiv(programNowMs, kDayMs);
  if (siteDay - programDay < 3) return leadMs;
  return programDay * kDayMs + (siteMs - siteDay * kDayMs) - computerNowMs;
}

qint64 clockShift(qint64 leadMs, qint64 computerNowMs, qint64 programNowMs) {
  return computerNowMs + adoptedLead(leadMs, computerNowMs, programNowMs) - programNowMs;
}

QString triggerMoveText(qint64 shiftMs, bool asking, const RegionalFormat& fmt) {
  const QString seconds = leadText(qAbs(shiftMs), fmt).mid(1);  // without its sign
  const QString head = QStringLiteral("Die Uhrzeit des Auktionshauses wurde neu gemessen.\r\n");
  if (!asking) {
    return head + QStringLiteral("Das Gebot geht ") + seconds +
           (shiftMs > 0 ? QStringLiteral(" früher ab.") : QStringLiteral(" später ab."));
  }
  return head + QStringLiteral("Danach ginge das Gebot ") + seconds +
         QStringLiteral(
             " später ab.\r\nNeue Uhrzeit übernehmen? Ohne Ja bleibt es beim "
             "früheren Zeitpunkt.");
}

bool measurementDue(qint64 lastMs, qint64 nowMs) {
  return lastMs == 0 || qAbs(nowMs - lastMs) >= kMeasurementKeptMs;
}

QString leadText(qint64 leadMs, const RegionalFormat& fmt) {
  const qint64 tenths = (qAbs(leadMs) + 50) / 100;
  const QChar sign = leadMs < 0 && tenths > 0 ? QChar('-') : QChar('+');
  return sign + QString::number(tenths / 10) + fmt.decimalSeparator + QString::number(tenths % 10) +
         QStringLiteral(" Sekunden");
}

QString keptLeadLine(qint64 leadMs, const RegionalFormat& fmt) {
  return QStringLiteral(
             "GebotsfalkePlus bietet nach der Uhrzeit des Auktionshauses, die von der Uhr dieses "
             "Computers um ") +
         leadText(leadMs, fmt) + QStringLiteral(" abweicht.");
}

}  // namespace siteoffset
