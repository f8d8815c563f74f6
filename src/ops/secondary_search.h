#pragma once
// Finding meters by their identification number: one meter by its full ID,
// or all of them by a wildcard search that narrows the ID digit by digit and
// descends one digit deeper wherever several meters answer at once. Every
// meter found is read at 253 and entered in the device table by its ID.
// Meters that share an ID are told apart by the medium, then the version
// byte of the selection.
//
// The whole pattern is asked first, so an empty bus costs one probe. Then
// one probe at a time: a selection and its wait, then, when something
// answered, a REQ_UD2 to 253 and one more wait.
//
// Retries are spent where the bus gave a reason. While the bus has shown no
// loss, a probe whose wait stayed silent holds no meter, a damaged reading is
// a collision (one level deeper), and a clean reading is the only meter under
// its pattern: on a clean bus nothing is asked twice. Loss is
//   - a reading that stays silent after its selection was answered (asked
//     again at once),
//   - bytes that came too late for their request, and
//   - a level whose patterns together hold fewer meters than the pattern
//     above it implies (one for an answered probe, two for a collision):
//     its patterns are asked again, once, with retries.
// The session remembers the loss for the walks after this one, until enough
// answers in a row have come clean.
// From the first loss on, every silent probe gets the full "Retries", a
// damaged reading is asked again before it counts as a collision, a clean
// reading is asked for a second time before it counts as the only meter, and
// at the end the probes found silent before the loss are asked again.
// The whole pattern always gets its retries: on a bus with meters it is
// answered at once, so they cost only an empty bus one more probe. So do the
// media and versions that tell meters sharing an ID apart: no other probe
// would notice a twin that lost its answer there.
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
    // keeps the table as it is. A routine reading of a meter known by its ID
    // (not discovery) reads it once, without looking for twins.
    void findById(const QString &idText, bool discovery = true);
    // The wildcard search; the confirmation is the caller's. clearTable empties
    // the device table once the link is ready. pattern (leftmost digit first,
    // kWildcardDigit for an open one) keeps its given digits throughout: only
    // IDs that have them are searched for.
    void startWildcard(bool clearTable, const std::array<std::uint8_t, 8> &pattern = kAllOpen);
    static constexpr std::array<std::uint8_t, 8> kAllOpen = {15, 15, 15, 15, 15, 15, 15, 15};

    // The pattern as the log shows it: the leftmost digit first, F for any digit.
    QString patternText() const;
    static QString cellsText(const std::array<std::uint8_t, 8> &cells);

private:
    enum class Wait { GlobalInit, Selection, Reading };
    enum class Kind { Digit, Medium, Version };
    struct Level {
        Kind kind = Kind::Digit;
        int cell = 0;        // Digit: 1 (least significant) .. 8 (leftmost)
        int value = 0;       // the digit, medium or version being tried
        int implied = 1;     // meters the pattern above must hold: 1 answered it, 2 collided
        int accountedAt = 0; // m_accounted when the level began
        bool secondLook = false;
        bool single = false; // only this value: a pattern looked at again
    };
    struct TrustedSilence {
        std::array<std::uint8_t, 8> cells;
        Level level;
    };

    void onStop() override;
    void portClosed();
    void foundById(SecondarySequence::Result result);
    void begin();
    void checkNext();
    void probe();
    void stepDone();
    void answered(const Answer &answer);
    void afterSelection(const Answer &answer);
    void afterReading(const Answer &answer);
    void collision();
    void pushLevel(Kind kind, int cell, int implied);
    // At the end of a level: fewer meters under it than the pattern above
    // implies starts its second look (true).
    bool lookAgain(Level &level);
    bool lookAgainAtTrusted();
    void lossSeen();
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
    std::vector<Level> m_levels;                 // the top level first, the deepest last
    QHash<QString, int> m_metersById;            // meters found, by ID
    QSet<QByteArray> m_found;                    // meters found, by ID, manufacturer, version and medium
    bool m_confirming = false;                   // the reading is asked for a second time
    bool m_collided = false;                     // a try of this probe's reading collided
    Reading m_pending;                           // the first answer, until the second one confirms it
    bool m_lossSeen = false;                     // silence is not trusted: the bus lost replies, now or before
    int m_accounted = 0;                         // meters found, and two for each pattern not told apart
    bool m_silenceTrusted = false;               // the probe under way takes silence as no meter
    std::vector<TrustedSilence> m_trustedSilent; // probes so taken while the bus looked clean
    bool m_lookingAgain = false;
    bool m_selectionSent = false; // a wildcard selection went out: a meter may be selected
};
