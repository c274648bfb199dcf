#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// The files of an update wait in a folder of their own inside the program folder, on the same
// file system as their targets, until every one of them is complete and verified. Then they
// are put in place together by renaming; when one of them cannot be, every file put in place
// so far is put back, so a failed update leaves the program folder as it was. The folder goes
// when the object does.
class UpdateStaging {
 public:
  explicit UpdateStaging(const QString& programFolder);

  bool isValid() const { return m_dir.isValid(); }
  QString errorString() const { return m_dir.errorString(); }

  // Where the file that is to become `target` in the program folder waits.
  QString pathFor(const QString& target) const;

  struct Outcome {
    bool done = false;
    QString failedTarget;  // when not done: the file that could not be put in place
    QString reason;
    bool restored = true;  // when not done: every file is as before
  };
  // Puts every waiting file in place of its target and takes the removals out of the program
  // folder (where they exist), all or nothing.
  Outcome commit(const QStringList& targets, const QStringList& removals = {});

  // Removes the folders of downloads that ended without clearing up (the program was killed).
  static void removeLeftovers(const QString& programFolder);

 private:
  QString m_folder;
  QTemporaryDir m_dir;
};
