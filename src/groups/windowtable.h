#pragma once

#include <QString>

#include "platform/groupbus.h"

// "gebotsfalkeplus --liste": one line per running window, the fields separated by TAB: item
// number, title, end ("dd.MM.yyyy HH:mm:ss", empty without an item), maximum bid, group, and
// what the window is at ("scharf", "geboten", "gewonnen", "nicht gewonnen", "nicht scharf").
namespace windowtable {

QString line(const WindowRecord& record);

}  // namespace windowtable
