#pragma once
// Tests of the simulated display/concentrator: its commands and replies, the
// [display] block, its faults, how commands are told from frames and
// telegrams, and the real program answering display commands on every port.
//
// The replies are read back with the reading rules of the master (readers
// below): marker words and line positions, not our own formatting code.

#include "display.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>
#include <string>
#include <vector>

namespace displaytest {

// The reply's lines, split at CR LF, appended to a log that already holds a line.
QStringList logLines(const std::string &reply);

struct EntryValues {
    QString multDiv, start, unit, total;
};
// "Total pulses" within the last four lines; *m/d, then start and unit, then total.
EntryValues readEntry(const std::string &reply);
// "User #:" within the last two lines; the texts two characters after each ':'.
QStringList readUser(const std::string &reply);
// "Total pulses" within the last four lines; the total two lines below.
QString readTariffTotal(const std::string &reply);

struct HistoryValues {
    QString value;
    QByteArray month; // the three month bytes
    QByteArray year;  // "00": no record
};
// "Hist values" within the last six lines; the date line below, or four below after a T1 line.
HistoryValues readHistory(const std::string &reply);
// The month's number 1..12 in any of the three languages, 0 for none.
int monthIndex(const QByteArray &month);
// Both list formats: the marker line with the list after it, or alone with one address a line.
std::optional<QStringList> readAddresses(const std::string &reply);

// A display from bus file text, its clock standing still at 2026-03-14 09:05.
mbussim::Display display(const QByteArray &busText, std::vector<mbussim::DisplayFaultOption> faults = {},
                         std::uint32_t seed = 1);

} // namespace displaytest

class TestDisplay : public QObject {
    Q_OBJECT
private slots:
    // tst_display.cpp
    void commands_data();
    void commands();
    void writeThenRead_data();
    void writeThenRead();
    void addressList_data();
    void addressList();
    void monthNames();
    void oneMonthRecord_data();
    void oneMonthRecord();
    void randomCommands();

    // tst_displayfile.cpp
    void faults_data();
    void faults();
    void faultShare();
    void faultOptions_data();
    void faultOptions();
    void blockErrors_data();
    void blockErrors();
    void exampleBus();

    // tst_displaylink.cpp
    void splitter_data();
    void splitter();
    void gatewaySection();
    void ptyAndConverter_data();
    void ptyAndConverter();
    void gatewayServer();
    void gatewayConnect();
    void commandLine_data();
    void commandLine();
};
