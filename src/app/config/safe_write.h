#pragma once
// Replacing a file's content without ever losing the old content.

#include <QByteArray>
#include <QString>

// Writes through a temporary file and a rename where the folder allows it.
// Where only the file itself is writable (a read-only program folder), it is
// rewritten in place, with its old content kept in the user's cache folder
// until the new content is whole; a failed write puts the old content back.
// On failure *error (if given) says why ("No space left on device") and the
// old file is unchanged.
bool writeFileSafely(const QString &path, const QByteArray &content, QString *error = nullptr);

// After a rewrite in place was cut short (the program was killed), the old
// content kept for it goes back into the file. Call before reading it.
void recoverUnfinishedWrite(const QString &path);

// Gives the file open at fd (a replacement being written) the owner, group
// and mode of the file at path, where that exists: a file rewritten by root
// stays its owner's.
void takeOwnerAndMode(int fd, const QString &path);

// True when the file exists and this user may not write it. Root passes the
// access check on any file, so a file without any write permission bit
// counts as read-only as well.
bool isReadOnlyFile(const QString &path);

// Private by default, whatever the umask: a missing folder is made with
// its last part readable by the owner only (0700), and a missing file (in a
// folder that is there) is made empty with mode 0600, so that a write
// through QSaveFile keeps that mode. An existing folder or file is left as
// it is.
void makePrivateFolder(const QString &folder);
void createPrivately(const QString &path);
