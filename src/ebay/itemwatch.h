#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

#include "ebay/answers.h"

// Watching an eBay item from the window: how often its price and minimum bid are read again
// while a bid is armed, and which items and amounts can be armed at all. Times in ms.
namespace ebay::itemwatch {

// A keyset may make 5,000 Browse calls a day: the refresh reads a tenth of the time left
// again, never more often than every 30 s and at least every 30 min, so that one item costs
// a few dozen calls and the whole day's budget stays for taking items over.
inline constexpr qint64 kShortestRefreshMs = 30'000;
inline constexpr qint64 kLongestRefreshMs = 30 * 60'000;
// No refresh from this long before the trigger: the bid has the connection to itself.
inline constexpr qint64 kQuietBeforeTriggerMs = 60'000;

// When to read price and minimum bid again from now, msToTrigger before the trigger; nothing
// when no refresh comes any more before the bid.
std::optional<qint64> refreshDelayMs(qint64 msToTrigger, qint64 msToEnd);

// Why the item cannot be armed with `amount` (eBay's decimal string), in one message; nothing
// when it can. `msToEnd` from now to the auction's end.
std::optional<QString> armingRefusal(const ItemData& item, const QString& amount, qint64 msToEnd);

// The question before arming an item that is for adults only (userConsent.adultOnlyItem).
QString adultOnlyQuestion();

// What the window shows of the item: "Aktuell 12,50 EUR (3 Gebote)", "Mindestgebot 13,00 EUR".
QString priceLine(const ItemData& item);
QString minimumBidLine(const ItemData& item);

}  // namespace ebay::itemwatch
