#include "commands.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QStringList>

namespace display {

namespace {
constexpr const char *kCodePage = "windows-1251";
}

QByteArray toDisplayBytes(const QString &text)
{
    QStringEncoder encoder(kCodePage);
    return encoder.isValid() ? QByteArray(encoder(text)) : text.toLatin1();
}

QString fromDisplayBytes(const QByteArray &bytes)
{
    QStringDecoder decoder(kCodePage);
    return decoder.isValid() ? QString(decoder(bytes)) : QString::fromLatin1(bytes);
}

QByteArray command(const char *verbAndKeyword, const QStringList &arguments)
{
    return QByteArray(verbAndKeyword) + '=' + toDisplayBytes(arguments.join(u','));
}

QByteArray dateCommand(const QDate &date)
{
    return "SET DATE=" + date.toString(QStringLiteral("dd/MM/")).toLatin1()
           + QByteArray::number(date.year() - 2000).rightJustified(2, '0');
}

QByteArray timeCommand(const QTime &time)
{
    return "SET TIME=" + time.toString(QStringLiteral("hh:mm")).toLatin1();
}

std::optional<QByteArray> refreshCommand(const QString &text)
{
    bool ok = false;
    const int seconds = text.trimmed().toInt(&ok);
    if (!ok || seconds < 4 || seconds > 12)
        return std::nullopt;
    return "SET REFR=" + QByteArray::number(seconds).rightJustified(2, '0');
}

std::optional<int> deviceAddress(const QString &text)
{
    if (text.isEmpty() || text.size() > 3)
        return std::nullopt;
    for (QChar c : text)
        if (c < u'0' || c > u'9')
            return std::nullopt;
    const int value = text.toInt();
    if (value < 1 || value > 250)
        return std::nullopt;
    return value;
}

std::optional<QString> unitCode(const QString &cell)
{
    if (cell.isEmpty())
        return QString();
    if (cell == QLatin1String("kWh"))
        return QStringLiteral("1");
    if (cell == QLatin1String("m3") || cell == QLatin1String("m3 "))
        return QStringLiteral("2");
    if (cell == QLatin1String("kJ"))
        return QStringLiteral("3");
    if (cell == QLatin1String("MJ"))
        return QStringLiteral("4");
    return std::nullopt;
}

MultDiv splitMultDiv(const QString &cell)
{
    const QString one = QStringLiteral("1");
    const qsizetype slash = cell.indexOf(u'/');
    if (cell.isEmpty())
        return {one, one};
    if (slash < 0)
        return {cell, one};
    if (slash == 0)
        return {one, cell.size() > 1 ? cell.mid(1) : one};
    if (slash == cell.size() - 1)
        return {cell.left(slash), one};
    return {cell.left(slash), cell.mid(slash + 1)};
}

std::optional<QString> startValue(const QString &cell)
{
    QString value = cell.trimmed();
    value.replace(u',', u'.');
    static const QRegularExpression number(QStringLiteral("^[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)$"));
    if (!number.match(value).hasMatch())
        return std::nullopt;
    return value;
}

QString freeText(const QString &cell)
{
    return cell.isEmpty() ? QStringLiteral(" ") : cell.left(20);
}

} // namespace display
