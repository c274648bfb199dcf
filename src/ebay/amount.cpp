#include "ebay/amount.h"

#include <QRegularExpression>

namespace ebay {
namespace {
const int kMaxWholeDigits = 12;

struct Parts {
  QString whole;     // without leading zeros ("" for zero)
  QString fraction;  // as many digits as given
};

std::optional<Parts> split(const QString& value) {
  static const QRegularExpression form(QStringLiteral("^([0-9]+)(?:\\.([0-9]+))?$"));
  const auto m = form.match(value);
  if (!m.hasMatch()) return std::nullopt;
  Parts p{m.captured(1), m.captured(2)};
  while (p.whole.startsWith(QLatin1Char('0'))) p.whole.remove(0, 1);
  return p;
}
}  // namespace

std::optional<QString> decimalFromGerman(const QString& typed) {
  // Whole part: plain digits, or groups of three after a first group of one to three digits;
  // then a comma with one or two decimals, or ",-".
  static const QRegularExpression form(
      QStringLiteral("^([0-9]+|[0-9]{1,3}(?:\\.[0-9]{3})+)(?:,([0-9]{1,2}|-))?$"));
  const auto m = form.match(typed.trimmed());
  if (!m.hasMatch()) return std::nullopt;
  QString whole = m.captured(1).remove(QLatin1Char('.'));
  while (whole.size() > 1 && whole.startsWith(QLatin1Char('0'))) whole.remove(0, 1);
  if (whole.size() > kMaxWholeDigits) return std::nullopt;
  QString fraction = m.captured(2);
  if (fraction == QLatin1String("-")) fraction.clear();
  return whole + QLatin1Char('.') + fraction.leftJustified(2, QLatin1Char('0'));
}

bool isDecimal(const QString& value) {
  return split(value).has_value();
}

std::optional<int> compareDecimal(const QString& a, const QString& b) {
  auto pa = split(a), pb = split(b);
  if (!pa || !pb) return std::nullopt;
  if (pa->whole.size() != pb->whole.size()) return pa->whole.size() < pb->whole.size() ? -1 : 1;
  if (const int c = pa->whole.compare(pb->whole)) return c < 0 ? -1 : 1;
  const qsizetype n = std::max(pa->fraction.size(), pb->fraction.size());
  const int c = pa->fraction.leftJustified(n, QLatin1Char('0'))
                    .compare(pb->fraction.leftJustified(n, QLatin1Char('0')));
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}

QString germanFromDecimal(const QString& value) {
  const auto p = split(value);
  if (!p) return value;
  QString whole = p->whole.isEmpty() ? QStringLiteral("0") : p->whole;
  for (qsizetype i = whole.size() - 3; i > 0; i -= 3) whole.insert(i, QLatin1Char('.'));
  return whole + QLatin1Char(',') + p->fraction.leftJustified(2, QLatin1Char('0'));
}

QString germanMoney(const Money& money) {
  return germanFromDecimal(money.value) + QLatin1Char(' ') + money.currency;
}

}  // namespace ebay
