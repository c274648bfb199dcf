#include "app/scramble.h"

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
// The key character for the i-th character (0-based); the key repeats beyond its end.
qint16 keyCode(const QString& key, qsizetype i) {
  if (key.isEmpty()) vberr::raise(vberr::kInvalidCall);
  return static_cast<qint16>(key[i % key.size()].unicode());
}

qint16 add16(qint16 a, qint16 b) {
  const int sum = int(a) + int(b);
  if (sum < -32768 || sum > 32767) vberr::raise(vberr::kOverflow);
  return static_cast<qint16>(sum);
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
    const qint16 sum = add16(static_cast<qint16>(text[i].unicode()), keyCode(key, i));
    // Hexadecimal of the 16-bit value, last three digits.
    const auto bits = static_cast<quint16>(sum);
    result += QStringLiteral("%1").arg(bits & 0xFFF, 3, 16, QChar('0')).toUpper();
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
    result += QChar(static_cast<char16_t>(diff < 0 ? diff + 65536 : diff));
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
