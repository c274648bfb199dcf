#pragma once

#include <QGenericPlugin>
#include <QObject>
#include <QString>

// A window reader for tests. Loaded into an unchanged Qt program with
//   QT_PLUGIN_PATH=<build>/tools/plugins QT_QPA_GENERIC_PLUGINS=gfwindowdump:<file>
// it writes what the program's top-level windows show to <file> as JSON: each window's caption,
// position and state, and the texts, states and screen positions of its labels, fields and
// buttons. It writes once when the event loop first runs and again on every SIGUSR1; "seq"
// counts the dumps. A password field is dumped as shown (its stars).
class WindowDumpPlugin : public QGenericPlugin {
  Q_OBJECT
  Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "windowdump.json")

 public:
  QObject* create(const QString& key, const QString& argument) override;
};

class WindowDumper : public QObject {
  Q_OBJECT

 public:
  explicit WindowDumper(const QString& path, QObject* parent = nullptr);
  // Writes the file anew (atomically: a reader never sees half a dump).
  void dump();

 private:
  void listenForSignal();

  QString m_path;
  int m_sequence = 0;
};
