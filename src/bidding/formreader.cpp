#include "bidding/formreader.h"

#include <algorithm>

#include "app/appstate.h"
#include "app/cp1252.h"
#include "app/errortrap.h"
#include "app/vberror.h"

namespace {
// The longest target address taken: its closing quote must stand within this many characters
// of the value's start.
constexpr qsizetype kActionWindow = 900;

bool isAcceptedType(const QString& type) {
  return type == QLatin1String("hidden") || type == QLatin1String("text") ||
         type == QLatin1String("password");
}

char16_t lowerAscii(char16_t c) {
  return (c >= 'A' && c <= 'Z') ? char16_t(c + 32) : c;
}

bool isAscii(QStringView text) {
  for (const QChar c : text)
    if (c.unicode() >= 0x80) return false;
  return true;
}

// The first place at or after `from` where `needle` stands, ignoring case. For a needle of ASCII
// characters on a page of Windows-1252 characters (no other character folds onto an ASCII
// letter) this is the general case-insensitive search, without folding every character.
qsizetype findIgnoringCase(QStringView hay, QStringView needle, qsizetype from) {
  if (!isAscii(needle)) return hay.indexOf(needle, from, Qt::CaseInsensitive);
  const qsizetype m = needle.size();
  if (from < 0 || from + m > hay.size()) return -1;
  if (m == 0) return from;
  const char16_t lower = lowerAscii(needle[0].unicode());
  const char16_t upper = (lower >= 'a' && lower <= 'z') ? char16_t(lower - 32) : lower;
  const char16_t* h = hay.utf16();
  const char16_t* n = needle.utf16();
  for (qsizetype i = from, last = hay.size() - m; i <= last; ++i) {
    if (h[i] != lower && h[i] != upper) continue;
    qsizetype k = 1;
    while (k < m && lowerAscii(h[i + k]) == lowerAscii(n[k])) ++k;
    if (k == m) return i;
  }
  return -1;
}

// The first position in the ascending list at or after `from`, or -1.
qsizetype firstAtOrAfter(const QList<qsizetype>& positions, qsizetype from) {
  const auto it = std::lower_bound(positions.cbegin(), positions.cend(), from);
  return it == positions.cend() ? -1 : *it;
}
}  // namespace

void FormReader::clear() {
  m_formText.clear();
  m_action.clear();
  m_fields.clear();
  m_index.clear();
  m_quotes.clear();
  m_tagEnds.clear();
  m_searches.clear();
}

void FormReader::read(const QString& page, const QString& formName) {
  clear();
  const qsizetype namePos =
      findIgnoringCase(page, QString(QStringLiteral("name=\"") + formName), 0);
  if (namePos < 0) return;
  // The nearest "<form" at or before the name, written in lower case.
  const qsizetype start = page.lastIndexOf(QLatin1String("<form"), namePos, Qt::CaseSensitive);
  if (start < 0) vberr::raise(vberr::kInvalidCall);
  const qsizetype close = findIgnoringCase(page, u"</form>", start);
  if (close < 0) vberr::raise(vberr::kInvalidCall);
  m_formText = page.mid(start, close - start);

  for (qsizetype i = 0; i < m_formText.size(); ++i) {
    const QChar c = m_formText[i];
    if (c == QLatin1Char('"'))
      m_quotes.append(i);
    else if (c == QLatin1Char('>'))
      m_tagEnds.append(i);
  }

  const qsizetype action = findIgnoringCase(m_formText, u"action=\"", 0);
  if (action >= 0) {
    const qsizetype valueStart = action + 8;
    const qsizetype quote = firstAtOrAfter(m_quotes, valueStart);
    if (quote >= 0 && quote - valueStart < kActionWindow)
      m_action = m_formText.mid(valueStart, quote - valueStart);
  }

  // Every "<input " from the front to the back; a tag is visited once.
  for (qsizetype pos = 0; pos < m_formText.size() - 1;) {
    const qsizetype tag = findIgnoringCase(m_formText, u"<input ", pos);
    if (tag < 0) break;
    const qsizetype tagPos = tag + 1;
    if (isAcceptedType(attributeValue(QStringLiteral("Type"), tagPos))) {
      const QString name = attributeValue(QStringLiteral("Name"), tagPos);
      const QString key = name.toCaseFolded();
      // A field that browsers would not send, or a second one of the same name, is left out:
      // the first of the name keeps its value.
      if (!name.isEmpty() && !m_index.contains(key)) {
        m_index.insert(key, m_fields.size());
        m_fields.append({name, attributeValue(QStringLiteral("Value"), tagPos)});
      }
    }
    pos = tag + 1;
  }
}

qsizetype FormReader::nextOccurrence(const QString& attribute, qsizetype from) const {
  // Keyed by the name as given: the search itself ignores case, so this only decides which
  // searches are reused.
  Search& s = m_searches[attribute];
  const bool reusable = s.from >= 0 && from >= s.from && (s.found < 0 || from <= s.found);
  if (!reusable) {
    s.from = from;
    s.found = findIgnoringCase(m_formText, attribute, from);
  }
  return s.found;
}

QString FormReader::attributeValue(const QString& attribute, qsizetype tagPos) const {
  if (tagPos < 1) vberr::raise(vberr::kInvalidCall);
  const qsizetype tag = tagPos - 1;
  if (tag >= m_formText.size() || attribute.isEmpty()) return QString();
  const qsizetype at = nextOccurrence(attribute, tag);
  if (at < 0) return QString();
  const qsizetype end = firstAtOrAfter(m_tagEnds, tag);
  if (end < 0) return QString();  // an open tag to the form's end holds no value
  const qsizetype valueStart = at + attribute.size() + 2;
  if (valueStart >= end) return QString();
  const qsizetype quote = firstAtOrAfter(m_quotes, valueStart);
  if (quote < 0 || quote >= end) return QString();
  return m_formText.mid(valueStart, quote - valueStart);
}

qsizetype FormReader::findField(const QString& name) const {
  return m_index.value(name.toCaseFolded(), -1);
}

QString FormReader::fieldValue(const QString& name) const {
  const qsizetype i = findField(name);
  return i < 0 ? QString() : m_fields[i].value;
}

void FormReader::setFieldValue(const QString& name, const QString& value) {
  const qsizetype i = findField(name);
  if (i >= 0) m_fields[i].value = value;
}

QString FormReader::postData() const {
  QString out;
  for (const FormField& f : m_fields)
    out += f.name + QLatin1Char('=') + URLEncode(f.value) + QLatin1Char('&');
  return out;
}

QString HexByte(int code) {
  QString digits = QString::number(static_cast<uint>(code), 16).toUpper();
  if (digits.size() < 2) digits.prepend(QLatin1Char('0'));
  return digits;
}

QString URLEncode(const QString& value) {
  // One pass from the first character to the last, straight into the result: every "&amp;"
  // stands for "&" (matched left to right, so "&amp;amp;" is "&" followed by "amp;"), and each
  // character is encoded on its own, so the order of the walk does not change the result. At
  // most three characters come out of one; a value of a megabyte takes a few milliseconds.
  static constexpr char16_t kHex[] = u"0123456789ABCDEF";
  static constexpr char16_t kEntity[] = u"&amp;";
  const auto* in = reinterpret_cast<const char16_t*>(value.utf16());
  const qsizetype n = value.size();
  QString result(n * 3, Qt::Uninitialized);
  auto* const first = reinterpret_cast<char16_t*>(result.data());
  char16_t* out = first;
  for (qsizetype i = 0; i < n; ++i) {
    const char16_t u = in[i];
    const bool digitOrLetter =
        (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z');
    if (digitOrLetter || u == '.' || u == '_') {
      *out++ = u;
      continue;
    }
    if (u == ' ') {
      *out++ = u'+';
      continue;
    }
    if (u == '&' && n - i >= 5 && std::equal(kEntity + 1, kEntity + 5, in + i + 1)) i += 4;
    int code = cp1252::codeOf(QChar(u));
    // A character outside the code page (a surrogate pair counting as one) goes as "?".
    if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(in[i + 1])) ++i;
    if (code < 0) code = '?';
    // Two digits, as HexByte gives them for every code of the page.
    *out++ = u'%';
    *out++ = kHex[(code >> 4) & 0xF];
    *out++ = kHex[code & 0xF];
  }
  result.truncate(out - first);
  return result;
}

void readFormData(AppContext& ctx, const QString& formName) {
  AppState& st = ctx.state;
  trap(ctx, "readFormData", [&] { st.formReader.read(st.ResponseText, formName); });
}

QString GetFormAction(AppContext& ctx) {
  return ctx.state.formReader.formAction();
}

QString GetFieldValue(AppContext& ctx, const QString& name) {
  QString value;
  trap(ctx, "GetFieldValue", [&] { value = ctx.state.formReader.fieldValue(name); });
  return value;
}

void SetFieldValue(AppContext& ctx, const QString& name, const QString& value) {
  trap(ctx, "SetFieldValue", [&] { ctx.state.formReader.setFieldValue(name, value); });
}

QString GetPostData(AppContext& ctx) {
  return ctx.state.formReader.postData();
}

QString GetAttributeValue(AppContext& ctx, const QString& attribute, qsizetype tagPos) {
  return ctx.state.formReader.attributeValue(attribute, tagPos);
}
