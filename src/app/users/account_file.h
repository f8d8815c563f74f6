#pragma once
// The account file "users.dat": a plain run of 67-byte records, no header.
// Texts are length-prefixed and stored XOR a fixed one-byte mask, not hashed:
// files written by earlier versions must keep working as they are. No widgets
// here; today's date comes in as an argument.
//
// Record layout (offset: length byte + capacity):
//    0 user name     1 + 10  each byte XOR kNameMask
//   11 password      1 + 10  each byte XOR kPasswordMask
//   22 access level  1 + 15  each byte XOR kNameMask
//   38 registered    1 + 15  plain short date text
//   54 devices       1 + 3   granted/refused code, plain
//   58 communication 1 + 3
//   62 display       1 + 3
//   66 reserved      1       0 in new records, kept on change
// Example: "ab" / "x" / "Setup", 07.12.24, only the display right granted:
//   02 3B 38 .. | 01 DF .. | 05 09 3F 2E 2F 2A .. | 08 "07.12.24" .. |
//   03 "DVN" | 03 "CMN" | 03 "DSY" | 00
// Characters are Latin-1, one byte each; unused bytes of a field are undefined.

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QList>
#include <QString>

#include <optional>

namespace accounts {

inline constexpr int kRecordSize = 67;
inline constexpr int kNameSize = 10;
inline constexpr int kPasswordSize = 10;
inline constexpr int kLevelSize = 15;
inline constexpr int kDateSize = 15;
inline constexpr int kCodeSize = 3;
inline constexpr int kNameAt = 0;
inline constexpr int kPasswordAt = kNameAt + 1 + kNameSize;
inline constexpr int kLevelAt = kPasswordAt + 1 + kPasswordSize;
inline constexpr int kDateAt = kLevelAt + 1 + kLevelSize;
inline constexpr int kDevicesAt = kDateAt + 1 + kDateSize;
inline constexpr int kCommunicationAt = kDevicesAt + 1 + kCodeSize;
inline constexpr int kDisplayAt = kCommunicationAt + 1 + kCodeSize;
inline constexpr int kReservedAt = kDisplayAt + 1 + kCodeSize;
static_assert(kReservedAt == 66 && kReservedAt + 1 == kRecordSize);
inline constexpr quint8 kNameMask = 0x5A;
inline constexpr quint8 kPasswordMask = 0xA7;
// Granted and refused code of each right; six distinct texts.
inline constexpr char kDevicesGranted[] = "DVY", kDevicesRefused[] = "DVN";
inline constexpr char kCommunicationGranted[] = "CMY", kCommunicationRefused[] = "CMN";
inline constexpr char kDisplayGranted[] = "DSY", kDisplayRefused[] = "DSN";

struct Account {
    QString name;
    QString password;
    QString level;
    QString registered;
    bool devices = false;
    bool communication = false;
    bool display = false;
    quint8 reserved = 0;
};

enum class AccessLevel { Administrator, Setup, Operator };

// "Administrator", "Setup" or "Operator", compared exactly; any other text
// counts as Operator, the least rights (the stored text stays as it is).
AccessLevel accessLevel(const QString &levelText);
bool isKnownLevel(const QString &levelText);
QString levelText(AccessLevel level);

// One record. Texts longer than their field are cut; characters outside
// Latin-1 become '?'. Rights are written as their granted or refused code.
QByteArray encodeRecord(const Account &account);
// Exactly kRecordSize bytes, else nothing. Length bytes over a field's
// capacity count as the capacity; a right is granted only by its exact code.
std::optional<Account> decodeRecord(QByteArrayView record);
// A stored record with the password, level and rights of `account`; every other
// byte (name, date, reserved, and the undefined tails of those fields) stays.
QByteArray changedRecord(QByteArray record, const Account &account);

// The registration date as stored in new records: the short date, at most 15 characters.
QString registrationText(const QDate &date);

// An installed program (below /usr): "Telvaro/files/users.dat" in the user's
// data folder (~/.local/share), for every user. Any other: "files/users.dat"
// beside the program when it exists (read-only or not), else the one in the
// user's data folder when that exists, else whichever of the two can be made.
// Creates nothing.
QString defaultAccountFile();
QString accountFilePath(const QString &programDir, const QString &userDataDir);

struct AccountList {
    enum class Status { Missing, Unreadable, Ok } status = Status::Missing;
    // In file order; a trailing partial record is not an account.
    QList<Account> accounts;
    QString error;         // why the file is unreadable
    bool readOnly = false; // readable, but this user cannot change it
};
AccountList readAccounts(const QString &path);

struct AccountResult {
    bool ok = false;
    // For the user when not ok; empty where nothing was refused out loud
    // (nothing to delete).
    QString message;
    // What happened, in words, for tools and logs (also when message is empty).
    QString detail;
};

enum class IfMissing { Refuse, Create };

// An account found by its exact (cut) name is rewritten in place: new password,
// level and rights; name, registration date and reserved byte kept. Otherwise
// it is appended with `today`. The last Administrator keeps its level.
// With IfMissing::Create a missing file is created (mode 0600, and its folder).
AccountResult addOrChange(const QString &path, Account account, const QDate &today,
                          IfMissing ifMissing = IfMissing::Refuse);
// Deletes the first account of that exact name and shifts the rest up. Nothing
// is deleted while the file holds no Administrator, nor the account "admin",
// nor the last Administrator.
AccountResult removeAccount(const QString &path, const QString &name);

// Every record whose name and password equal the given ones exactly, in file order.
QList<Account> matchLogin(const QList<Account> &accounts, const QString &user, const QString &password);

} // namespace accounts
