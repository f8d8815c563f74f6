#include "ini_file.h"

#include "safe_write.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>

namespace {

// Files written on Windows are in the Central European code page 1250.
constexpr const char *kLegacyCodePage = "windows-1250";

bool isSectionLine(QStringView trimmed)
{
    return trimmed.startsWith(u'[') && trimmed.contains(u']');
}

QStringView sectionName(QStringView trimmed)
{
    return trimmed.mid(1, trimmed.indexOf(u']') - 1).trimmed();
}

bool splitKey(QStringView line, QStringView *key, QStringView *value)
{
    const qsizetype eq = line.indexOf(u'=');
    if (eq <= 0)
        return false;
    *key = line.left(eq).trimmed();
    if (value)
        *value = line.mid(eq + 1).trimmed();
    return !key->isEmpty();
}

// One pair of surrounding double quotes is not part of the value.
QStringView unquoted(QStringView value)
{
    return value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"') ? value.mid(1, value.size() - 2) : value;
}

// UTF-8 throughout, decided on whole characters: a sequence cut off at the
// end of the file (a Windows-1250 letter such as 0xE6 "ć" last) means not UTF-8.
bool isWholeUtf8(const QByteArray &bytes)
{
    for (qsizetype i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const int length = lead < 0x80                    ? 1
                           : lead >= 0xC2 && lead <= 0xDF ? 2
                           : lead >= 0xE0 && lead <= 0xEF ? 3
                           : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                          : 0;
        if (length == 0 || i + length > bytes.size())
            return false;
        for (int k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80)
                return false;
        }
        i += length;
    }
    return true;
}

QString decodeLegacy(const QByteArray &raw)
{
    QStringDecoder decoder(kLegacyCodePage);
    return decoder.isValid() ? QString(decoder(raw)) : QString::fromLatin1(raw);
}

} // namespace

IniFile::IniFile(QString path) : m_path(std::move(path)) {}

bool IniFile::load()
{
    m_raw.clear();
    m_text.clear();
    m_utf8 = true;
    m_crlf = false;
    m_finalNewline = true;
    m_readError.clear();
    if (m_path.isEmpty())
        return false;
    recoverUnfinishedWrite(m_path);
    if (!QFileInfo::exists(m_path))
        return false;
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_readError = file.errorString();
        return false;
    }
    if (file.size() > kMaxFileSize) {
        m_readError = QStringLiteral("the file is larger than %1 bytes").arg(kMaxFileSize);
        return false;
    }
    const QByteArray raw = file.readAll();
    if (file.error() != QFileDevice::NoError || (file.size() > 0 && raw.size() != file.size())) {
        m_readError = file.errorString();
        return false;
    }
    if (raw.isEmpty())
        return true;

    m_utf8 = isWholeUtf8(raw);
    const QString text = m_utf8 ? QString::fromUtf8(raw) : decodeLegacy(raw);
    // Both encodings keep '\n' as it is, so raw and decoded lines pair up.
    m_raw = raw.split('\n');
    m_text = text.split(u'\n');
    m_finalNewline = raw.endsWith('\n');
    if (m_finalNewline) {
        m_raw.removeLast();
        m_text.removeLast();
    }
    if (m_text.size() != m_raw.size()) { // cannot happen with these encodings; never index past one of them
        m_text.clear();
        for (const QByteArray &line : m_raw)
            m_text << (m_utf8 ? QString::fromUtf8(line) : decodeLegacy(line));
    }
    for (QString &line : m_text)
        if (line.endsWith(u'\r'))
            line.chop(1);
    m_crlf = !m_raw.isEmpty() && m_raw.first().endsWith('\r');
    return true;
}

QByteArray IniFile::bytes() const
{
    QByteArray out = m_raw.join('\n');
    if (m_finalNewline && !m_raw.isEmpty())
        out += '\n';
    return out;
}

QByteArray IniFile::encodeLine(const QString &line) const
{
    QByteArray out;
    if (m_utf8) {
        out = line.toUtf8();
    } else {
        QStringEncoder encoder(kLegacyCodePage);
        out = encoder.isValid() ? QByteArray(encoder(line)) : line.toLatin1();
    }
    if (m_crlf)
        out += '\r';
    return out;
}

void IniFile::setLine(int index, const QString &line)
{
    m_raw[index] = encodeLine(line);
    m_text[index] = line;
}

void IniFile::insertLine(int index, const QString &line)
{
    m_raw.insert(index, encodeLine(line));
    m_text.insert(index, line);
}

IniFile::Position IniFile::find(const QString &section, const QString &key) const
{
    Position pos;
    bool inSection = false;
    for (int i = 0; i < m_text.size(); ++i) {
        const QStringView trimmed = QStringView(m_text[i]).trimmed();
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
        QStringView name;
        if (pos.keyLine < 0 && !trimmed.startsWith(u';') && splitKey(trimmed, &name, nullptr)
            && name.compare(key, Qt::CaseInsensitive) == 0)
            pos.keyLine = i;
    }
    return pos;
}

QList<IniFile::Entry> IniFile::entries() const
{
    QList<Entry> found;
    QString section;
    int sectionLine = 0;
    for (int i = 0; i < m_text.size(); ++i) {
        const QStringView trimmed = QStringView(m_text[i]).trimmed();
        QStringView name, value;
        if (isSectionLine(trimmed)) {
            section = sectionName(trimmed).toString();
            sectionLine = i + 1;
        } else if (!trimmed.isEmpty() && !trimmed.startsWith(u';') && splitKey(trimmed, &name, &value))
            found.append(
                {section, name.trimmed().toString(), i + 1, unquoted(value).trimmed().toString(), sectionLine});
    }
    return found;
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
    QStringView name, value;
    splitKey(m_text[pos.keyLine], &name, &value);
    return unquoted(value).toString();
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
        setLine(pos.keyLine, line);
    } else if (pos.sectionLine >= 0) {
        insertLine(pos.lastLine + 1, line);
    } else {
        if (!m_text.isEmpty() && !m_text.last().trimmed().isEmpty())
            insertLine(int(m_text.size()), QString());
        insertLine(int(m_text.size()), u'[' + section + u']');
        insertLine(int(m_text.size()), line);
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
    // What we could not read whole we must not write back: the rest would be lost.
    if (!m_readError.isEmpty()) {
        if (error)
            *error =
                QStringLiteral("The settings file could not be read whole (%1); it is left unchanged").arg(m_readError);
        return false;
    }
    // A read-only settings file means "do not write", even where the folder
    // would let a rename replace it.
    if (isReadOnlyFile(m_path)) {
        if (error)
            *error = QStringLiteral("Permission denied");
        return false;
    }
    createPrivately(m_path); // a new settings file may hold a database password
    return writeFileSafely(m_path, bytes(), error);
}
