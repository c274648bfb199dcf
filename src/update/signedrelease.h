#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// Signed updates. Beside the file list the vendor publishes a manifest that gives every listed
// name its size and SHA-256, and an Ed25519 signature over the manifest's bytes. The program
// takes an update only when the signature is one of a key it trusts and every file matches its
// line. The vendor tool (tools/vendorsign) writes both; README "Signed updates" has the format.
namespace signedrelease {

// The longest file list, manifest and signature file the program takes from the server.
inline constexpr qint64 kMaxListBytes = qint64{4} << 20;
inline constexpr qint64 kMaxManifestBytes = qint64{4} << 20;
inline constexpr qint64 kMaxSignatureBytes = 1024;
// The largest file a manifest may announce (the size is a 32-bit value in the program).
inline constexpr qint64 kMaxFileBytes = 0x7FFFFFFF;

// One line of the manifest.
struct Entry {
  QString name;       // the listed name, decoded from Windows-1252 as the file list is
  qint64 size = 0;    // bytes
  QByteArray sha256;  // 32 bytes
};

// The vendor's public key built into the program, and the keys trusted for an update: the
// built-in one and, when endpoints.ini names one, that further key (32 raw bytes each).
QByteArray builtInVendorKey();
QList<QByteArray> trustedKeys(const QByteArray& furtherKey);

// Whether manifest.sig's body (the signature in base64, surrounding blanks and line ends
// allowed) is a valid Ed25519 signature of the manifest's bytes by one of the keys.
bool signatureValid(const QByteArray& manifest, const QByteArray& signatureFile,
                    const QList<QByteArray>& keys);

// The manifest: the version of the release, signed with its files, and one entry per file.
struct Manifest {
  QString version;  // three numbers joined by "." ("1.3.7", "1.03.0007")
  QList<Entry> entries;
};

// Reads the manifest: the line "VERSION V" (V: three numbers of up to four digits joined by
// "."), then one line per name, "NAME SIZE SHA256", every line ended by LF; NAME with "%XX" for
// every byte that is not a printable ASCII character and for blank and "%"; SIZE decimal,
// 0 to kMaxFileBytes; SHA256 64 hex digits. Nothing else is allowed, no empty line, no name
// twice, at least one name. On a fault: nullopt, and the first faulty line's number in *badLine.
std::optional<Manifest> parseManifest(const QByteArray& manifest, int* badLine = nullptr);

// The three numbers of a version text ("1.03.0007": 1, 3, 7), none when it is not three
// numbers of up to four digits joined by ".".
std::optional<QList<int>> versionNumbers(const QString& version);

QByteArray sha256(const QByteArray& bytes);
// The SHA-256 of a file's content; empty when it cannot be read.
QByteArray fileSha256(const QString& path);

}  // namespace signedrelease
