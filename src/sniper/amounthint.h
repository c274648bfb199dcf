#pragma once

#include <QString>

#include "app/regional.h"

// What the amount field says when Enter (or the button) could not arm with what it holds: the
// text that was not understood and the form that works, in one line. The amount is still read
// the one way the program reads it; the example only shows that form.
namespace amounthint {

// Empty when the maximum bid read from `typed` is one to bid with (not 0).
QString refusal(const QString& typed, float maxBid, const RegionalFormat& fmt);

// The amount the user most likely meant, for the example: the first run of digits in the text,
// where a "." or "," followed by one or two digits at its end is the decimal separator and
// every other one groups digits ("20.00" and "20 EUR" give 20, "1,234.50" gives 1234.5). 0 when
// the text has no digit.
double likelyMeant(const QString& typed);

}  // namespace amounthint
