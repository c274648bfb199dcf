#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QHash>
#include <QObject>
#include <QVariantMap>

#include "platform/groupbus.h"
#include "platform/linux/dbusbus.h"

// The program's windows on the session bus. Each process owns the name
// "org.example.GebotsfalkePlus.Fenster<pid>" and exports the object "/Fenster" with the
// interface "org.example.GebotsfalkePlus.Fenster": the properties Item, Title, End, Amount,
// Group, Limit and State, the method Record() (all of them as a{sv}) and the signal
// Changed(a{sv}), sent whenever the record changes.
class DbusGroupBus : public QObject, public GroupBus {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.example.GebotsfalkePlus.Fenster")
  Q_PROPERTY(QString Item READ item)
  Q_PROPERTY(QString Title READ title)
  Q_PROPERTY(qlonglong End READ end)
  Q_PROPERTY(QString Amount READ amount)
  Q_PROPERTY(QString Group READ group)
  Q_PROPERTY(int Limit READ limit)
  Q_PROPERTY(QString State READ state)

 public:
  static const QString kNamePrefix;
  static const QString kPath;
  static const QString kInterface;

  explicit DbusGroupBus(LazyBus bus, QObject* parent = nullptr);

  bool join() override;
  void announce(const WindowRecord& record) override;
  void listen(std::function<void(const QString& peer, const WindowRecord&)> changed,
              std::function<void(const QString& peer)> gone) override;

  // The windows on the session bus, each asked once (for "--liste"). Sets *busOk to whether
  // the bus could be reached.
  static QList<WindowRecord> list(bool* busOk);

  static QVariantMap toMap(const WindowRecord& r);
  static WindowRecord fromMap(const QVariantMap& m);

  QString item() const { return m_record.itemId; }
  QString title() const { return m_record.title; }
  qlonglong end() const { return m_record.endSeconds; }
  QString amount() const { return m_record.amount; }
  QString group() const { return m_record.group; }
  int limit() const { return m_record.limit; }
  QString state() const { return m_record.state; }

 public slots:
  Q_SCRIPTABLE QVariantMap Record() const;

 signals:
  Q_SCRIPTABLE void Changed(const QVariantMap& record);

 private slots:
  void onChanged(const QVariantMap& record, const QDBusMessage& message);
  void onNameOwnerChanged(const QString& name, const QString& oldOwner, const QString& newOwner);

 private:
  void heard(const QString& peer, const QVariantMap& record);

  LazyBus m_bus;
  bool m_joined = false;
  bool m_failed = false;
  WindowRecord m_record;
  qlonglong m_sequence = 0;
  // The last sequence number heard from each peer (unique bus name): an older answer that
  // comes after a newer signal is not taken.
  QHash<QString, qlonglong> m_heard;
  std::function<void(const QString&, const WindowRecord&)> m_changed;
  std::function<void(const QString&)> m_gone;
};
