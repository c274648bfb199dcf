#pragma once

#include <QString>
#include <optional>

// Amounts for eBay's API: decimal strings ("1234.50"), read and compared digit by digit, never
// through a floating-point number.
namespace ebay {

// An amount of money as eBay's documents carry it.
struct Money {
  QString currency;  // ISO 4217, "EUR"
  QString value;     // decimal string, "1234.50"
  bool operator==(const Money&) const = default;
};

// The amount the user typed in German form as eBay's decimal string with two decimals:
// "1.234,50" is "1234.50", "12,5" is "12.50", "12" and "12,-" are "12.00". Blanks around it
// are allowed; thousands must be grouped by three. Nothing for a text that cannot be read
// that way exactly (more than two decimals, "12.50", a sign, letters, more than twelve
// digits before the comma).
std::optional<QString> decimalFromGerman(const QString& typed);

// Whether a text is one of eBay's decimal strings ("5", "12.5", "1234.50").
bool isDecimal(const QString& value);

// Compares two decimal strings exactly: negative, 0 or positive; nothing when either is none.
std::optional<int> compareDecimal(const QString& a, const QString& b);

// A decimal string in German form with two decimals and grouped thousands ("1.234,50"); the
// text unchanged when it is no decimal string.
QString germanFromDecimal(const QString& value);

// "12,50 EUR"
QString germanMoney(const Money& money);

}  // namespace ebay
