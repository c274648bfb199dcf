#include "platform/linux/dbusgroupbus.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusReply>
#include <QFileInfo>

const QString DbusGroupBus::kNamePrefix = QStringLiteral("org.example.GebotsfalkePlus.Fenster");
const QString DbusGroupBus::kPath = QStringLiteral("/Fenster");
const QString DbusGroupBus::kInterface = QStringLiteral("org.example.GebotsfalkePlus.Fenster");

namespace {
const QString kSeq = QStringLiteral("seq");

// Whether the session has a bus: its address is set, or the user's bus socket is there. The
// program never starts one (libdbus would, through X11, when asked without either).
bool sessionBusKnown() {
  if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) return true;
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}
}  // namespace

DbusGroupBus::DbusGroupBus(LazyBus bus, QObject* parent) : QObject(parent), m_bus(std::move(bus)) {
  m_record.state = QStringLiteral("none");
}

bool DbusGroupBus::join() {
  if (m_joined || m_failed) return m_joined;
  if (!sessionBusKnown()) {
    m_failed = true;
    return false;
  }
  QDBusConnection& bus = m_bus.get();
  m_joined = bus.isConnected() &&
             bus.registerObject(kPath, this,
                                QDBusConnection::ExportScriptableSlots |
                                    QDBusConnection::ExportScriptableSignals |
                                    QDBusConnection::ExportAllProperties) &&
             bus.registerService(kNamePrefix + QString::number(QCoreApplication::applicationPid()));
  m_failed = !m_joined;
  return m_joined;
}

void DbusGroupBus::announce(const WindowRecord& record) {
  m_record = record;
  ++m_sequence;
  if (m_joined) emit Changed(Record());
}

QVariantMap DbusGroupBus::Record() const {
  QVariantMap m = toMap(m_record);
  m.insert(kSeq, m_sequence);
  return m;
}

void DbusGroupBus::listen(std::function<void(const QString&, const WindowRecord&)> changed,
                          std::function<void(const QString&)> gone) {
  if (!join()) return;
  m_changed = std::move(changed);
  m_gone = std::move(gone);
  QDBusConnection& bus = m_bus.get();
  bus.connect(QString(), kPath, kInterface, QStringLiteral("Changed"), this,
              SLOT(onChanged(QVariantMap, QDBusMessage)));
  bus.connect(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
              QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameOwnerChanged"), this,
              SLOT(onNameOwnerChanged(QString, QString, QString)));
  // The windows that were there before this one: each asked once, answers taken as they come.
  auto* names =
      new QDBusPendingCallWatcher(bus.interface()->asyncCall(QStringLiteral("ListNames")), this);
  connect(names, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
    w->deleteLater();
    const QDBusPendingReply<QStringList> reply = *w;
    if (reply.isError()) return;
    QDBusConnection& bus = m_bus.get();
    for (const QString& name : reply.value()) {
      if (!name.startsWith(kNamePrefix)) continue;
      const QDBusMessage call =
          QDBusMessage::createMethodCall(name, kPath, kInterface, QStringLiteral("Record"));
      auto* ask = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
      connect(ask, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* a) {
        a->deleteLater();
        const QDBusPendingReply<QVariantMap> record = *a;
        if (!record.isError()) heard(record.reply().service(), record.value());
      });
    }
  });
}

void DbusGroupBus::onChanged(const QVariantMap& record, const QDBusMessage& message) {
  heard(message.service(), record);
}

void DbusGroupBus::heard(const QString& peer, const QVariantMap& record) {
  if (peer.isEmpty() || peer == m_bus.get().baseService() || !m_changed) return;
  const qlonglong seq = record.value(kSeq).toLongLong();
  const auto it = m_heard.constFind(peer);
  if (it != m_heard.constEnd() && *it >= seq) return;
  m_heard.insert(peer, seq);
  m_changed(peer, fromMap(record));
}

void DbusGroupBus::onNameOwnerChanged(const QString& name, const QString&,
                                      const QString& newOwner) {
  // A process that leaves the bus loses its unique name ("":1.42") last of all.
  if (!newOwner.isEmpty() || !m_heard.remove(name)) return;
  if (m_gone) m_gone(name);
}

QVariantMap DbusGroupBus::toMap(const WindowRecord& r) {
  return {{QStringLiteral("item"), r.itemId},    {QStringLiteral("title"), r.title},
          {QStringLiteral("end"), r.endSeconds}, {QStringLiteral("amount"), r.amount},
          {QStringLiteral("group"), r.group},    {QStringLiteral("limit"), r.limit},
          {QStringLiteral("state"), r.state},    {QStringLiteral("wonItem"), r.wonItem}};
}

WindowRecord DbusGroupBus::fromMap(const QVariantMap& m) {
  WindowRecord r;
  r.itemId = m.value(QStringLiteral("item")).toString();
  r.title = m.value(QStringLiteral("title")).toString();
  r.endSeconds = m.value(QStringLiteral("end")).toLongLong();
  r.amount = m.value(QStringLiteral("amount")).toString();
  r.group = m.value(QStringLiteral("group")).toString();
  r.limit = m.value(QStringLiteral("limit"), 1).toInt();
  r.state = m.value(QStringLiteral("state")).toString();
  r.wonItem = m.value(QStringLiteral("wonItem")).toString();
  return r;
}

QList<WindowRecord> DbusGroupBus::list(bool* busOk) {
  *busOk = sessionBusKnown();
  if (!*busOk) return {};
  QDBusConnection bus = QDBusConnection::sessionBus();
  *busOk = bus.isConnected();
  QList<WindowRecord> out;
  if (!*busOk) return out;
  const QDBusReply<QStringList> names = bus.interface()->registeredServiceNames();
  if (!names.isValid()) {
    *busOk = false;
    return out;
  }
  QStringList windows;
  for (const QString& name : names.value())
    if (name.startsWith(kNamePrefix)) windows << name;
  windows.sort();
  for (const QString& name : windows) {
    const QDBusMessage call =
        QDBusMessage::createMethodCall(name, kPath, kInterface, QStringLiteral("Record"));
    const QDBusReply<QVariantMap> reply = bus.call(call, QDBus::Block, 5000);
    if (reply.isValid()) out << fromMap(reply.value());  // a window that just closed is left out
  }
  return out;
}
