#include "bidding/diagnosticpage.h"

#include <QList>
#include <QStringList>
#include <algorithm>

#include "bidding/formreader.h"

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
}  // namespace

QString maskPasswords(const QString& page, const QString& password) {
  QString masked = maskPasswordInputs(page);
  if (password.isEmpty()) return masked;
  // The longer forms first, so that no part of one is left behind by a shorter one.
  QStringList forms{password, password.toHtmlEscaped(), URLEncode(password)};
  forms.removeDuplicates();
  std::sort(forms.begin(), forms.end(),
            [](const QString& a, const QString& b) { return a.size() > b.size(); });
  for (const QString& form : forms) masked.replace(form, kMask);
  return masked;
}

}  // namespace diagnosticpage
