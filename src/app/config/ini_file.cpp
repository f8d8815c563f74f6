#include "ini_file.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

namespace {

bool isSectionLine(const QString &trimmed) { return trimmed.startsWith(u'[') && trimmed.contains(u']'); }

QString sectionName(const QString &trimmed)
{
    return trimmed.mid(1, trimmed.indexOf(u']') - 1).trimmed();
}

bool splitKey(const QString &line, QString *key, QString *value)
{
    const qsizetype eq = line.indexOf(u'=');
    if (eq <= 0)
        return false;
    *key = line.left(eq).trimmed();
    if (value)
        *value = line.mid(eq + 1).trimmed();
    return !key->isEmpty();
}

} // namespace

IniFile::IniFile(QString path) : m_path(std::move(path)) {}

bool IniFile::load()
{
    m_lines.clear();
    QFile file(m_path);
    if (m_path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray raw = file.read(4 * 1024 * 1024); // a settings file is small; ignore the rest of a huge one
    auto toUtf16 = QStringDecoder(QStringDecoder::Utf8);
    QString text = toUtf16(raw);
    if (toUtf16.hasError())
        text = QString::fromLatin1(raw); // older files were written in an 8-bit code page
    setText(text);
    return true;
}

void IniFile::setText(const QString &text)
{
    m_lines = text.split(u'\n');
    for (QString &line : m_lines)
        if (line.endsWith(u'\r'))
            line.chop(1);
    while (!m_lines.isEmpty() && m_lines.last().isEmpty())
        m_lines.removeLast();
}

QString IniFile::text() const
{
    QString out;
    for (const QString &line : m_lines)
        out += line + u'\n';
    return out;
}

IniFile::Position IniFile::find(const QString &section, const QString &key) const
{
    Position pos;
    bool inSection = false;
    for (int i = 0; i < m_lines.size(); ++i) {
        const QString trimmed = m_lines[i].trimmed();
        if (isSectionLine(trimmed)) {
            if (inSection)
                break; // the first matching section is the one that counts
            inSection = sectionName(trimmed).compare(section, Qt::CaseInsensitive) == 0;
            if (inSection)
                pos.sectionLine = pos.lastLine = i;
            continue;
        }
        if (!inSection || trimmed.isEmpty())
            continue;
        pos.lastLine = i;
        QString name;
        if (pos.keyLine < 0 && !trimmed.startsWith(u';') && splitKey(trimmed, &name, nullptr)
            && name.compare(key, Qt::CaseInsensitive) == 0)
            pos.keyLine = i;
    }
    return pos;
}

bool IniFile::hasKey(const QString &section, const QString &key) const
{
    return find(section, key).keyLine >= 0;
}

QString IniFile::readString(const QString &section, const QString &key, const QString &def) const
{
    const Position pos = find(section, key);
    if (pos.keyLine < 0)
        return def;
    QString name, value;
    splitKey(m_lines[pos.keyLine], &name, &value);
    return value;
}

int IniFile::readInteger(const QString &section, const QString &key, int def) const
{
    bool ok = false;
    const int value = readString(section, key, QString()).toInt(&ok);
    return ok ? value : def;
}

bool IniFile::readBool(const QString &section, const QString &key, bool def) const
{
    return readInteger(section, key, def ? 1 : 0) != 0;
}

void IniFile::writeString(const QString &section, const QString &key, const QString &value)
{
    // Line breaks would split the entry; keep each value on its one line.
    QString clean = value;
    clean.replace(u'\r', u' ').replace(u'\n', u' ');
    const QString line = key + u'=' + clean;
    const Position pos = find(section, key);
    if (pos.keyLine >= 0) {
        m_lines[pos.keyLine] = line;
    } else if (pos.sectionLine >= 0) {
        m_lines.insert(pos.lastLine + 1, line);
    } else {
        if (!m_lines.isEmpty() && !m_lines.last().trimmed().isEmpty())
            m_lines.append(QString());
        m_lines.append(u'[' + section + u']');
        m_lines.append(line);
    }
}

void IniFile::writeInteger(const QString &section, const QString &key, int value)
{
    writeString(section, key, QString::number(value));
}

void IniFile::writeBool(const QString &section, const QString &key, bool value)
{
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

bool IniFile::save(QString *error) const
{
    // A read-only settings file means "do not write", even where the folder
    // would let a rename replace it.
    // Root passes the access check on any file, so a file without any write
    // permission bit counts as read-only as well.
    const QFileInfo info(m_path);
    const auto anyWrite = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    if (info.exists() && info.isFile() && (!info.isWritable() || !(info.permissions() & anyWrite))) {
        if (error)
            *error = QStringLiteral("Permission denied");
        return false;
    }
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    file.write(text().toUtf8());
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}
