#pragma once
// Settings file with private-profile semantics: section and key names match
// without regard to case, booleans are "1"/"0", a missing file or key gives the
// caller's default, lines we do not know are kept when the file is written, and
// the file comes into being with the first successful save.

#include <QString>
#include <QStringList>

class IniFile {
public:
    explicit IniFile(QString path = {});

    const QString &path() const { return m_path; }

    // Reads the file; an absent or unreadable file leaves an empty store.
    bool load();
    // Replaces the content from text (used by load and by tests).
    void setText(const QString &text);
    QString text() const;

    QString readString(const QString &section, const QString &key, const QString &def) const;
    // A value that is not a whole number (after trimming) gives the default.
    int readInteger(const QString &section, const QString &key, int def) const;
    bool readBool(const QString &section, const QString &key, bool def) const;
    bool hasKey(const QString &section, const QString &key) const;

    void writeString(const QString &section, const QString &key, const QString &value);
    void writeInteger(const QString &section, const QString &key, int value);
    void writeBool(const QString &section, const QString &key, bool value);

    // Writes through a temporary file and a rename, so a failed save never
    // destroys the previous file. On failure *error (if given) says why.
    bool save(QString *error = nullptr) const;

private:
    struct Position {
        int sectionLine = -1; // index of "[section]" line, -1 when absent
        int keyLine = -1;     // index of "key=value" line, -1 when absent
        int lastLine = -1;    // last non-blank line that belongs to the section
    };
    Position find(const QString &section, const QString &key) const;

    QString m_path;
    QStringList m_lines;
};
