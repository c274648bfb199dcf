#pragma once

#include <QImage>
#include <QObject>
#include <map>

#include "platform/linux/dbusbus.h"
#include "platform/notifier.h"

// Notifications through org.freedesktop.Notifications on the session bus, with the program's
// icon both by name (its desktop entry's icon, for an installed copy) and as pixels (for any
// other). A click on the notification ("default" action) runs its callback.
class DbusNotifier : public QObject, public Notifier {
  Q_OBJECT

 public:
  // appName: the program's name; desktopId: its desktop entry's name without ".desktop", also
  // its icon's name; iconFile: the icon's picture (read when first needed).
  DbusNotifier(QString appName, QString desktopId, QString iconFile, LazyBus bus,
               QObject* parent = nullptr);

  void notify(const QString& title, const QString& text, std::function<void()> clicked) override;

 private slots:
  void onActionInvoked(uint id, const QString& action);
  void onClosed(uint id, uint reason);

 private:
  QString m_appName;
  QString m_desktopId;
  QString m_iconFile;
  QImage m_icon;
  LazyBus m_bus;
  bool m_listening = false;
  std::map<uint, std::function<void()>> m_clicks;  // shown notifications by their id
};
