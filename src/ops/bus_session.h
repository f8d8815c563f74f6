#pragma once
// What the operations that walk the bus share: the link, the log, the device
// table, the response timers, the operation flags, the selected meter, and the
// rule that only one operation uses the bus at a time. It also applies a
// decoded reply: log lines, detailed report, device table and selection.

#include "decode/device_table.h"
#include "link/bus_link.h"
#include "link/comm_log.h"
#include "mbus/reply_kind.h"

#include <QByteArrayList>
#include <QDateTime>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <optional>
#include <vector>

// The options an operation reads at the moment of use.
struct BusOptions {
    int retries = 1;         // repeated requests per address or row, 0..9
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
    // The wildcard search takes its answers from whatever route is chosen,
    // not only from the serial port.
    bool searchAnyRoute = false;
};

// The response timers, owned by the window that shows their names.
struct BusTimers {
    QTimer &respond;     // single operations and the primary scan
    QTimer &secondary;   // the secondary-addressed sequence
    QTimer &readAll;     // the read-all walk
    QTimer &autoAddress; // the automatic addressing, 100 ms
};

class BusSession : public QObject {
    Q_OBJECT
public:
    // Telegrams one reading may take with "Read all telegrams".
    static constexpr int kMaxTelegrams = 16;

    BusSession(BusLink &link, CommLog &log, decode::DeviceTable &table, BusTimers timers, QObject *parent = nullptr);
    ~BusSession() override;

    BusLink &link;
    CommLog &log;
    decode::DeviceTable &table;
    BusTimers timers;
    std::function<BusOptions()> options = [] { return BusOptions(); };
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };

    // Operation flags.
    bool scanActive = false;
    bool secondaryReply = false;
    bool fullReportRequest = false;
    bool readAfterCommand = false;
    bool addressChangePending = false;
    bool autoAddressingActive = false;
    // Every stop and every start clears both, so no stale write follows.
    void clearPendingFlags() { readAfterCommand = addressChangePending = false; }

    // One operation at a time. begin() refuses (with a log line) while
    // another runs; finish() ends it (while the automatic addressing runs,
    // only the addressing itself ends it).
    bool begin();
    void finish();
    // The link went away: every running operation stops where it is.
    void abort();
    bool busy() const { return m_busy; }

    // The selected meter, and the current reading (litres) kept for "Relay unit".
    const decode::MeterSelection &selected() const { return m_selected; }
    int selectedRow() const { return m_selectedRow; }
    QString relayValue;
    // A click on a table row.
    void selectRow(int row);
    // No meter selected (the table was cleared or its rows moved).
    void clearSelection();
    // The selection a decoded reply (or the automatic addressing) makes; the
    // current row becomes the last row with its address.
    void showSelectedMeter(const decode::MeterSelection &selection);

    // Request targets. Writes: 254 on broadcast, else the selected address
    // when it is a decimal number 0..250; reads also reach 251..254.
    std::optional<int> writeTarget() const;
    std::optional<int> readTarget() const;
    QString selectedAddressText() const { return QString::fromStdString(m_selected.address); }

    void logAcknowledge() { log.addLine(QStringLiteral("0xE5 (Acknowledge)")); }

    // decodeReply on a collected reply, applied; returns its validity flag.
    // The earlier telegrams of a multi-telegram reading are decoded with it
    // into one reading.
    bool decodeReply(const QByteArray &reply);

    // Collect reply for the operations' response timers. With "Read all
    // telegrams" a reply that announces more records (DIF 1F) is kept and the
    // next telegram asked for: then nothing is returned and the operation
    // waits one more tick of its timer. A telegram that does not come is
    // asked for again with the same frame count bit (the meter repeats it),
    // as often as the retries allow; after that the reading ends with the
    // telegrams that came.
    std::optional<QByteArray> collectReply();

    // Sends one request; false (and a log line from the dispatch) when it did not leave.
    bool send(const mbus::Request &request);
    mbus::Request readRequest(int address) const;
    // SND_NKE or REQ_UD2, by "Send NKE first".
    mbus::Request firstRequest(int address) const;

signals:
    // The response timers' ticks, forwarded: their interval passed, or (with
    // "Complete reply early") the reply is complete. The operations run on these.
    void respondDue();
    void secondaryDue();
    void readAllDue();
    // The reply is complete while none of the three timers runs: for an
    // operation with a timer of its own.
    void replyCompleteEarly();

    void busyChanged(bool busy);
    void aborted();
    // Label texts and the row that becomes current (-1: keep the current row).
    void selectionChanged(const QString &id, const QString &address, int currentRow);
    void reportReady(const QStringList &lines);
    // A reply passed the frame tests and its header was decoded: the telegrams
    // of the reading (one, or several with "Read all telegrams"), as collected.
    void readingDecoded(const QList<QByteArray> &telegrams);

private:
    void setSelection(const decode::MeterSelection &selection, int currentRow);
    void takeReplyNow(quint64 request);
    void askTelegram(bool toggle);

    quint64 m_requests = 0;              // requests sent so far
    mbus::Bytes m_lastRequest;           // the frame of the last one
    std::vector<QByteArray> m_telegrams; // the reading's telegrams before the one awaited
    bool m_askingTelegram = false;
    int m_telegramRetry = 0;

    bool m_busy = false;
    decode::MeterSelection m_selected;
    int m_selectedRow = 0;
};

mbus::ReplyKind classify(const QByteArray &reply, bool readAll = false);

// Decimal text 0..max, nothing else.
std::optional<int> decimalAddress(const std::string &text, int max);
