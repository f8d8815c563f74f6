// Reading and rewriting the account file. Every change builds the whole new
// content and replaces the file through QSaveFile: a crash or a full disk
// leaves the old file or the new one, never a mix. Records that are not
// changed keep their bytes, undefined ones included.

#include "account_file.h"

#include "config/safe_write.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>

#include <algorithm>

namespace accounts {

namespace {

// Far more than any real list of accounts; a bigger file is not an account file.
constexpr qint64 kMaxFileSize = 16 * 1024 * 1024;
const QString kAdministrator = QStringLiteral("Administrator");

struct RawFile {
    AccountList::Status status = AccountList::Status::Missing;
    QList<QByteArray> records; // whole records only: a partial tail is dropped
    QList<Account> accounts;   // the same, decoded
    QString error;
};

RawFile readRaw(const QString &path)
{
    RawFile raw;
    const QFileInfo info(path);
    if (!info.exists())
        return raw;
    raw.status = AccountList::Status::Unreadable;
    if (!info.isFile()) {
        raw.error = QCoreApplication::translate("AccountFile", "it is not a plain file");
        return raw;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        raw.error = file.errorString();
        return raw;
    }
    const QByteArray bytes = file.read(kMaxFileSize + 1);
    if (file.error() != QFileDevice::NoError) {
        raw.error = file.errorString();
        return raw;
    }
    if (bytes.size() > kMaxFileSize) {
        raw.error = QCoreApplication::translate("AccountFile", "it is too large to be an account file");
        return raw;
    }
    for (qsizetype at = 0; at + kRecordSize <= bytes.size(); at += kRecordSize) {
        raw.records.append(bytes.mid(at, kRecordSize));
        raw.accounts.append(*decodeRecord(raw.records.last()));
    }
    raw.status = AccountList::Status::Ok;
    return raw;
}

QString unreadableText(const QString &path, const QString &why)
{
    return QCoreApplication::translate("AccountFile", "The account file %1 cannot be read: %2.").arg(path, why);
}

bool writeRaw(const QString &path, const QList<QByteArray> &records, bool fresh, QString *error)
{
    QSaveFile file(path);
    // Unbuffered, so a short write (full disk, size limit) shows here: a
    // buffered one would be flushed by commit() and the shortened file kept.
    bool done = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    // Passwords are only masked: a new file is for its owner's eyes only. An
    // existing file keeps its own permissions.
    if (done && fresh)
        done = file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    else if (done)
        takeOwnerAndMode(file.handle(), path);
    const QByteArray content = records.join();
    if (done)
        done = file.write(content) == content.size();
    if (done && file.commit())
        return true;
    // A short write sets no error of its own.
    const QString why = file.error() != QFileDevice::NoError
                            ? file.errorString()
                            : QCoreApplication::translate("AccountFile", "only part of it could be written");
    *error = QCoreApplication::translate("AccountFile",
                                         "The account file %1 could not be written (%2). It is unchanged.")
                 .arg(path, why);
    file.cancelWriting();
    return false;
}

AccountResult refused(const QString &message)
{
    return {false, message, message};
}

AccountResult quietlyNothing(const QString &detail)
{
    return {false, QString(), detail};
}

AccountResult written(const QString &path, const QList<QByteArray> &records, bool fresh, const QString &detail)
{
    QString error;
    if (!writeRaw(path, records, fresh, &error))
        return refused(error);
    return {true, QString(), detail};
}

bool isLatin1(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() > 0xFF)
            return false;
    }
    return true;
}

qsizetype countAdministrators(const QList<Account> &accounts)
{
    return std::count_if(accounts.cbegin(), accounts.cend(),
                         [](const Account &a) { return a.level == kAdministrator; });
}

// Keeps the accounts window and telvaro-users from overwriting each other's
// change. Without a lock (a folder we may not write) the write itself fails.
class WriterLock {
public:
    explicit WriterLock(const QString &path) : m_lock(path + QStringLiteral(".lock")) { m_lock.tryLock(5000); }
    bool busy() const { return m_lock.error() == QLockFile::LockFailedError; }

private:
    QLockFile m_lock;
};

const QString &busyText()
{
    static const QString text = QCoreApplication::translate(
        "AccountFile", "The account file is being changed by another program. Try again in a moment.");
    return text;
}

} // namespace

AccountList readAccounts(const QString &path)
{
    RawFile raw = readRaw(path);
    // A change is written as a new file renamed over the old one.
    const QFileInfo folder(QFileInfo(path).absolutePath());
    const bool readOnly = raw.status == AccountList::Status::Ok && (isReadOnlyFile(path) || !folder.isWritable());
    return {raw.status, std::move(raw.accounts), std::move(raw.error), readOnly};
}

AccountResult addOrChange(const QString &path, Account account, const QDate &today, IfMissing ifMissing)
{
    account.name.truncate(kNameSize);
    account.password.truncate(kPasswordSize);
    account.level.truncate(kLevelSize);
    if (account.name.isEmpty())
        return refused(QCoreApplication::translate("AccountFile", "An account needs a user name."));
    if (account.password.isEmpty())
        return refused(QCoreApplication::translate("AccountFile", "An account needs a password."));
    if (account.level.isEmpty())
        return refused(QCoreApplication::translate("AccountFile", "An account needs an access level."));
    if (!isLatin1(account.name) || !isLatin1(account.password) || !isLatin1(account.level))
        return refused(QCoreApplication::translate(
            "AccountFile", "User name, password and access level can hold only Latin-1 characters."));

    const bool mayCreate = ifMissing == IfMissing::Create && !QFileInfo::exists(path);
    if (mayCreate)
        makePrivateFolder(QFileInfo(path).absolutePath());
    const WriterLock lock(path);
    if (lock.busy())
        return refused(busyText());
    RawFile raw = readRaw(path);
    if (raw.status == AccountList::Status::Missing && !mayCreate)
        return refused(QStringLiteral("Missing account file!\nContact administrator"));
    if (raw.status == AccountList::Status::Unreadable)
        return refused(unreadableText(path, raw.error));

    for (qsizetype i = 0; i < raw.accounts.size(); ++i) {
        const Account &old = raw.accounts[i];
        if (old.name != account.name)
            continue;
        if (old.level == kAdministrator && account.level != kAdministrator && countAdministrators(raw.accounts) == 1)
            return refused(QCoreApplication::translate(
                "AccountFile", "The last Administrator account must keep the Administrator level."));
        raw.records[i] = changedRecord(raw.records[i], account);
        return written(path, raw.records, false,
                       QCoreApplication::translate("AccountFile", "Account \"%1\" changed.").arg(account.name));
    }
    account.registered = registrationText(today);
    account.reserved = 0;
    raw.records.append(encodeRecord(account));
    return written(path, raw.records, raw.status == AccountList::Status::Missing,
                   QCoreApplication::translate("AccountFile", "Account \"%1\" added.").arg(account.name));
}

AccountResult removeAccount(const QString &path, const QString &name)
{
    const WriterLock lock(path);
    if (lock.busy())
        return refused(busyText());
    RawFile raw = readRaw(path);
    if (raw.status == AccountList::Status::Missing)
        return refused(QStringLiteral("Missing account file!"));
    if (raw.status == AccountList::Status::Unreadable)
        return refused(unreadableText(path, raw.error));

    const qsizetype administrators = countAdministrators(raw.accounts);
    if (administrators == 0)
        return quietlyNothing(QCoreApplication::translate(
            "AccountFile", "No account has the Administrator level, so no account can be deleted."));
    if (name == QLatin1String("admin"))
        return quietlyNothing(QCoreApplication::translate("AccountFile", "The account \"admin\" cannot be deleted."));
    const auto found = std::find_if(raw.accounts.cbegin(), raw.accounts.cend(),
                                    [&name](const Account &a) { return a.name == name; });
    if (found == raw.accounts.cend())
        return quietlyNothing(
            QCoreApplication::translate("AccountFile", "There is no account named \"%1\".").arg(name));
    if (found->level == kAdministrator && administrators == 1)
        return refused(QCoreApplication::translate("AccountFile", "The last Administrator account cannot be deleted."));
    raw.records.removeAt(found - raw.accounts.cbegin());
    return written(path, raw.records, false,
                   QCoreApplication::translate("AccountFile", "Account \"%1\" deleted.").arg(name));
}

QList<Account> matchLogin(const QList<Account> &accounts, const QString &user, const QString &password)
{
    QList<Account> matches;
    for (const Account &a : accounts) {
        if (a.name == user && a.password == password)
            matches.append(a);
    }
    return matches;
}

} // namespace accounts
