#pragma once

#include <linux/capability.h>

#include <QString>
#include <QStringList>

// Takes the right to write into a folder (and to the files in it) away from this thread. The
// mode bits alone do not stop the superuser, so for the time being the thread also gives up
// the capability that lets it pass over them.
class ReadOnlyFolder {
 public:
  explicit ReadOnlyFolder(const QString& folder);
  ~ReadOnlyFolder();
  ReadOnlyFolder(const ReadOnlyFolder&) = delete;
  ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;
  // Whether a new file in the folder is really refused.
  bool holds() const;

 private:
  QString m_folder;
  QStringList m_files;
  __user_cap_header_struct m_header{};
  __user_cap_data_struct m_saved[2]{};
  bool m_dropped = false;
};
