#pragma once
// Reading values out of the display's replies. Each parser takes only the
// reply it is given (never what was logged before it), finds its marker and
// takes the texts at the positions the display puts them.
//
//   GET ADDR      Active devices: 1-3,7,10-9,12            (TEV-K40: on the marker line)
//                 Active devices: \r\n4\r\n9                (RUX: one address per line)
//   GET ENTR=a,1  Total pulses *10/1\r\n1234.5 m3\r\nTotal 4567.8
//   GET ENTR=a,2  User #: 12\r\nText: Flat 3
//   GET TARR=a,k  Total pulses ...\r\nStart: 1.5 m3\r\nTotal 12.5
//   GET HIST=a,k  Hist values: 123.4\r\n 01/Mar/26 ...

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>

#include <optional>

namespace display {

inline constexpr int kMaxRows = 250;

// The reply's lines as the log shows them (a final line break adds no line).
QStringList replyLines(const QByteArray &reply);

struct AddressList {
    bool found = false;    // a marker line was there
    QStringList addresses; // 1..250 only, at most 250
    QStringList logLines;  // what was passed over
};
AddressList parseAddressList(const QByteArray &reply);

struct Entry {
    QString multDiv;
    QString start;
    QString unit;
    QString total;
};
std::optional<Entry> parseEntry(const QByteArray &reply);

struct User {
    QString number;
    QString text;
};
std::optional<User> parseUser(const QByteArray &reply);

// A secondary counter: the start line below the marker and the total below that.
struct Tariff {
    QString start;
    QString total;
};
std::optional<Tariff> parseTariff(const QByteArray &reply);

// The device a reply names in its first line that begins "Device " followed
// by a number ("Device 3, record 11"); nothing when no line names one.
std::optional<QString> replyDevice(const QByteArray &reply);

struct HistoryRecord {
    QString value;
    QString month;      // "Jan".., "Dec" for three spaces
    int column = 0;     // history table column 10 (Jan) .. 21 (Dec); 0 when the month is none of the table
    bool empty = false; // year "00" or none: nothing to write
    QDate date;         // the record's day ("31/Jan/26"); the 1st when the day is unreadable; none without a year
};
// Nothing when no "Hist values" line is there; logLine says when a date line was unreadable.
std::optional<HistoryRecord> parseHistory(const QByteArray &reply, QString *logLine = nullptr);

// Month text -> history column: English ("Noe" is November too), Cyrillic,
// Italian; exact; anything else 0.
int monthColumn(const QString &month);

// The record to ask for when record 1 is from column first and the month
// wanted is column wanted (both 10..21): 1..12.
int historyRecordFor(int firstColumn, int wantedColumn);

} // namespace display
