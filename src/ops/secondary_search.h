#pragma once
// Finding meters by their identification number: one meter by its full ID,
// or all of them by a wildcard search that narrows the ID digit by digit and
// descends one digit deeper wherever several meters answer at once. Every
// meter found is read at 253 and entered in the device table by its ID.
// Meters that share an ID are told apart by the medium, then the version
// byte of the selection.
//
// The whole pattern is asked first, so an empty bus costs one probe. Then
// one probe at a time: a selection and one response timeout (asked again as
// "Retries" says when nothing answers), then, when something answered, a
// REQ_UD2 to 253 and one more timeout (asked again when the answer is
// damaged, before it counts as a collision).
//
//   selection 68 0B 0B 68 53 FD 52 FF FF FF 3F FF FF FF FF .. 16  ("3FFFFFFF")

#include "operation.h"
#include "secondary_sequence.h"

#include <QHash>
#include <QSet>

#include <array>
#include <vector>

class SecondarySearch : public Operation {
    Q_OBJECT
public:
    explicit SecondarySearch(BusSession &session, QObject *parent = nullptr);

    // "Find" with a complete ID: select and read that meter. An ID with F
    // digits (or FFFFFFFF) is a pattern for the wildcard search, which then
    // keeps the table as it is.
    void findById(const QString &idText);
    // The wildcard search; the confirmation is the caller's. clearTable empties
    // the device table once the link is ready. pattern (leftmost digit first,
    // kWildcardDigit for an open one) keeps its given digits throughout: only
    // IDs that have them are searched for.
    void startWildcard(bool clearTable, const std::array<std::uint8_t, 8> &pattern = kAllOpen);
    static constexpr std::array<std::uint8_t, 8> kAllOpen = {15, 15, 15, 15, 15, 15, 15, 15};

    // The pattern as the log shows it: the leftmost digit first, F for any digit.
    QString patternText() const;

private:
    enum class Wait { GlobalInit, Selection, Reading };
    enum class Kind { Digit, Medium, Version };
    struct Level {
        Kind kind = Kind::Digit;
        int cell = 0;  // Digit: 1 (least significant) .. 8 (leftmost)
        int value = 0; // the digit, medium or version being tried
    };

    void onStop() override;
    void foundById(SecondarySequence::Result result);
    void begin();
    void checkNext();
    void probe();
    void stepDone();
    void answered(const Answer &answer);
    void afterSelection(const Answer &answer);
    void afterReading(const Answer &answer);
    void collision();
    void take(const Reading &reading);
    static QByteArray meterKey(const Reading &reading);
    void finishSearch();
    // The next cell the search may choose a digit for, after `cell` in the
    // search's direction (0: from the start); 0 when there is none.
    int nextOpenCell(int cell) const;
    std::string idPattern() const;
    int lastValue(Kind kind) const;

    SecondarySequence m_sequence;
    QTimer m_globalInit{this};
    Wait m_wait = Wait::Selection;
    bool m_byId = false;
    QString m_findId; // the ID "Find" looks for
    bool m_lsbFirst = false;
    int m_progress = 0;
    std::array<std::uint8_t, 8> m_cells{};          // m_cells[0] is cell 1
    std::array<std::uint8_t, 8> m_fixed = kAllOpen; // the given digits, as m_cells
    std::uint8_t m_medium = 0xFF;
    std::uint8_t m_version = 0xFF;
    std::vector<Level> m_levels;      // the top level first, the deepest last
    QHash<QString, int> m_metersById; // meters found, by ID
    QSet<QByteArray> m_found;         // meters found, by ID, manufacturer, version and medium
    bool m_confirming = false;        // the reading is asked for a second time
    bool m_collided = false;          // a try of this probe's reading collided
    Reading m_pending;                // the first answer, until the second one confirms it
};
