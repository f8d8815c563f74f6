// One 67-byte record of the account file, the access levels, and where the
// file lives.

#include "account_file.h"

#include "config/program_paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QStandardPaths>

namespace accounts {

namespace {

void putText(QByteArray &record, int at, int capacity, const QString &text, quint8 mask)
{
    const QByteArray bytes = text.left(capacity).toLatin1();
    record[at] = char(bytes.size());
    for (int i = 0; i < capacity; ++i)
        record[at + 1 + i] = i < bytes.size() ? char(quint8(bytes[i]) ^ mask) : '\0';
}

QString getText(QByteArrayView record, int at, int capacity, quint8 mask)
{
    const int length = qMin(int(quint8(record[at])), capacity);
    QByteArray bytes(length, Qt::Uninitialized);
    for (int i = 0; i < length; ++i)
        bytes[i] = char(quint8(record[at + 1 + i]) ^ mask);
    return QString::fromLatin1(bytes);
}

bool granted(QByteArrayView record, int at, const char *code)
{
    return getText(record, at, kCodeSize, 0) == QLatin1String(code);
}

} // namespace

AccessLevel accessLevel(const QString &levelText)
{
    if (levelText == QLatin1String("Administrator"))
        return AccessLevel::Administrator;
    if (levelText == QLatin1String("Setup"))
        return AccessLevel::Setup;
    return AccessLevel::Operator;
}

bool isKnownLevel(const QString &text)
{
    return text == levelText(accessLevel(text));
}

QString levelText(AccessLevel level)
{
    switch (level) {
    case AccessLevel::Administrator:
        return QStringLiteral("Administrator");
    case AccessLevel::Setup:
        return QStringLiteral("Setup");
    case AccessLevel::Operator:
        break;
    }
    return QStringLiteral("Operator");
}

QByteArray encodeRecord(const Account &account)
{
    QByteArray record(kRecordSize, '\0');
    putText(record, kNameAt, kNameSize, account.name, kNameMask);
    putText(record, kPasswordAt, kPasswordSize, account.password, kPasswordMask);
    putText(record, kLevelAt, kLevelSize, account.level, kNameMask);
    putText(record, kDateAt, kDateSize, account.registered, 0);
    putText(record, kDevicesAt, kCodeSize, QLatin1String(account.devices ? kDevicesGranted : kDevicesRefused), 0);
    putText(record, kCommunicationAt, kCodeSize,
            QLatin1String(account.communication ? kCommunicationGranted : kCommunicationRefused), 0);
    putText(record, kDisplayAt, kCodeSize, QLatin1String(account.display ? kDisplayGranted : kDisplayRefused), 0);
    record[kReservedAt] = char(account.reserved);
    return record;
}

std::optional<Account> decodeRecord(QByteArrayView record)
{
    if (record.size() != kRecordSize)
        return std::nullopt;
    Account a;
    a.name = getText(record, kNameAt, kNameSize, kNameMask);
    a.password = getText(record, kPasswordAt, kPasswordSize, kPasswordMask);
    a.level = getText(record, kLevelAt, kLevelSize, kNameMask);
    a.registered = getText(record, kDateAt, kDateSize, 0);
    a.devices = granted(record, kDevicesAt, kDevicesGranted);
    a.communication = granted(record, kCommunicationAt, kCommunicationGranted);
    a.display = granted(record, kDisplayAt, kDisplayGranted);
    a.reserved = quint8(record[kReservedAt]);
    return a;
}

QByteArray changedRecord(QByteArray record, const Account &account)
{
    const QByteArray fresh = encodeRecord(account);
    if (record.size() != kRecordSize)
        return fresh;
    record.replace(kPasswordAt, kDateAt - kPasswordAt, fresh.mid(kPasswordAt, kDateAt - kPasswordAt));
    record.replace(kDevicesAt, kReservedAt - kDevicesAt, fresh.mid(kDevicesAt, kReservedAt - kDevicesAt));
    return record;
}

QString registrationText(const QDate &date)
{
    return QLocale::system().toString(date, QLocale::ShortFormat).left(kDateSize);
}

QString accountFilePath(const QString &programDir, const QString &userDataDir)
{
    const QString inHome = QDir(userDataDir).filePath(QStringLiteral("Telvaro/files/users.dat"));
    if (program_paths::isInstalledDir(programDir))
        return inHome;
    // A file beside the program is the one, even read-only (shared by every
    // user of a machine); else one in the home; else where it can be made.
    const QString beside = QDir(programDir).filePath(QStringLiteral("files/users.dat"));
    if (QFileInfo::exists(beside))
        return beside;
    if (QFileInfo::exists(inHome))
        return inHome;
    const QFileInfo folder(QFileInfo(beside).absolutePath());
    const bool canMake = folder.exists() ? folder.isDir() && folder.isWritable() : QFileInfo(programDir).isWritable();
    return canMake ? beside : inHome;
}

QString defaultAccountFile()
{
    return accountFilePath(QCoreApplication::applicationDirPath(),
                           QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
}

} // namespace accounts
