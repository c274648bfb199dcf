#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QObject>
#include <QPushButton>
#include <QString>
#include <QTimer>
#include <QtGlobal>

#include "app/widgets.h"

// A control of a window found by its objectName, as a user's tools find it. A missing control
// ends the test run with its name.
template <class T>
T* control(const QObject& window, const char* name) {
  T* found = window.findChild<T*>(QString::fromLatin1(name));
  if (!found) qFatal("no control %s of type %s", name, T::staticMetaObject.className());
  return found;
}

// The main window's controls that its tests handle, found by their objectNames.
struct MainWindowControls {
  explicit MainWindowControls(const QObject& window) : w(window) {}
  const QObject& w;
  LinkLabel* Lbl_update = control<LinkLabel>(w, "Lbl_update");
  QLabel* LabelZeit = control<QLabel>(w, "LabelZeit");
  QLabel* Label2 = control<QLabel>(w, "Label2");
  QLabel* LblBieten = control<QLabel>(w, "LblBieten");
  QLineEdit* Txt_maxbid = control<QLineEdit>(w, "Txt_maxbid");
  QPushButton* Command1 = control<QPushButton>(w, "Command1");
  LinkLabel* Lbl_GoItem = control<LinkLabel>(w, "Lbl_GoItem");
  LinkLabel* Lbl_GetTime = control<LinkLabel>(w, "Lbl_GetTime");
  LinkLabel* Lbl_Optionen = control<LinkLabel>(w, "Lbl_Optionen");
  LinkLabel* Lbl_GetArtikel = control<LinkLabel>(w, "Lbl_GetArtikel");
  QTimer* Timer1 = control<QTimer>(w, "Timer1");
  QTimer* TriggerTimer = control<QTimer>(w, "TriggerTimer");  // evaluates at the trigger second
};
