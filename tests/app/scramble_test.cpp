#include <gtest/gtest.h>

#include "app/scramble.h"
#include "app/vberror.h"

namespace {
const QString& key() {
  return scramble::passwordKey();
}
}  // namespace

TEST(PasswordKey, has87PrintableCharactersWithSomeLatin1Letters) {
  ASSERT_EQ(key().size(), 87);
  int latin1 = 0;
  for (QChar c : key()) {
    EXPECT_GE(c.unicode(), 0x21);
    EXPECT_LE(c.unicode(), 0xFC);
    if (c.unicode() > 0x7F) ++latin1;
  }
  EXPECT_GE(latin1, 3);
}

TEST(Cryptme, writesThreeUpperCaseHexDigitsOfCharacterPlusKey) {
  const QString k = QStringLiteral("!z");                                 // 0x21, 0x7A
  EXPECT_EQ(cryptme(QStringLiteral("A"), k), QStringLiteral("062"));      // 0x41 + 0x21
  EXPECT_EQ(cryptme(QStringLiteral("AB"), k), QStringLiteral("0620BC"));  // 0x42 + 0x7A
  EXPECT_EQ(cryptme(QStringLiteral("\u00FF"), k), QStringLiteral("120"));
  // Sums above 0xFFF keep their last three digits.
  EXPECT_EQ(cryptme(QString(QChar(0x1000)), k), QStringLiteral("021"));
  EXPECT_EQ(cryptme(QString(), k), QString());
}

TEST(Cryptme, roundTripsEveryLatin1PasswordUpToAndBeyondTheKeyLength) {
  QString latin;
  for (int c = 0x20; c <= 0xFF; ++c) latin += QChar(c);
  for (int len : {1, 2, 86, 87, 88, 200}) {
    const QString pw = latin.left(len).leftJustified(len, QChar('x'));
    const QString stored = cryptme(pw, key());
    EXPECT_EQ(stored.size(), len * 3);
    EXPECT_EQ(decryptme(stored, key()), pw) << len;
  }
}

TEST(Cryptme, beyondTheKeyLengthTheKeyStartsOver) {
  const QString pw(90, QChar('a'));
  const QString stored = cryptme(pw, key());
  EXPECT_EQ(stored.mid(87 * 3, 3), stored.left(3));
  // The first 87 characters are stored exactly as before, so existing settings still read.
  EXPECT_EQ(cryptme(pw.left(87), key()), stored.left(87 * 3));
}

TEST(Cryptme, sumOutsideSixteenBitsIsAnOverflow) {
  try {
    cryptme(QString(QChar(0x7FFF)), key());
    FAIL() << "no error";
  } catch (const VbError& e) {
    EXPECT_EQ(e.number(), 6);
  }
}

TEST(Decryptme, readsShortAndLowerCasePiecesTheWayTheyAreWritten) {
  const QString k = QStringLiteral("!!");
  // "06" is a short last piece: 0*256 + 6*16 = 0x60, minus 0x21.
  EXPECT_EQ(decryptme(QStringLiteral("06"), k), QString(QChar(0x60 - 0x21)));
  // Lower-case hex digits count as 0: "06b" reads as 0x060.
  EXPECT_EQ(decryptme(QStringLiteral("06b"), k), QString(QChar(0x60 - 0x21)));
  // A value below the key code wraps into the upper half of the 16-bit range.
  EXPECT_EQ(decryptme(QStringLiteral("000"), k), QString(QChar(65536 - 0x21)));
  EXPECT_EQ(decryptme(QString(), k), QString());
}
