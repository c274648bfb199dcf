#pragma once

#include <QByteArray>
#include <QString>

// File writes that know why they failed (the errno), so that the user can be told: a full disk
// is no missing right.
namespace filewrite {

// Appends the bytes to the file (created when missing). The file is readable and writable by
// its owner only: created so, and an existing one of ours loses the rights of others. On a
// failure the file is cut back to its former length, so no half line stays behind. 0, or the
// errno of the failure.
int append(const QString& path, const QByteArray& bytes);

// Replaces the file with the bytes. The new file is readable and writable by its owner only
// from the moment it exists; an earlier file of that name is removed first, so nobody who had
// it open reads the new content. 0, or the errno of the failure (a file that could not be
// finished is removed).
int replaceOwnerOnly(const QString& path, const QByteArray& bytes);

// A file written piece by piece, with the errno of what failed: open() replaces the file's
// content (creating it for everyone the umask allows), write() adds a piece, close() ends it.
// Each returns 0 or the errno; after a failure the file is left as it is.
class PieceWriter {
 public:
  PieceWriter() = default;
  ~PieceWriter();
  PieceWriter(const PieceWriter&) = delete;
  PieceWriter& operator=(const PieceWriter&) = delete;
  int open(const QString& path);
  int write(const QByteArray& piece);
  int close();

 private:
  int m_fd = -1;
};

// Why a file in a folder cannot be written now: the errno of a trial write of `bytes` bytes into
// an unnamed file there (a file that exists and may not be written counts as well); 0 when the
// trial went through.
int whyNotWritable(const QString& path, qint64 bytes);

// Renames `from` to the first of `candidates` that is not taken, never replacing a file.
// Returns the name used, or an empty text with `err` set (EEXIST when every name is taken).
QString renameToFreeName(const QString& from, const QStringList& candidates, int& err);

// The German reason for an errno, as the run-time errors word it: "Datenträger voll",
// "Zugriff verweigert", "Pfad nicht gefunden", else "Fehler beim Zugriff auf Pfad/Datei".
QString reason(int err);
// The run-time error number for an errno: 61, 70, 76, else 75.
int errorNumber(int err);

// The box that tells which file could not be written and why, then what that means.
QString failureNotice(const QString& path, int err, const QString& consequence);

}  // namespace filewrite
