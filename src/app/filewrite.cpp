#include "app/filewrite.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>

#include "app/vberror.h"

namespace filewrite {
namespace {
QByteArray native(const QString& path) {
  return QFile::encodeName(path);
}

// Writes everything or returns the errno of the write that failed.
int writeAll(int fd, const QByteArray& bytes) {
  const char* p = bytes.constData();
  qint64 left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return EIO;
    p += n;
    left -= n;
  }
  return 0;
}

// close() is where some file systems report a full disk.
int closeChecked(int fd) {
  return ::close(fd) == 0 || errno == EINTR ? 0 : errno;
}
}  // namespace

int append(const QString& path, const QByteArray& bytes) {
  const int fd = ::open(native(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return errno;
  struct stat st {};
  const bool known = ::fstat(fd, &st) == 0;
  const off_t before = known ? st.st_size : -1;
  // A file of an earlier version that others could read is closed to them (when it is ours).
  if (known && (st.st_mode & 077) != 0 && st.st_uid == ::geteuid()) ::fchmod(fd, st.st_mode & 0700);
  int err = writeAll(fd, bytes);
  if (err != 0 && before >= 0) {
    [[maybe_unused]] const int cut = ::ftruncate(fd, before);
  }
  const int closeErr = closeChecked(fd);
  return err != 0 ? err : closeErr;
}

int replaceOwnerOnly(const QString& path, const QByteArray& bytes) {
  const QByteArray name = native(path);
  if (::unlink(name.constData()) != 0 && errno != ENOENT && errno != EISDIR) return errno;
  const int fd =
      ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return errno;
  int err = writeAll(fd, bytes);
  const int closeErr = closeChecked(fd);
  if (err == 0) err = closeErr;
  if (err != 0) ::unlink(name.constData());
  return err;
}

PieceWriter::~PieceWriter() {
  if (m_fd >= 0) ::close(m_fd);
}

int PieceWriter::open(const QString& path) {
  m_fd = ::open(native(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  return m_fd < 0 ? errno : 0;
}

int PieceWriter::write(const QByteArray& piece) {
  return m_fd < 0 ? EBADF : writeAll(m_fd, piece);
}

int PieceWriter::close() {
  if (m_fd < 0) return EBADF;
  const int fd = m_fd;
  m_fd = -1;
  return closeChecked(fd);
}

int whyNotWritable(const QString& path, qint64 bytes) {
  const QString folder = QFileInfo(path).absolutePath();
  const QByteArray file = native(path);
  // The effective rights decide (AT_EACCESS), the same ones every write of this thread meets.
  if (::faccessat(AT_FDCWD, file.constData(), F_OK, AT_EACCESS) == 0 &&
      ::faccessat(AT_FDCWD, file.constData(), W_OK, AT_EACCESS) != 0)
    return errno;
  const int fd = ::open(native(folder).constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
  if (fd < 0) return errno == EOPNOTSUPP || errno == EISDIR ? 0 : errno;
  const int err = writeAll(fd, QByteArray(static_cast<qsizetype>(qMax<qint64>(bytes, 1)), '\0'));
  const int closeErr = closeChecked(fd);
  return err != 0 ? err : closeErr;
}

QString renameToFreeName(const QString& from, const QStringList& candidates, int& err) {
  err = EEXIST;
  const QByteArray source = native(from);
  for (const QString& to : candidates) {
    const QByteArray target = native(to);
    // RENAME_NOREPLACE: a name taken meanwhile is never overwritten.
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) ==
        0) {
      err = 0;
      return to;
    }
    if (errno == EINVAL) {  // a file system without it: a hard link refuses a taken name too
      if (::link(source.constData(), target.constData()) == 0) {
        ::unlink(source.constData());
        err = 0;
        return to;
      }
    }
    if (errno != EEXIST) {
      err = errno;
      return QString();
    }
  }
  return QString();
}

int errorNumber(int err) {
  switch (err) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return vberr::kDiskFull;
    case EACCES:
    case EPERM:
    case EROFS:
      return vberr::kPermissionDenied;
    case ENOENT:
    case ENOTDIR:
      return vberr::kPathNotFound;
    default:
      return vberr::kPathFileAccess;
  }
}

QString reason(int err) {
  return vberr::description(errorNumber(err));
}

QString failureNotice(const QString& path, int err, const QString& consequence) {
  return QStringLiteral("Die Datei '") + path +
         QStringLiteral("' konnte nicht geschrieben werden: ") + reason(err) +
         QStringLiteral(".\r\n") + consequence;
}

}  // namespace filewrite
