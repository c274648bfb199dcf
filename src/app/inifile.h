#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

// Reading a settings file line by line, beside QSettings. QSettings lets one stray character
// swallow the rest of a file (an unclosed '"' or a '\' at a line's end continue the value into
// the next lines, an unclosed "[" moves every later key into another section), and it writes
// what it read back at the next change. Read line by line, every key keeps its own line.
namespace inifile {

struct Entry {
  QString key;      // as QSettings names it: "Gebotsfalke+/user"; a key of [General] alone
  QByteArray line;  // the line it was read from, without its line end
};

// Every "key=value" line with the section it stands in. A "[section]" line starts a section;
// one without its closing bracket starts none (its keys stay in the section before). Blank
// lines, comments (";", "#") and lines without "=" are skipped.
QList<Entry> scan(const QByteArray& text);

// The numbers (from 1) of the lines that are none of the above: no "key=value", no section, no
// comment, not blank, or a "[" without its "]". Such a line may stand for a key that was lost.
QList<int> unreadableLines(const QByteArray& text);

// The keys of `text` that a reader seeing only `readable` (QSettings' keys of the same file)
// lost, in file order.
QStringList lostKeys(const QByteArray& text, const QStringList& readable);

// The value of one "key=value" line as QSettings reads that line on its own. A line whose value
// would run on into the next line (an unclosed quote, a '\' at its end) gives its text after
// "=" as it stands.
QVariant lineValue(const QByteArray& line);

}  // namespace inifile
