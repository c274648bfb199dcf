#include "ebay/itemwatch.h"

#include <algorithm>

namespace ebay::itemwatch {

std::optional<qint64> refreshDelayMs(qint64 msToTrigger, qint64 msToEnd) {
  const qint64 delay = std::clamp(msToEnd / 10, kShortestRefreshMs, kLongestRefreshMs);
  if (msToTrigger - delay < kQuietBeforeTriggerMs) return std::nullopt;
  return delay;
}

std::optional<QString> armingRefusal(const ItemData& item, const QString& amount, qint64 msToEnd) {
  if (!item.isAuction())
    return QStringLiteral(
        "Dieser Artikel ist keine Auktion (nur Sofort-Kaufen), auf ihn kann "
        "nicht geboten werden.");
  if (!item.endUtc || msToEnd <= 0) return QStringLiteral("Diese Auktion ist bereits beendet.");
  if (item.minimumPriceToBid) {
    const std::optional<int> order = compareDecimal(amount, item.minimumPriceToBid->value);
    if (order && *order < 0)
      return QStringLiteral(
                 "Das Höchstgebot liegt unter dem Mindestgebot von %1. Bitte "
                 "mindestens diesen Betrag eingeben.")
          .arg(germanMoney(*item.minimumPriceToBid));
  }
  return std::nullopt;
}

QString adultOnlyQuestion() {
  return QStringLiteral(
      "Dieser Artikel ist nur für Erwachsene. Bestätigen Sie, dass Sie "
      "volljährig sind und auf ihn bieten möchten?");
}

QString priceLine(const ItemData& item) {
  const std::optional<Money>& price = item.currentBidPrice ? item.currentBidPrice : item.price;
  if (!price) return {};
  const QString bids = item.bidCount == 1 ? QStringLiteral("1 Gebot")
                                          : QStringLiteral("%1 Gebote").arg(item.bidCount);
  return QStringLiteral("Aktuell ") + germanMoney(*price) + QStringLiteral(" (") + bids +
         QLatin1Char(')');
}

QString minimumBidLine(const ItemData& item) {
  if (!item.minimumPriceToBid) return {};
  return QStringLiteral("Mindestgebot ") + germanMoney(*item.minimumPriceToBid);
}

}  // namespace ebay::itemwatch
