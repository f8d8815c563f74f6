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
