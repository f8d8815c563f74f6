#include "parsers.h"

#include "commands.h"
#include "display_table.h"

#include <QRegularExpression>

#include <algorithm>
#include <array>

namespace display {

namespace {

const QString kAddressMarker = QStringLiteral("Active devices: ");

// From the first digit of a line up to the next space (or the end).
QString numberFrom(const QString &line, QString *rest = nullptr)
{
    qsizetype start = 0;
    while (start < line.size() && !line.at(start).isDigit())
        ++start;
    if (start >= line.size())
        return {};
    qsizetype end = line.indexOf(u' ', start);
    if (end < 0)
        end = line.size();
    if (rest)
        *rest = end < line.size() ? line.mid(end + 1) : QString();
    return line.mid(start, end - start);
}

// The last line (of the last `within` lines) holding the marker; -1 when none.
qsizetype findFromEnd(const QStringList &lines, const QString &marker, qsizetype within)
{
    for (qsizetype i = lines.size() - 1; i >= 0 && i >= lines.size() - within; --i)
        if (lines[i].contains(marker))
            return i;
    return -1;
}

void addAddress(AddressList &list, const QString &text)
{
    if (list.addresses.size() >= kMaxRows)
        return;
    if (deviceAddress(text))
        list.addresses << text;
    else if (!text.isEmpty())
        list.logLines << QStringLiteral("Address %1 is no device address 1..250, passed over").arg(text.left(20));
}

void addRange(AddressList &list, const QString &lo, const QString &hi)
{
    bool okLo = false, okHi = false;
    const qulonglong from = lo.toULongLong(&okLo), to = hi.toULongLong(&okHi);
    if (!okLo || !okHi || to < from)
        return; // a reversed or broken range is dropped
    // Only 1..250 can be in the list, whatever the range says.
    for (qulonglong a = std::max<qulonglong>(from, 1); a <= std::min<qulonglong>(to, kMaxRows); ++a)
        addAddress(list, QString::number(a));
}

} // namespace

QStringList replyLines(const QByteArray &reply)
{
    QString text = fromDisplayBytes(reply);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    QStringList lines = text.split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

AddressList parseAddressList(const QByteArray &reply)
{
    AddressList list;
    // Keep the walk bounded whatever a peer sends.
    const QStringList lines = replyLines(reply.left(1024 * 1024));
    qsizetype marker = -1;
    for (qsizetype i = lines.size() - 1; i >= 0 && marker < 0; --i)
        if (lines[i].contains(kAddressMarker))
            marker = i;
    if (marker < 0)
        return list;
    list.found = true;
    const QString &line = lines[marker];
    const QString after = line.mid(line.indexOf(kAddressMarker) + kAddressMarker.size());
    if (!after.trimmed().isEmpty()) {
        // TEV-K40: items and ranges on the marker line.
        QString low, high;
        bool inRange = false;
        const QString walk = after + u',';
        for (QChar c : walk) {
            if (c == u'-') {
                inRange = true;
            } else if (c == u',' || c == u'\r') {
                if (inRange)
                    addRange(list, low.trimmed(), high.trimmed());
                else
                    addAddress(list, low.trimmed());
                low.clear();
                high.clear();
                inRange = false;
            } else {
                (inRange ? high : low) += c;
            }
        }
    } else {
        // RUX: one address per line below the marker.
        for (qsizetype i = marker + 1; i < lines.size(); ++i)
            addAddress(list, lines[i].trimmed());
    }
    return list;
}

std::optional<Entry> parseEntry(const QByteArray &reply)
{
    const QStringList lines = replyLines(reply);
    const qsizetype t = findFromEnd(lines, QStringLiteral("Total pulses"), 4);
    if (t < 0)
        return std::nullopt;
    Entry e;
    const QString &first = lines[t];
    const qsizetype star = first.indexOf(u'*');
    if (star >= 0) {
        qsizetype end = first.indexOf(u' ', star + 1);
        e.multDiv = first.mid(star + 1, end < 0 ? -1 : end - star - 1);
    }
    if (t + 1 < lines.size() && lines[t + 1].size() > 2)
        e.start = numberFrom(lines[t + 1], &e.unit);
    if (t + 2 < lines.size() && lines[t + 2].size() > 2)
        e.total = numberFrom(lines[t + 2]);
    return e;
}

std::optional<User> parseUser(const QByteArray &reply)
{
    const QStringList lines = replyLines(reply);
    const qsizetype u = findFromEnd(lines, QStringLiteral("User #:"), 2);
    if (u < 0)
        return std::nullopt;
    const auto afterColon = [](const QString &line) {
        const qsizetype colon = line.indexOf(u':');
        return colon < 0 ? QString() : line.mid(colon + 2);
    };
    User user;
    user.number = afterColon(lines[u]);
    if (u + 1 < lines.size())
        user.text = afterColon(lines[u + 1]);
    return user;
}

std::optional<Tariff> parseTariff(const QByteArray &reply)
{
    const QStringList lines = replyLines(reply);
    const qsizetype t = findFromEnd(lines, QStringLiteral("Total pulses"), 4);
    if (t < 0 || t + 2 >= lines.size())
        return std::nullopt;
    Tariff tariff;
    if (lines[t + 1].size() > 2)
        tariff.start = numberFrom(lines[t + 1]);
    tariff.total = numberFrom(lines[t + 2]);
    return tariff;
}

std::optional<QString> replyDevice(const QByteArray &reply)
{
    static const QRegularExpression device(QStringLiteral("^Device (\\d{1,9})\\b"));
    for (const QString &line : replyLines(reply.left(4096))) {
        const QRegularExpressionMatch match = device.match(line);
        if (match.hasMatch())
            return match.captured(1);
    }
    return std::nullopt;
}

std::optional<HistoryRecord> parseHistory(const QByteArray &reply, QString *logLine)
{
    const QStringList lines = replyLines(reply);
    if (lines.size() <= 1)
        return std::nullopt;
    const qsizetype h = findFromEnd(lines, QStringLiteral("Hist values"), 6);
    if (h < 0)
        return std::nullopt;
    HistoryRecord record;
    const qsizetype colon = lines[h].indexOf(u':');
    record.value = colon < 0 ? QString() : lines[h].mid(colon + 1).remove(u' ');
    qsizetype dateLine = h + 1;
    if (dateLine < lines.size() && lines[dateLine].contains(QStringLiteral("T1")))
        dateLine = h + 4;
    const QString date = dateLine < lines.size() ? lines[dateLine] : QString();
    const qsizetype slash = date.indexOf(u'/');
    if (slash < 0 || date.size() < slash + 7) {
        if (logLine)
            *logLine = QStringLiteral("Unrecognizable month value, returned by TEV...");
        return std::nullopt;
    }
    record.month = date.mid(slash + 1, 3);
    const QString year = date.mid(slash + 5, 2);
    record.empty = year.trimmed().isEmpty() || year == QLatin1String("00");
    if (record.month == QLatin1String("   "))
        record.month = QStringLiteral("Dec");
    record.column = monthColumn(record.month);
    // The display's clock runs 2000..2099: two year digits say the year.
    const auto digits = [](const QString &text) {
        const auto ascii = [](QChar c) { return c >= u'0' && c <= u'9'; };
        return text.size() == 2 && ascii(text[0]) && ascii(text[1]) ? text.toInt() : -1;
    };
    const int yy = digits(year);
    if (!record.empty && record.column != 0 && yy >= 0) {
        const int month = record.column - HistFirstMonth + 1;
        const QDate day(2000 + yy, month, std::max(1, digits(slash >= 2 ? date.mid(slash - 2, 2) : QString())));
        record.date = day.isValid() ? day : QDate(2000 + yy, month, 1);
    }
    return record;
}

int monthColumn(const QString &month)
{
    static const std::array<QStringList, 3> names{{
        {QStringLiteral("Jan"), QStringLiteral("Feb"), QStringLiteral("Mar"), QStringLiteral("Apr"),
         QStringLiteral("May"), QStringLiteral("Jun"), QStringLiteral("Jul"), QStringLiteral("Aug"),
         QStringLiteral("Sep"), QStringLiteral("Oct"), QStringLiteral("Nov"), QStringLiteral("Dec")},
        {QString::fromUtf8("Яну"), QString::fromUtf8("Фев"), QString::fromUtf8("Мар"), QString::fromUtf8("Апр"),
         QString::fromUtf8("Май"), QString::fromUtf8("Юни"), QString::fromUtf8("Юли"), QString::fromUtf8("Авг"),
         QString::fromUtf8("Сеп"), QString::fromUtf8("Окт"), QString::fromUtf8("Ное"), QString::fromUtf8("Дек")},
        {QStringLiteral("Gen"), QStringLiteral("Feb"), QStringLiteral("Mar"), QStringLiteral("Apr"),
         QStringLiteral("Mag"), QStringLiteral("Giu"), QStringLiteral("Lug"), QStringLiteral("Ago"),
         QStringLiteral("Set"), QStringLiteral("Ott"), QStringLiteral("Nov"), QStringLiteral("Dic")},
    }};
    if (month == QLatin1String("Noe"))
        return 20;
    for (const QStringList &language : names) {
        const qsizetype i = language.indexOf(month);
        if (i >= 0)
            return 10 + int(i);
    }
    return 0;
}

int historyRecordFor(int firstColumn, int wantedColumn)
{
    if (firstColumn == wantedColumn)
        return 1;
    return firstColumn < wantedColumn ? wantedColumn - firstColumn + 1 : wantedColumn - firstColumn + 13;
}

} // namespace display
