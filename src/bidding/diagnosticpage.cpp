#include "bidding/diagnosticpage.h"

#include <QList>
#include <QVarLengthArray>
#include <algorithm>

#include "app/cp1252.h"

namespace diagnosticpage {
namespace {
const QString kMask = QStringLiteral("***");

struct Attribute {
  QString name;          // lower case
  qsizetype valueStart;  // position of the value in the page (without quotes), -1 without one
  qsizetype valueLength;
  QString value;
};

bool isSpace(QChar c) {
  return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\r') ||
         c == QLatin1Char('\n') || c == QLatin1Char('\f');
}

// Reads the attributes of the tag whose name ends at `pos`, up to its closing ">" (which a
// quoted value may contain). Returns the position after the tag.
qsizetype readAttributes(const QString& page, qsizetype pos, QList<Attribute>& out) {
  const qsizetype n = page.size();
  while (pos < n) {
    while (pos < n && (isSpace(page[pos]) || page[pos] == QLatin1Char('/'))) ++pos;
    if (pos >= n || page[pos] == QLatin1Char('>')) return pos + 1;
    const qsizetype nameStart = pos;
    while (pos < n && !isSpace(page[pos]) && page[pos] != QLatin1Char('=') &&
           page[pos] != QLatin1Char('>') && page[pos] != QLatin1Char('/'))
      ++pos;
    Attribute a{page.mid(nameStart, pos - nameStart).toLower(), -1, 0, QString()};
    if (pos == nameStart) {  // a stray character
      ++pos;
      continue;
    }
    qsizetype p = pos;
    while (p < n && isSpace(page[p])) ++p;
    if (p < n && page[p] == QLatin1Char('=')) {
      ++p;
      while (p < n && isSpace(page[p])) ++p;
      if (p < n && (page[p] == QLatin1Char('"') || page[p] == QLatin1Char('\''))) {
        const QChar quote = page[p];
        const qsizetype end = page.indexOf(quote, p + 1);
        a.valueStart = p + 1;
        a.valueLength = (end < 0 ? n : end) - a.valueStart;
        pos = end < 0 ? n : end + 1;
      } else {
        a.valueStart = p;
        while (p < n && !isSpace(page[p]) && page[p] != QLatin1Char('>')) ++p;
        a.valueLength = p - a.valueStart;
        pos = p;
      }
      a.value = page.mid(a.valueStart, a.valueLength);
    }
    out.append(a);
  }
  return n;
}

// Masks the values of the password inputs, front to back.
QString maskPasswordInputs(const QString& page) {
  QString out;
  out.reserve(page.size());
  qsizetype copied = 0;
  qsizetype from = 0;
  for (;;) {
    const qsizetype tag = page.indexOf(QLatin1String("<input"), from, Qt::CaseInsensitive);
    if (tag < 0) break;
    QList<Attribute> attributes;
    const qsizetype after = readAttributes(page, tag + 6, attributes);
    bool password = false;
    for (const Attribute& a : attributes)
      if (a.name == QLatin1String("type") &&
          a.value.trimmed().compare(QLatin1String("password"), Qt::CaseInsensitive) == 0)
        password = true;
    if (password) {
      for (const Attribute& a : attributes) {
        if (a.name != QLatin1String("value") || a.valueLength == 0) continue;
        out += QStringView(page).mid(copied, a.valueStart - copied);
        out += kMask;
        copied = a.valueStart + a.valueLength;
      }
    }
    from = qMax(after, tag + 6);
  }
  out += QStringView(page).mid(copied);
  return out;
}

// How a page may carry the password: one character after the other, each written in any of
// the forms below, the forms mixed as a site's own escaping mixes them:
// - the character itself, as the page is read (Windows-1252);
// - its byte in Windows-1252, or its bytes in UTF-8, each byte as itself, as "%HH" or as "\xHH"
//   (hex digits in either case): URL encoding, C and JavaScript escapes, and UTF-8 read as
//   Windows-1252;
// - "+" for a blank (a form body);
// - a character reference: "&#228;", "&#xE4;" (any number of digits, either case, the ";" may be
//   left out) or a named one ("&auml;", "&amp;");
// - "\uHHHH" (JavaScript, JSON), and "\" before a punctuation character.
struct EchoForms {
  QChar c;
  QByteArray cp1252;  // empty for a character the code page lacks
  QByteArray utf8;
  QLatin1StringView entity;  // its name, empty without one
};

// Names of the character references of the Windows-1252 characters 0x80..0x9F (by their
// Unicode value) and of the ASCII characters HTML escapes; then those of 0xA0..0xFF in order.
const struct {
  char16_t c;
  const char* name;
} kHighNames[] = {{0x20AC, "euro"},   {0x201A, "sbquo"},  {0x0192, "fnof"},   {0x201E, "bdquo"},
                  {0x2026, "hellip"}, {0x2020, "dagger"}, {0x2021, "Dagger"}, {0x02C6, "circ"},
                  {0x2030, "permil"}, {0x0160, "Scaron"}, {0x2039, "lsaquo"}, {0x0152, "OElig"},
                  {0x017D, "Zcaron"}, {0x2018, "lsquo"},  {0x2019, "rsquo"},  {0x201C, "ldquo"},
                  {0x201D, "rdquo"},  {0x2022, "bull"},   {0x2013, "ndash"},  {0x2014, "mdash"},
                  {0x02DC, "tilde"},  {0x2122, "trade"},  {0x0161, "scaron"}, {0x203A, "rsaquo"},
                  {0x0153, "oelig"},  {0x017E, "zcaron"}, {0x0178, "Yuml"},   {'&', "amp"},
                  {'<', "lt"},        {'>', "gt"},        {'"', "quot"},      {'\'', "apos"}};
const char* const kLatin1Names =
    "nbsp iexcl cent pound curren yen brvbar sect uml copy ordf laquo not shy reg macr deg plusmn "
    "sup2 sup3 acute micro para middot cedil sup1 ordm raquo frac14 frac12 frac34 iquest Agrave "
    "Aacute Acirc Atilde Auml Aring AElig Ccedil Egrave Eacute Ecirc Euml Igrave Iacute Icirc Iuml "
    "ETH Ntilde Ograve Oacute Ocirc Otilde Ouml times Oslash Ugrave Uacute Ucirc Uuml Yacute THORN "
    "szlig agrave aacute acirc atilde auml aring aelig ccedil egrave eacute ecirc euml igrave "
    "iacute icirc iuml eth ntilde ograve oacute ocirc otilde ouml divide oslash ugrave uacute "
    "ucirc "
    "uuml yacute thorn yuml";

QLatin1StringView entityName(QChar c) {
  const char16_t u = c.unicode();
  for (const auto& n : kHighNames)
    if (n.c == u) return QLatin1StringView(n.name);
  if (u < 0xA0 || u > 0xFF) return {};
  const QLatin1StringView all(kLatin1Names);
  qsizetype start = 0;
  for (int i = 0xA0; i < u; ++i) start = all.indexOf(QLatin1Char(' '), start) + 1;
  const qsizetype end = all.indexOf(QLatin1Char(' '), start);
  return all.mid(start, (end < 0 ? all.size() : end) - start);
}

QList<EchoForms> echoFormsOf(const QString& password) {
  QList<EchoForms> out;
  for (const QChar c : password) {
    const int code = cp1252::codeOf(c);
    out.append({c, code < 0 ? QByteArray() : QByteArray(1, static_cast<char>(code)),
                QString(c).toUtf8(), entityName(c)});
  }
  return out;
}

int hexDigit(QChar c) {
  const char16_t u = c.unicode();
  if (u >= '0' && u <= '9') return u - '0';
  if (u >= 'a' && u <= 'f') return u - 'a' + 10;
  if (u >= 'A' && u <= 'F') return u - 'A' + 10;
  return -1;
}

// The value of the `count` hex digits at p, or -1.
int hexAt(QStringView page, qsizetype p, int count) {
  if (p + count > page.size()) return -1;
  int value = 0;
  for (int i = 0; i < count; ++i) {
    const int d = hexDigit(page[p + i]);
    if (d < 0) return -1;
    value = value * 16 + d;
  }
  return value;
}

using Ends = QVarLengthArray<qsizetype, 8>;

void addEnd(Ends& ends, qsizetype end) {
  if (!ends.contains(end)) ends.append(end);
}

// Where one byte written at p ends: as itself, "%HH" or "\xHH".
void byteEnds(QStringView page, qsizetype p, int byte, Ends& out) {
  if (p >= page.size()) return;
  if (cp1252::codeOf(page[p]) == byte) addEnd(out, p + 1);
  if (page[p] == QLatin1Char('%') && hexAt(page, p + 1, 2) == byte) addEnd(out, p + 3);
  if (page[p] == QLatin1Char('\\') && p + 1 < page.size() &&
      (page[p + 1] == QLatin1Char('x') || page[p + 1] == QLatin1Char('X')) &&
      hexAt(page, p + 2, 2) == byte)
    addEnd(out, p + 4);
}

void bytesEnds(QStringView page, qsizetype p, const QByteArray& bytes, Ends& out) {
  if (bytes.isEmpty()) return;
  Ends at{p};
  for (const char b : bytes) {
    Ends next;
    for (const qsizetype q : at) byteEnds(page, q, static_cast<unsigned char>(b), next);
    if (next.isEmpty()) return;
    at = next;
  }
  for (const qsizetype end : at) addEnd(out, end);
}

// A character reference at p ("&#...", "&#x...", "&name;") that stands for the character.
void referenceEnds(QStringView page, qsizetype p, const EchoForms& f, Ends& out) {
  const qsizetype n = page.size();
  if (p + 2 < n && page[p + 1] == QLatin1Char('#')) {
    const bool hex = page[p + 2] == QLatin1Char('x') || page[p + 2] == QLatin1Char('X');
    qsizetype q = p + (hex ? 3 : 2);
    const qsizetype digits = q;
    qint64 value = 0;
    for (; q < n; ++q) {
      const int d = hexDigit(page[q]);
      if (d < 0 || (!hex && d > 9)) break;
      value = std::min<qint64>(value * (hex ? 16 : 10) + d, 0x110000);
    }
    if (q == digits || value != f.c.unicode()) return;
    addEnd(out, q < n && page[q] == QLatin1Char(';') ? q + 1 : q);
    return;
  }
  const qsizetype len = f.entity.size();
  if (len > 0 && p + len + 1 < n && page.mid(p + 1, len) == f.entity &&
      page[p + len + 1] == QLatin1Char(';'))
    addEnd(out, p + len + 2);
}

// Every position where one way of writing the character that starts at p ends.
void charEnds(QStringView page, qsizetype p, const EchoForms& f, Ends& out) {
  if (p >= page.size()) return;
  const QChar at = page[p];
  if (at == f.c) addEnd(out, p + 1);
  bytesEnds(page, p, f.cp1252, out);
  if (f.utf8.size() > 1) bytesEnds(page, p, f.utf8, out);
  if (at == QLatin1Char('+') && f.c == QLatin1Char(' ')) addEnd(out, p + 1);
  if (at == QLatin1Char('&')) referenceEnds(page, p, f, out);
  if (at == QLatin1Char('\\') && p + 1 < page.size()) {
    if (page[p + 1] == QLatin1Char('u') && hexAt(page, p + 2, 4) == f.c.unicode())
      addEnd(out, p + 6);
    if (page[p + 1] == f.c && f.c.unicode() < 0x80 && !f.c.isLetterOrNumber()) addEnd(out, p + 2);
  }
}

// The end of the longest way of writing the whole password that starts at p, or -1.
qsizetype echoEnd(QStringView page, qsizetype p, const QList<EchoForms>& forms) {
  Ends at{p};
  for (const EchoForms& f : forms) {
    Ends next;
    for (const qsizetype q : at) charEnds(page, q, f, next);
    if (next.isEmpty()) return -1;
    at = next;
  }
  return *std::max_element(at.begin(), at.end());
}
}  // namespace

QString maskPasswords(const QString& page, const QString& password) {
  const QString masked = maskPasswordInputs(page);
  if (password.isEmpty()) return masked;
  const QList<EchoForms> forms = echoFormsOf(password);
  QString out;
  out.reserve(masked.size());
  qsizetype copied = 0;
  for (qsizetype p = 0; p < masked.size();) {
    const qsizetype end = echoEnd(masked, p, forms);
    if (end < 0) {
      ++p;
      continue;
    }
    out += QStringView(masked).mid(copied, p - copied);
    out += kMask;
    copied = p = end;
  }
  out += QStringView(masked).mid(copied);
  return out;
}

}  // namespace diagnosticpage
