#include "groups/windowtable.h"

#include "app/dateserial.h"
#include "groups/grouprule.h"

namespace windowtable {
namespace {
// A field must not break the line or the columns.
QString field(QString text) {
  for (QChar& c : text)
    if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
      c = QLatin1Char(' ');
  return text;
}
}  // namespace

QString line(const WindowRecord& r) {
  QString end;
  if (r.endSeconds != 0) {
    const dateserial::Parts p = dateserial::toParts(dateserial::fromLinearSeconds(r.endSeconds));
    end = QString::asprintf("%02d.%02d.%04d %02d:%02d:%02d", p.day, p.month, p.year, p.hour,
                            p.minute, p.second);
  }
  const QChar tab('\t');
  return field(r.itemId) + tab + field(r.title) + tab + end + tab + field(r.amount) + tab +
         field(r.group) + tab + grouprule::stateText(grouprule::stateFromName(r.state));
}

}  // namespace windowtable
