#pragma once

#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>

#include "app/regional.h"

// The rules of the options dialog that need no window.
namespace optionrules {

// The values the dialog edits, as its controls hold them.
struct Values {
  qint16 msgonsync = 0;
  qint16 synconstart = 0;
  qint16 warnton = 0;
  qint16 saveuser = 0;
  QString user;
  QString pass;  // plain text
  QString sectobid;
};

// The seconds before the end: a number in the regional form from 1 to 300 (fractions allowed).
bool secondsValid(const QString& sectobid, const RegionalFormat& fmt);

// One line (ended by CR LF) per invalid value. The seconds are always checked, because the
// countdown cannot run with anything else, and so is a password character that cannot be
// stored; name and password must not be empty while the agent is armed.
QStringList faults(const Values& v, bool armed, const RegionalFormat& fmt);

// "Das Formular enthält ungültige Werte:" CR LF CR LF and the fault lines.
QString faultMessage(const QStringList& faults);

// Where the dialog opens: 500 twips left of and 1800 twips above the cursor, in pixels.
QPoint cursorRelativePosition(QPoint cursorPixels, double twipsPerPixelX, double twipsPerPixelY);

}  // namespace optionrules
