#include "app/scramble.h"

#include "app/cp1252.h"
#include "app/vberror.h"

namespace scramble {
const QString& passwordKey() {
  // 87 printable characters between 0x21 and 0xFC, a few Latin-1 letters among them.
  static const QString key = QString::fromUtf16(
      u"Rk7#vQ9!mZ2$w\u00E4L5%tP8&nX3(hB6)yF1*cJ4+gU0,sD\u00F6"
      u"-oK9.eM2/aW5:iT8;qG\u00DF<uN1]xE9^pR\u00FC_fA2{kO5}r\u00F1");
  return key;
}
}  // namespace scramble

namespace {
// Stored files of this format hold Windows-1252 character codes ("€" is 128), whatever the
// platform's own text encoding is. Error 5 for a character the code page does not have.
int codeOf(QChar c) {
  const int code = cp1252::codeOf(c);
  if (code < 0) vberr::raise(vberr::kInvalidCall);
  return code;
}

// The key character for the i-th character (0-based); the key repeats beyond its end.
int keyCode(const QString& key, qsizetype i) {
  if (key.isEmpty()) vberr::raise(vberr::kInvalidCall);
  return codeOf(key[i % key.size()]);
}

int hexDigit(QChar c) {
  const char16_t u = c.unicode();
  if (u >= '0' && u <= '9') return u - '0';
  if (u >= 'A' && u <= 'F') return u - 'A' + 10;
  return 0;  // lower-case letters and anything else count as nothing
}
}  // namespace

QString cryptme(const QString& text, const QString& key) {
  QString result;
  result.reserve(text.size() * 3);
  for (qsizetype i = 0; i < text.size(); ++i) {
    // Both codes are at most 255, so the sum always fits the three digits.
    const int sum = codeOf(text[i]) + keyCode(key, i);
    result += QStringLiteral("%1").arg(sum, 3, 16, QChar('0')).toUpper();
  }
  return result;
}

QString decryptme(const QString& text, const QString& key) {
  QString result;
  for (qsizetype i = 0; i < text.size(); i += 3) {
    int v = 0;
    static const int kWeights[3] = {256, 16, 1};
    for (int k = 0; k < 3 && i + k < text.size(); ++k) v += hexDigit(text[i + k]) * kWeights[k];
    const int diff = v - keyCode(key, i / 3);
    if (diff >= 0 && diff <= 0xFF) {
      result += cp1252::decode(QByteArray(1, static_cast<char>(diff)));
    } else {
      // No code of the page: a damaged or foreign value, kept as its 16-bit code unit.
      result += QChar(static_cast<char16_t>(diff < 0 ? diff + 65536 : diff));
    }
  }
  return result;
}

#include "app/errortrap.h"

QString cryptme(AppContext& ctx, const QString& text, const QString& key) {
  QString result;
  trap(ctx, "cryptme", [&] { result = cryptme(text, key); });
  return result;
}

QString decryptme(AppContext& ctx, const QString& text, const QString& key) {
  QString result;
  trap(ctx, "decryptme", [&] { result = decryptme(text, key); });
  return result;
}
