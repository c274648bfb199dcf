#include <gtest/gtest.h>

#include <QFile>

#include "app/cp1252.h"
#include "app/scramble.h"
#include "app/settings.h"
#include "app/vberror.h"
#include "support/testenv.h"

TEST(Cryptme, writesThreeUpperCaseHexDigitsOfCharacterPlusKeyAndReadsThemBack) {
  const QString k = "!z";  // 0x21, 0x7A: "A" is 0x41 + 0x21, "B" 0x42 + 0x7A
  // Characters count with their Windows-1252 codes: "€" is 0x80, "Œ" 0x8C.
  const std::pair<QString, QString> cases[] = {
      {"A", "062"}, {"AB", "0620BC"},     {QString(QChar(0xFF)), "120"},
      {"", ""},     {"x€y", "0990FA09A"}, {"€Œ", "0A1106"}};
  for (const auto& [plain, stored] : cases) {
    EXPECT_EQ(cryptme(plain, k), stored) << stored.toStdString();
    EXPECT_EQ(decryptme(stored, k), plain) << stored.toStdString();
  }
  // A short last piece ("06": 0*256 + 6*16) and lower-case digits (which count as 0) read the
  // way they are written; a value below the key code wraps into the upper half of 16 bits.
  const std::pair<const char*, int> pieces[] = {
      {"06", 0x60 - 0x21}, {"06b", 0x60 - 0x21}, {"000", 65536 - 0x21}};
  for (const auto& [stored, code] : pieces)
    EXPECT_EQ(decryptme(stored, k), QString(QChar(code))) << stored;
}

// Passwords longer than the key: the key starts over, and the first 87 characters are stored
// exactly as before, so existing settings still read.
TEST(Cryptme, roundTripsEveryWindows1252PasswordUpToAndBeyondTheKeyLength) {
  const QString& key = scramble::passwordKey();
  QByteArray codes;
  for (int c = 0x20; c <= 0xFF; ++c) codes += static_cast<char>(c);
  const QString latin = cp1252::decode(codes);
  for (int len : {1, 86, 87, 88, 200}) {
    const QString pw = latin.left(len).leftJustified(len, QChar('x'));
    const QString stored = cryptme(pw, key);
    EXPECT_EQ(stored.size(), len * 3) << len;
    EXPECT_EQ(decryptme(stored, key), pw) << len;
  }
  const QString stored = cryptme(QString(90, QChar('a')), key);
  EXPECT_EQ(stored.mid(87 * 3, 3), stored.left(3));
  EXPECT_EQ(cryptme(QString(87, QChar('a')), key), stored.left(87 * 3));
}

// A character without a Windows-1252 code cannot be stored (the options dialog refuses it
// before); a stored value of an earlier version with a code beyond the page still reads.
TEST(Cryptme, aCharacterOutsideWindows1252IsRefused) {
  for (const char16_t c : {u'\u0142', u'\u20AD', u'\xD83D'}) {
    try {
      cryptme(QString("ab") + QChar(c), scramble::passwordKey());
      ADD_FAILURE() << "no error";
    } catch (const VbError& e) {
      EXPECT_EQ(e.number(), 5);
    }
  }
  EXPECT_EQ(decryptme("173", "!"), QString(QChar(0x152)));
}

// The scrambled password is kept where only its owner may read it.
TEST(SettingsStore, fileIsReadableByItsOwnerOnly) {
  TestEnv env;
  env.setSetting("user", "bieter");
  const QFile::Permissions p = QFile::permissions(env.settings->filePath(settingskeys::kApp));
  EXPECT_TRUE(p & QFile::ReadOwner);
  EXPECT_FALSE(p & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther));
}
