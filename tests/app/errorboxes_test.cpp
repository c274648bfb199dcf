#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>

#include "platform/linux/desktop.h"

namespace {
// The texts of the message boxes on screen, sorted.
QStringList openBoxes() {
  QStringList texts;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) texts << box->text();
  texts.sort();
  return texts;
}

// Closes the boxes with the text (all for a null text). They are deleted only when the event
// loop gets to it, which a wait of the program's own may put off.
void closeBoxes(const QString& text) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* box = qobject_cast<QMessageBox*>(w); box && (text.isNull() || box->text() == text))
      box->close();
}
}  // namespace

// The desktop's own error boxes: a failure that repeats (every second of the countdown) raises
// the box already open instead of piling up another; a closed box (even one not yet deleted),
// or another text, opens one.
TEST(QtDialogs, anOpenErrorBoxWithTheSameTextIsReusedNotPiledUp) {
  QtDialogs dialogs;
  for (const char* text : {"Fehler A", "Fehler A", "Fehler B"})
    dialogs.errorBox(text, "GebotsfalkePlus");
  EXPECT_EQ(openBoxes(), QStringList({"Fehler A", "Fehler B"}));
  closeBoxes("Fehler A");
  EXPECT_EQ(openBoxes(), QStringList({"Fehler B"}));
  dialogs.errorBox("Fehler A", "GebotsfalkePlus");
  EXPECT_EQ(openBoxes(), QStringList({"Fehler A", "Fehler B"}));
  closeBoxes(QString());
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
