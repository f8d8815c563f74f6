#include "safe_write.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <sys/stat.h>
#include <unistd.h>

namespace {

bool fail(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return false;
}

bool writeAll(QFile &file, const QByteArray &bytes)
{
    return file.write(bytes) == bytes.size() && file.flush() && ::fsync(file.handle()) == 0;
}

bool truncateTo(QFile &file, qint64 size)
{
    return ::ftruncate(file.handle(), size) == 0;
}

bool writeInPlace(const QString &path, const QByteArray &content, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        return fail(error, file.errorString());
    const QByteArray old = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return fail(error, file.errorString());
    // Claim the room first: when the disk is full this fails before a single
    // old byte has been touched.
    if (content.size() > old.size()) {
        if (!file.seek(old.size()) || !writeAll(file, QByteArray(content.size() - old.size(), '\0'))) {
            const QString why = file.errorString();
            truncateTo(file, old.size());
            return fail(error, why);
        }
    }
    if (file.seek(0) && writeAll(file, content) && truncateTo(file, content.size()))
        return true;
    const QString why = file.errorString();
    if (file.seek(0))
        writeAll(file, old);
    truncateTo(file, old.size());
    return fail(error, why);
}

} // namespace

void takeOwnerAndMode(int fd, const QString &path)
{
    struct stat old {};
    if (fd < 0 || ::stat(QFile::encodeName(path).constData(), &old) != 0)
        return;
    // Only root may give a file away; for anyone else these change nothing.
    if (::fchown(fd, old.st_uid, old.st_gid) != 0)
        (void)::fchown(fd, ::geteuid(), old.st_gid);
    (void)::fchmod(fd, old.st_mode & 07777);
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
        if (file.write(content) != content.size()) {
            const QString why = file.errorString();
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
