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
  text.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
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
  const QStringList pieces = {"a",
                              "Z",
                              "0",
                              "9",
                              ".",
                              "_",
                              " ",
                              "&",
                              "amp;",
                              "&amp;",
                              "&AMP;",
                              "+",
                              "%",
                              "=",
                              "-",
                              "~",
                              QString::fromUtf8("ä"),
                              QString::fromUtf8("€"),
                              QString::fromUtf8("中"),
                              QString::fromUtf8("😀"),
                              QString(QChar(0xD83D)),
                              QString(QChar(0xDE00)),
                              QString(QChar(0)),
                              QString(QChar(0x81)),
                              QString(QChar(0xFF)),
                              "\r\n"};
  std::mt19937 random(7);
  for (int n = 0; n < 3000; ++n) {
    QString value;
    for (int k = int(random() % 30); k > 0; --k) value += pieces[random() % pieces.size()];
    ASSERT_EQ(URLEncode(value), byTheRule(value)) << value.toStdString();
  }
}
