#pragma once

#include <QString>
#include <functional>

// Desktop notifications: a message outside the program's windows, where the user looks.
class Notifier {
 public:
  virtual ~Notifier() = default;
  // Shows a notification with the program's icon: a title and lines of text. `clicked` runs
  // when the user clicks it. Without a notification service nothing happens.
  virtual void notify(const QString& title, const QString& text, std::function<void()> clicked) = 0;
};
