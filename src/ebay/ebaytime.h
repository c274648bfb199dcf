#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

// eBay's times (UTC, "2026-12-06T18:15:30.250Z") and the program's clock (local wall time in
// milliseconds since 30.12.1899, Clock::localMs()).
namespace ebay {

// eBay's form with milliseconds, or without them; nothing for anything else.
std::optional<QDateTime> parseUtc(const QString& text);
// The same form, always with milliseconds.
QString formatUtc(const QDateTime& utc);

// An instant as the program's clock counts it, and back.
qint64 localMsOf(const QDateTime& instant);
QDateTime instantOfLocalMs(qint64 localMs);

}  // namespace ebay
