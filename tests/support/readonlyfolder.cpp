#include "support/readonlyfolder.h"

#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QDir>
#include <QFile>

ReadOnlyFolder::ReadOnlyFolder(const QString& folder) : m_folder(folder) {
  for (const QString& name : QDir(folder).entryList(QDir::Files)) {
    m_files.append(folder + QChar('/') + name);
    chmod(QFile::encodeName(m_files.last()).constData(), 0444);
  }
  chmod(QFile::encodeName(folder).constData(), 0555);
  m_header.version = _LINUX_CAPABILITY_VERSION_3;
  m_header.pid = 0;
  if (syscall(SYS_capget, &m_header, m_saved) != 0) return;
  __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
  reduced[0].effective &= ~(1u << CAP_DAC_OVERRIDE);
  m_dropped = syscall(SYS_capset, &m_header, reduced) == 0;
}

ReadOnlyFolder::~ReadOnlyFolder() {
  if (m_dropped) syscall(SYS_capset, &m_header, m_saved);
  chmod(QFile::encodeName(m_folder).constData(), 0755);
  for (const QString& file : m_files) chmod(QFile::encodeName(file).constData(), 0600);
}

bool ReadOnlyFolder::holds() const {
  QFile probe(m_folder + QStringLiteral("/probe"));
  if (!probe.open(QIODevice::WriteOnly)) return true;
  probe.remove();
  return false;
}
