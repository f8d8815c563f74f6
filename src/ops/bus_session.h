#pragma once
// What the operations that walk the bus share: the link, the log, the device
// table, the options, the selected meter, and the rule that only one
// operation uses the bus at a time. It also applies a reading: log lines,
// detailed report, device table and selection.

#include "decode/device_table.h"
#include "link/bus_link.h"
#include "link/comm_log.h"
#include "link/user_rights.h"
#include "mbus/request.h"

#include <QByteArrayList>
#include <QDateTime>
#include <QObject>
#include <QStringList>

#include <functional>
#include <optional>

// The options an operation reads at the moment of use.
struct BusOptions {
    int retries = 1; // repeated requests per address or row, 0..9
    // Retries the user raised beyond the default are spent on silence too:
    // a scan or search asks a silent address or pattern again even on a bus
    // that has shown no loss. The default spends them where the bus gave a reason.
    bool retriesOnSilence() const { return retries >= 2; }
    bool use5B = false;      // REQ_UD2 with C = 5B
    bool globalInit = false; // SND_NKE to 255 before a scan
    bool sendNkeFirst = false;
    bool broadcast = false; // commands go to 254
    bool lsbSearch = false; // wildcard search from the rightmost digit
    int responseTimeoutMs = 500;
    // "Complete reply early": a reply is taken as soon as it is one whole
    // frame; the response timeout still bounds every wait.
    bool fastReads = false;
    // "Read all telegrams": a reply ending in DIF 1F is followed by a REQ_UD2
    // with the frame count bit toggled, up to 16 telegrams in one reading.
    bool allTelegrams = false;
    // "Standard bus timing" (serial route): no first byte within the
    // standard's window (the request's wire time, 330 bit times + 50 ms at
    // `baud`) plus the margin means silence; an answer that began is over
    // when it is a whole frame or the line was silent `silenceChars`
    // character times. The response timeout still bounds every wait.
    bool standardTiming = false;
    int timingMarginMs = 20;
    int silenceChars = 3;
    int baud = 2400;
};

// The telegrams of one reading as they came, and whether the meter still
// announced more when the reading ended.
struct Reading {
    QByteArrayList telegrams;
    bool complete = true;
};

class BusSession : public QObject {
    Q_OBJECT
public:
    // Telegrams one reading may take with "Read all telegrams".
    static constexpr int kMaxTelegrams = 16;

    BusSession(BusLink &link, CommLog &log, decode::DeviceTable &table, QObject *parent = nullptr);

    BusLink &link;
    CommLog &log;
    decode::DeviceTable &table;
    std::function<BusOptions()> options = [] { return BusOptions(); };
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };

    // One operation at a time. begin() refuses (with a log line) while
    // another runs; finish() ends it.
    bool begin();
    void finish();
    // The link went away: every running operation stops where it is.
    void abort();
    // Stop (or the program closes): whatever uses the bus ends now.
    void stopAll() { emit stopRequested(); }
    bool busy() const { return m_busy; }
    // The end is near (a service stops or reloads): the question under way
    // gets its answer, but no new question or repeat goes out; each one held
    // back says requestHeldBack().
    bool sendsNoMore = false;

    // The logged-in user's rights; permits() logs the refusal when one is missing.
    UserRights rights;
    bool permits(Right right);
    // Replies lost on this bus: walks do not trust silence until enough
    // answers in a row have come at the first try (a bus that loses one
    // reply in ten would almost surely have lost one of them).
    static constexpr int kCleanAnswersToTrust = 20;
    void noteLoss()
    {
        m_lostReplies = true;
        m_cleanAnswers = 0;
    }
    void noteCleanAnswer()
    {
        if (m_lostReplies && ++m_cleanAnswers >= kCleanAnswersToTrust)
            m_lostReplies = false;
    }
    bool trustsSilence() const { return !m_lostReplies; }
    // An answer began after the standard's answer window: the operation
    // under way uses the window no more.
    bool answerWindowTooShort = false;
    // An answer came after its response timeout: the operation under way
    // waits twice as long for every answer.
    bool answersComeLate = false;

    // The selected meter and its row (-1: none), and the current reading
    // (litres) kept for "Relay unit".
    const decode::MeterSelection &selected() const { return m_selected; }
    int selectedRow() const { return m_selectedRow; }
    QString relayValue;
    // A click on a table row.
    void selectRow(int row);
    // No meter selected (the table was cleared or its rows moved).
    void clearSelection();
    // The selection a reading (or the automatic addressing) makes; the
    // current row becomes the last row with its address.
    void showSelectedMeter(const decode::MeterSelection &selection);

    // Request targets. Writes: 254 on broadcast, else the selected address
    // when it is a decimal number 0..250; reads also reach 251..254.
    std::optional<int> writeTarget() const;
    std::optional<int> readTarget() const;
    QString selectedAddressText() const { return QString::fromStdString(m_selected.address.text()); }

    void logAcknowledge() { log.addLine(QStringLiteral("0xE5 (Acknowledge)")); }

    // Decodes a reading and applies it with the rule: the decoder's log
    // lines, the detailed report (fullReport), the device table and the
    // selection. Returns the validity flag of the decoded frame.
    bool applyReading(const Reading &reading, decode::RowRule rule, bool fullReport = false);

    mbus::Request readRequest(int address) const;

signals:
    void busyChanged(bool busy);
    void aborted();
    void stopRequested();
    void requestHeldBack();
    // Label texts and the row that becomes current (-1: keep the current row).
    void selectionChanged(const QString &id, const QString &address, int currentRow);
    void reportReady(const QStringList &lines);
    // A reading passed the frame tests and its header was decoded: its
    // telegrams (one, or several with "Read all telegrams"), as collected.
    void readingDecoded(const QByteArrayList &telegrams, bool complete);

private:
    void setSelection(const decode::MeterSelection &selection, int currentRow);

    bool m_busy = false;
    bool m_lostReplies = false;
    int m_cleanAnswers = 0;
    decode::MeterSelection m_selected;
    int m_selectedRow = -1;
};

// Bytes of a QByteArray as the protocol code takes them.
mbus::ByteView byteView(const QByteArray &bytes);
