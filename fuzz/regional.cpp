// The regional number and date readers on any text: they read a value or fail as a conversion
// does; a date read back from its own general form is the same date.
#include <cmath>

#include "app/dateserial.h"
#include "app/regional.h"
#include "app/vberror.h"
#include "fuzzcheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QString text = QString::fromUtf8(fuzz::bytes(data, size));
  for (const RegionalFormat& fmt : {RegionalFormat::german(), RegionalFormat::english()}) {
    if (const auto v = regional::parseNumber(text, fmt)) {
      fuzz::check(std::isfinite(*v), "a number read is finite");
      fuzz::check(regional::isNumeric(regional::formatDouble(*v, fmt), fmt),
                  "a number's text reads as a number again");
      regional::formatSingle(float(*v), fmt);
      regional::formatMoney(*v, fmt);
    }
    for (auto convert :
         {+[](const QString&t, const RegionalFormat&f) { regional::toInt32(t, f); },
          +[](const QString&t, const RegionalFormat&f) { regional::toInt16(t, f); },
          +[](const QString&t, const RegionalFormat&f) { regional::toSingle(t, f); }}) {
      try {
        convert(text, fmt);
      } catch (const VbError& e) {
        fuzz::check(e.number() == vberr::kTypeMismatch || e.number() == vberr::kOverflow,
                    "a conversion fails by type mismatch or overflow");
      }
    }
    // Today at the first day serial, in 2025 and on the last day the dates reach.
    for (const double today : {0.0, 46000.0, 2958465.0}) {
      const auto d = regional::parseDateTime(text, fmt, today);
      if (!d) continue;
      const QString general = regional::formatGeneralDate(*d, fmt);
      const auto again = regional::parseDateTime(general, fmt, today);
      fuzz::check(again.has_value() &&
                      dateserial::toLinearSeconds(*again) == dateserial::toLinearSeconds(*d),
                  "a date reads back from its general form");
    }
  }
  return 0;
}
