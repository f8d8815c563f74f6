#pragma once
// Settings file with private-profile semantics: section and key names match
// without regard to case, booleans are "1"/"0", a missing file or key gives the
// caller's default, and the file comes into being with the first successful
// save.
//
// Lines we do not write stay byte for byte as they were: the file is kept as
// raw lines, and only the lines of keys we write are re-encoded, in the file's
// own encoding (UTF-8, or Windows-1250 for files written on Windows) and with
// its own line ends.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class IniFile {
public:
    // Files beyond this size are not read, and therefore never rewritten.
    static constexpr qint64 kMaxFileSize = 64 * 1024 * 1024;

    explicit IniFile(QString path = {});

    const QString &path() const { return m_path; }

    // Reads the whole file. An absent or unreadable file leaves an empty store;
    // a file that exists but could not be read whole is also marked so that
    // save() refuses to overwrite it (readError() says why).
    bool load();
    const QString &readError() const { return m_readError; }
    bool isUtf8() const { return m_utf8; }

    QString readString(const QString &section, const QString &key, const QString &def) const;
    // A value that is not a whole number (after trimming) gives the default.
    int readInteger(const QString &section, const QString &key, int def) const;
    bool readBool(const QString &section, const QString &key, bool def) const;
    bool hasKey(const QString &section, const QString &key) const;

    // Every key line as it stands, in file order, with its section and its
    // 1-based line number: for files whose sections are not known beforehand.
    struct Entry {
        QString section;
        QString key;
        int line = 0;
        QString value;       // trimmed, without one pair of surrounding double quotes
        int sectionLine = 0; // its section's header line (0: before any)
    };
    QList<Entry> entries() const;

    void writeString(const QString &section, const QString &key, const QString &value);
    void writeInteger(const QString &section, const QString &key, int value);
    void writeBool(const QString &section, const QString &key, bool value);

    // The file's bytes as save() would write them.
    QByteArray bytes() const;

    // Writes through a temporary file and a rename where the folder allows it,
    // else in place; a failed save never destroys the previous file. On
    // failure *error (if given) says why.
    bool save(QString *error = nullptr) const;

private:
    struct Position {
        int sectionLine = -1; // index of "[section]" line, -1 when absent
        int keyLine = -1;     // index of "key=value" line, -1 when absent
        int lastLine = -1;    // last non-blank line that belongs to the section
    };
    Position find(const QString &section, const QString &key) const;
    QByteArray encodeLine(const QString &line) const;
    void setLine(int index, const QString &line);
    void insertLine(int index, const QString &line);

    QString m_path;
    QList<QByteArray> m_raw; // lines as stored, without '\n' (a '\r' stays)
    QStringList m_text;      // the same lines decoded, without '\r'
    bool m_utf8 = true;
    bool m_crlf = false;
    bool m_finalNewline = true;
    QString m_readError;
};
