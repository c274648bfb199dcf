#include "update/signedrelease.h"

#include <sodium.h>

#include <QFile>
#include <QSet>
#include <QStringList>

#include "app/cp1252.h"
#include "update/vendorkey.h"

namespace signedrelease {

namespace {
// libsodium asks to be initialised before use; later calls only return.
bool sodiumReady() {
  return sodium_init() >= 0;
}

const unsigned char* bytes(const QByteArray& b) {
  return reinterpret_cast<const unsigned char*>(b.constData());
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "%XX" decoded; every other byte must be printable ASCII other than blank and "%".
std::optional<QByteArray> decodeName(const QByteArray& field) {
  QByteArray out;
  for (qsizetype i = 0; i < field.size(); ++i) {
    const char c = field[i];
    if (c == '%') {
      const int high = i + 1 < field.size() ? hexValue(field[i + 1]) : -1;
      const int low = i + 2 < field.size() ? hexValue(field[i + 2]) : -1;
      if (high < 0 || low < 0) return std::nullopt;
      out.append(static_cast<char>(high * 16 + low));
      i += 2;
    } else if (static_cast<unsigned char>(c) > 0x20 && static_cast<unsigned char>(c) < 0x7F) {
      out.append(c);
    } else {
      return std::nullopt;
    }
  }
  if (out.isEmpty()) return std::nullopt;
  return out;
}

std::optional<qint64> decodeSize(const QByteArray& field) {
  if (field.isEmpty() || field.size() > 10) return std::nullopt;
  qint64 size = 0;
  for (const char c : field) {
    if (c < '0' || c > '9') return std::nullopt;
    size = size * 10 + (c - '0');
  }
  if (size > kMaxFileBytes) return std::nullopt;
  return size;
}

std::optional<QByteArray> decodeHash(const QByteArray& field) {
  if (field.size() != 2 * crypto_hash_sha256_BYTES) return std::nullopt;
  for (const char c : field)
    if (hexValue(c) < 0) return std::nullopt;
  return QByteArray::fromHex(field);
}
}  // namespace

QByteArray builtInVendorKey() {
  return QByteArray::fromBase64(QByteArray(vendorkey::kBuiltIn));
}

QList<QByteArray> trustedKeys(const QByteArray& furtherKey) {
  QList<QByteArray> keys{builtInVendorKey()};
  if (!furtherKey.isEmpty()) keys.append(furtherKey);
  return keys;
}

bool signatureValid(const QByteArray& manifest, const QByteArray& signatureFile,
                    const QList<QByteArray>& keys) {
  if (!sodiumReady()) return false;
  const auto decoded = QByteArray::fromBase64Encoding(signatureFile.trimmed(),
                                                      QByteArray::AbortOnBase64DecodingErrors);
  if (!decoded || decoded.decoded.size() != crypto_sign_BYTES) return false;
  for (const QByteArray& key : keys) {
    if (key.size() != crypto_sign_PUBLICKEYBYTES) continue;
    if (crypto_sign_verify_detached(bytes(decoded.decoded), bytes(manifest),
                                    static_cast<unsigned long long>(manifest.size()),
                                    bytes(key)) == 0)
      return true;
  }
  return false;
}

std::optional<QList<int>> versionNumbers(const QString& version) {
  const QStringList pieces = version.split(QLatin1Char('.'));
  if (pieces.size() != 3) return std::nullopt;
  QList<int> numbers;
  for (const QString& piece : pieces) {
    if (piece.isEmpty() || piece.size() > 4) return std::nullopt;
    for (const QChar c : piece)
      if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
    numbers.append(piece.toInt());
  }
  return numbers;
}

std::optional<Manifest> parseManifest(const QByteArray& manifest, int* badLine) {
  Manifest out;
  QList<Entry>& entries = out.entries;
  QSet<QByteArray> seen;
  int line = 0;
  auto fault = [&]() -> std::optional<Manifest> {
    if (badLine) *badLine = line;
    return std::nullopt;
  };
  qsizetype start = 0;
  while (start < manifest.size()) {
    ++line;
    const qsizetype end = manifest.indexOf('\n', start);
    if (end < 0) return fault();  // every line, the last too, ends with LF
    const QList<QByteArray> fields = manifest.mid(start, end - start).split(' ');
    start = end + 1;
    if (line == 1) {  // the release's version comes first
      if (fields.size() != 2 || fields[0] != "VERSION" ||
          !versionNumbers(QString::fromLatin1(fields[1])))
        return fault();
      out.version = QString::fromLatin1(fields[1]);
      continue;
    }
    if (fields.size() != 3) return fault();
    const auto name = decodeName(fields[0]);
    const auto size = decodeSize(fields[1]);
    const auto hash = decodeHash(fields[2]);
    if (!name || !size || !hash || seen.contains(*name)) return fault();
    seen.insert(*name);
    entries.append(Entry{cp1252::decode(*name), *size, *hash});
  }
  if (entries.isEmpty()) {
    ++line;  // the line that should have named the first file (or the version)
    return fault();
  }
  return out;
}

QByteArray sha256(const QByteArray& data) {
  QByteArray digest(crypto_hash_sha256_BYTES, '\0');
  if (!sodiumReady()) return QByteArray();
  crypto_hash_sha256(reinterpret_cast<unsigned char*>(digest.data()), bytes(data),
                     static_cast<unsigned long long>(data.size()));
  return digest;
}

QByteArray fileSha256(const QString& path) {
  QFile file(path);
  if (!sodiumReady() || !file.open(QIODevice::ReadOnly)) return QByteArray();
  crypto_hash_sha256_state state;
  crypto_hash_sha256_init(&state);
  while (!file.atEnd()) {
    const QByteArray piece = file.read(64 * 1024);
    if (piece.isEmpty() && file.error() != QFileDevice::NoError) return QByteArray();
    crypto_hash_sha256_update(&state, bytes(piece), static_cast<unsigned long long>(piece.size()));
  }
  QByteArray digest(crypto_hash_sha256_BYTES, '\0');
  crypto_hash_sha256_final(&state, reinterpret_cast<unsigned char*>(digest.data()));
  return digest;
}

}  // namespace signedrelease
