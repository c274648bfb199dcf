#include <gtest/gtest.h>

#include "releasesigning.h"
#include "update/signedrelease.h"

using namespace signedrelease;

// The manifest as the vendor tool writes it, and everything else refused with its line.
TEST(SignedRelease, manifestLinesAreReadExactlyAndAnythingElseIsRefusedWithItsLine) {
  const std::string hash = vendorsign::sha256Hex("hello");
  const QByteArray h = QByteArray::fromStdString(hash);
  const QByteArray line = "a.txt 5 " + h + "\n";
  const QByteArray written = QByteArray::fromStdString(
      vendorsign::manifestLine("a b.txt", "hello") + vendorsign::manifestLine("\xC4nderung%", "x"));
  const struct {
    QByteArray manifest;
    int badLine;  // 0: read
  } cases[] = {
      {written, 0},
      {"a.txt 2147483647 " + h.toUpper() + "\n", 0},
      {"a.txt 5 " + h, 1},  // no LF at the end
      {"a.txt 5 " + h + "\r\n", 1},
      {"a.txt 5\n", 1},
      {"a b.txt 5 " + h + "\n", 1},
      {line + "a.txt  5 " + h + "\n", 2},
      {"a.txt +5 " + h + "\n", 1},
      {"a.txt 2147483648 " + h + "\n", 1},
      {"a.txt 5 " + h.left(63) + "\n", 1},
      {"a.txt 5 " + h.left(63) + "g\n", 1},
      {"a\xC4.txt 5 " + h + "\n", 1},
      {"a%4 5 " + h + "\n", 1},
      {"a%GG 5 " + h + "\n", 1},
      {line + "a%2Etxt 1 " + h + "\n", 2},  // the same name twice
      {line + "\n", 2},
      {"", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.manifest.toStdString());
    int badLine = 0;
    const auto entries = parseManifest(c.manifest, &badLine);
    EXPECT_EQ(entries.has_value(), c.badLine == 0);
    EXPECT_EQ(badLine, c.badLine);
  }
  const auto entries = parseManifest(written);
  ASSERT_TRUE(entries);
  EXPECT_EQ(entries->value(0).name, QStringLiteral("a b.txt"));
  EXPECT_EQ(entries->value(0).size, 5);
  EXPECT_EQ(entries->value(0).sha256, QByteArray::fromHex(h));
  EXPECT_EQ(entries->value(1).name, QStringLiteral("Änderung%"));
}

TEST(SignedRelease, onlyTheSignatureOfATrustedKeyOverTheExactManifestCounts) {
  const auto vendor = vendorsign::makeKeyPair();
  const auto other = vendorsign::makeKeyPair();
  const QByteArray manifest =
      "a.txt 5 " + QByteArray::fromStdString(vendorsign::sha256Hex("hello")) + "\n";
  const QByteArray signature = QByteArray::fromStdString(
      vendorsign::signatureFile(manifest.toStdString(), vendor.secretKey));
  const QList<QByteArray> trusted = trustedKeys(QByteArray::fromStdString(vendor.publicKey));
  EXPECT_TRUE(signatureValid(manifest, signature, trusted));
  EXPECT_TRUE(signatureValid(manifest, signature.trimmed() + "\r\n", trusted));
  EXPECT_FALSE(
      signatureValid(manifest + "b.txt 0 " + QByteArray(64, '0') + "\n", signature, trusted));
  EXPECT_FALSE(
      signatureValid(manifest, signature, trustedKeys(QByteArray::fromStdString(other.publicKey))));
  EXPECT_FALSE(signatureValid(manifest, signature, trustedKeys({})));  // the vendor's own key only
  EXPECT_FALSE(signatureValid(manifest, signature.left(40), trusted));
  EXPECT_FALSE(signatureValid(manifest, "", trusted));
}
