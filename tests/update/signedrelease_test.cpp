#include <gtest/gtest.h>

#include "releasesigning.h"
#include "update/signedrelease.h"

using namespace signedrelease;

// The manifest as the vendor tool writes it, and everything else refused with its line.
TEST(SignedRelease, manifestLinesAreReadExactlyAndAnythingElseIsRefusedWithItsLine) {
  const std::string hash = vendorsign::sha256Hex("hello");
  const QByteArray h = QByteArray::fromStdString(hash);
  const QByteArray v = "VERSION 1.3.7\n";
  const QByteArray line = "a.txt 5 " + h + "\n";
  const QByteArray written = QByteArray::fromStdString(
      vendorsign::manifestVersionLine("1.03.0007") + vendorsign::manifestLine("a b.txt", "hello") +
      vendorsign::manifestLine("\xC4nderung%", "x"));
  const struct {
    QByteArray manifest;
    int badLine;  // 0: read
  } cases[] = {
      {written, 0},
      {v + "a.txt 2147483647 " + h.toUpper() + "\n", 0},
      {line, 1},  // no version: signed before the version was
      {"VERSION 1.3\n" + line, 1},
      {"VERSION 1.3.7.1\n" + line, 1},
      {"VERSION 1.3.00007\n" + line, 1},
      {"version 1.3.7\n" + line, 1},
      {v + "a.txt 5 " + h, 2},  // no LF at the end
      {v + "a.txt 5 " + h + "\r\n", 2},
      {v + "a.txt 5\n", 2},
      {v + "a b.txt 5 " + h + "\n", 2},
      {v + line + "a.txt  5 " + h + "\n", 3},
      {v + "a.txt +5 " + h + "\n", 2},
      {v + "a.txt 2147483648 " + h + "\n", 2},
      {v + "a.txt 5 " + h.left(63) + "\n", 2},
      {v + "a.txt 5 " + h.left(63) + "g\n", 2},
      {v + "a\xC4.txt 5 " + h + "\n", 2},
      {v + "a%4 5 " + h + "\n", 2},
      {v + "a%GG 5 " + h + "\n", 2},
      {v + line + "a%2Etxt 1 " + h + "\n", 3},  // the same name twice
      {v + line + "\n", 3},
      {v + line + v, 3},
      {v, 2},
      {"", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.manifest.toStdString());
    int badLine = 0;
    const auto manifest = parseManifest(c.manifest, &badLine);
    EXPECT_EQ(manifest.has_value(), c.badLine == 0);
    EXPECT_EQ(badLine, c.badLine);
  }
  const auto manifest = parseManifest(written);
  ASSERT_TRUE(manifest);
  EXPECT_EQ(manifest->version, QStringLiteral("1.03.0007"));
  const QList<Entry>& entries = manifest->entries;
  EXPECT_EQ(entries.value(0).name, QStringLiteral("a b.txt"));
  EXPECT_EQ(entries.value(0).size, 5);
  EXPECT_EQ(entries.value(0).sha256, QByteArray::fromHex(h));
  EXPECT_EQ(entries.value(1).name, QStringLiteral("Änderung%"));
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
