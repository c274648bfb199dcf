#pragma once

#include <QObject>
#include <QString>
#include <QtGlobal>

// A control of a window found by its objectName, as a user's tools find it. A missing control
// ends the test run with its name.
template <class T>
T* control(const QObject& window, const char* name) {
  T* found = window.findChild<T*>(QString::fromLatin1(name));
  if (!found) qFatal("no control %s of type %s", name, T::staticMetaObject.className());
  return found;
}

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "app/widgets.h"

// The main window's controls, found by their objectNames.
struct MainWindowControls {
  explicit MainWindowControls(const QObject& w)
      : Label1(control<QLabel>(w, "Label1")),
        Lbl_update(control<LinkLabel>(w, "Lbl_update")),
        LabelZeit(control<QLabel>(w, "LabelZeit")),
        Label2(control<QLabel>(w, "Label2")),
        LblBieten(control<QLabel>(w, "LblBieten")),
        Txt_maxbid(control<QLineEdit>(w, "Txt_maxbid")),
        Command1(control<QPushButton>(w, "Command1")),
        Lbl_GoItem(control<LinkLabel>(w, "Lbl_GoItem")),
        Lbl_GetTime(control<LinkLabel>(w, "Lbl_GetTime")),
        Lbl_Optionen(control<LinkLabel>(w, "Lbl_Optionen")),
        Lbl_GetArtikel(control<LinkLabel>(w, "Lbl_GetArtikel")),
        Lbl_NoAuction(control<QLabel>(w, "Lbl_NoAuction")),
        Timer1(control<QTimer>(w, "Timer1")),
        TriggerTimer(control<QTimer>(w, "TriggerTimer")) {}
  QLabel* Label1;
  LinkLabel* Lbl_update;
  QLabel* LabelZeit;
  QLabel* Label2;
  QLabel* LblBieten;
  QLineEdit* Txt_maxbid;
  QPushButton* Command1;
  LinkLabel* Lbl_GoItem;
  LinkLabel* Lbl_GetTime;
  LinkLabel* Lbl_Optionen;
  LinkLabel* Lbl_GetArtikel;
  QLabel* Lbl_NoAuction;
  QTimer* Timer1;
  QTimer* TriggerTimer;  // evaluates the countdown right at the trigger second
};
