#include "support/files.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "app/settings.h"

QByteArray readAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes, QFileDevice::Permissions mode) {
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size() ||
      !f.setPermissions(mode))
    ADD_FAILURE() << "cannot write " << path.toStdString();
}

QString settingOnDisk(const QString& file, const QString& key) {
  QTemporaryDir copy;
  QFile::copy(file, copy.path() + "/" + QFileInfo(file).fileName());
  return SettingsStore(copy.path())
      .GetSetting(settingskeys::kApp, settingskeys::kSection, key, "<absent>");
}
