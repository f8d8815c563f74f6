#pragma once
// Replacing a file's content without ever losing the old content.

#include <QByteArray>
#include <QString>

// Writes through a temporary file and a rename where the folder allows it.
// Where only the file itself is writable (a read-only program folder), it is
// rewritten in place: the room for the new content is claimed first, and the
// old content is put back if the write still fails. On failure *error (if
// given) says why and the old file is unchanged.
bool writeFileSafely(const QString &path, const QByteArray &content, QString *error = nullptr);

// Gives the file open at fd (a replacement being written) the owner, group
// and mode of the file at path, where that exists: a file rewritten by root
// stays its owner's.
void takeOwnerAndMode(int fd, const QString &path);

// True when the file exists and this user may not write it. Root passes the
// access check on any file, so a file without any write permission bit
// counts as read-only as well.
bool isReadOnlyFile(const QString &path);
