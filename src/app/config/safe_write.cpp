#include "safe_write.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool fail(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return false;
}

// The reason of the last failed call: the device's own, or errno's where
// the device has none (a failed fsync or ftruncate, a short write).
QString reason(const QFileDevice &file, int code)
{
    if (file.error() != QFileDevice::NoError && code == 0)
        return file.errorString();
    return code != 0 ? QString::fromLocal8Bit(std::strerror(code)) : file.errorString();
}

// Writes bytes from the start, cuts the file after them and syncs: 0, or the errno.
int rewrite(QFile &file, const QByteArray &bytes)
{
    errno = 0;
    if (!file.seek(0))
        return errno ? errno : EIO;
    const char *at = bytes.constData();
    for (qint64 left = bytes.size(); left > 0;) {
        const qint64 written = file.write(at, left);
        if (written <= 0)
            return errno ? errno : EIO;
        at += written;
        left -= written;
    }
    if (::ftruncate(file.handle(), bytes.size()) != 0 || ::fsync(file.handle()) != 0)
        return errno;
    return 0;
}

// Where the old content of a file rewritten in place is kept until the new
// content is whole: the user's cache, one file per path.
QString keptCopyPath(const QString &path)
{
    const QByteArray key =
        QCryptographicHash::hash(QFileInfo(path).absoluteFilePath().toUtf8(), QCryptographicHash::Sha1).toHex();
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)
           + QStringLiteral("/Telvaro/unfinished-writes/") + QString::fromLatin1(key) + QStringLiteral(".old");
}

// The first line of a kept copy is the path it belongs to, the rest the old content.
bool keepCopy(const QString &path, const QByteArray &old, QString *why)
{
    const QString kept = keptCopyPath(path);
    QDir().mkpath(QFileInfo(kept).path());
    QSaveFile copy(kept);
    const QByteArray bytes = QFileInfo(path).absoluteFilePath().toUtf8() + '\n' + old;
    if (copy.open(QIODevice::WriteOnly) && copy.write(bytes) == bytes.size() && copy.commit())
        return true;
    *why = QCoreApplication::translate("SafeWrite", "no copy of the old content could be kept in %1 (%2)")
               .arg(kept, copy.errorString());
    return false;
}

// A program folder we may not write: the file is rewritten where it stands,
// its old content kept in the cache meanwhile, so that a kill at any moment
// leaves the old content (put back at the next start) or the new one.
bool writeInPlace(const QString &path, const QByteArray &content, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        return fail(error, file.errorString());
    const QByteArray old = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return fail(error, file.errorString());
    QString why;
    if (!keepCopy(path, old, &why))
        return fail(error, why);
    const int code = rewrite(file, content);
    if (code != 0) {
        why = reason(file, code);
        rewrite(file, old);
    }
    QFile::remove(keptCopyPath(path));
    return code == 0 || fail(error, why);
}

} // namespace

void recoverUnfinishedWrite(const QString &path)
{
    QFile copy(keptCopyPath(path));
    if (!copy.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = copy.readAll();
    const qsizetype lineEnd = bytes.indexOf('\n');
    if (lineEnd < 0 || bytes.left(lineEnd) != QFileInfo(path).absoluteFilePath().toUtf8())
        return; // not this file's
    QFile file(path);
    if (file.open(QIODevice::ReadWrite | QIODevice::Unbuffered) && rewrite(file, bytes.mid(lineEnd + 1)) == 0)
        copy.remove();
}

void takeOwnerAndMode(int fd, const QString &path)
{
    struct stat old {};
    if (fd < 0)
        return;
    // A new file may hold readings or a password: its owner's only, whatever the umask.
    if (::stat(QFile::encodeName(path).constData(), &old) != 0) {
        (void)::fchmod(fd, 0600);
        return;
    }
    // Only root may give a file away; for anyone else these change nothing.
    if (::fchown(fd, old.st_uid, old.st_gid) != 0)
        (void)::fchown(fd, ::geteuid(), old.st_gid);
    (void)::fchmod(fd, old.st_mode & 07777);
}

void makePrivateFolder(const QString &folder)
{
    if (QFileInfo::exists(folder))
        return;
    QDir().mkpath(folder);
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

void createPrivately(const QString &path)
{
    if (QFileInfo::exists(path))
        return;
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0)
        ::close(fd);
}

bool isReadOnlyFile(const QString &path)
{
    const QFileInfo info(path);
    const auto anyWrite = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    return info.exists() && info.isFile() && (!info.isWritable() || !(info.permissions() & anyWrite));
}

bool writeFileSafely(const QString &path, const QByteArray &content, QString *error)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        takeOwnerAndMode(file.handle(), path);
        // A short write (a full disk) must never be committed over the old file.
        errno = 0;
        if (file.write(content) != content.size()) {
            const QString why = reason(file, errno);
            file.cancelWriting();
            file.commit();
            return fail(error, why);
        }
        if (file.commit())
            return true;
        return fail(error, file.errorString());
    }
    // No temporary file can be made beside it; a writable file can still be
    // rewritten where it stands.
    const QFileInfo info(path);
    if (info.isFile() && info.isWritable())
        return writeInPlace(path, content, error);
    return fail(error, file.errorString());
}
