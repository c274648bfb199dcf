#pragma once

#include <QString>
#include <functional>

class QDialog;
class QWidget;

// Message boxes and modal windows.
class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // The error box: OK only, no icon. It never holds up the code that reports the error.
  virtual void errorBox(const QString& text, const QString& title) = 0;
  // A message box with an OK button; returns when it is closed.
  virtual void messageBox(QWidget* owner, const QString& text, const QString& title) = 0;
  // As messageBox, with the information icon.
  virtual void infoBox(QWidget* owner, const QString& text, const QString& title) = 0;
  // A question with the buttons "Ja" and "Nein", shown without holding up the caller (the
  // countdown goes on meanwhile); `answered` runs once with true for "Ja", false for "Nein" or
  // a box closed otherwise, and not at all when the owner is gone first.
  virtual void ask(QWidget* owner, const QString& text, const QString& title,
                   std::function<void(bool yes)> answered) = 0;
  // Shows the dialog modally and returns its result when it is closed.
  virtual int exec(QDialog& dialog) = 0;
};
