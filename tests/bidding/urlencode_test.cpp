// The URL encoder writes straight into its result in one pass; the rule written out plainly
// (replace the entities, then every character from the last to the first) must give the same
// text for any value.
#include <gtest/gtest.h>

#include <random>

#include "app/cp1252.h"
#include "bidding/formreader.h"
#include "printers.h"

namespace {
QString byTheRule(const QString& value) {
  QString text = value;
  text.replace("&amp;", "&");
  QString out;
  for (qsizetype i = text.size() - 1; i >= 0; --i) {
    const QChar c = text[i];
    if (c.unicode() < 128 && (c.isLetterOrNumber() || c == '.' || c == '_')) {
      out.prepend(c);
    } else if (c == ' ') {
      out.prepend(QChar('+'));
    } else {
      if (c.isLowSurrogate() && i > 0 && text[i - 1].isHighSurrogate()) --i;
      const int code = cp1252::codeOf(c);
      out.prepend(QChar('%') + HexByte(code < 0 ? '?' : code));
    }
  }
  return out;
}
}  // namespace

TEST(URLEncode, agreesWithThePlainRuleOnAnyText) {
  QStringList pieces =
      QString("a|Z|0|9|.|_| |&|amp;|&amp;|&AMP;|+|%|=|-|~|ä|€|中|😀|\r\n").split('|');
  for (const char16_t lone : {0xD83D, 0xDE00, 0, 0x81, 0xFF}) pieces.append(QString(QChar(lone)));
  std::mt19937 random(7);
  for (int n = 0; n < 3000; ++n) {
    QString value;
    for (int k = int(random() % 30); k > 0; --k) value += pieces[random() % pieces.size()];
    ASSERT_EQ(URLEncode(value), byTheRule(value)) << value;
  }
}
