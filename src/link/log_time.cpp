#include "log_time.h"

namespace {

// Drops the time-zone letters ('t' runs) outside quoted text, with the blanks
// that separated them.
QString withoutTimeZone(const QString &format)
{
    QString out;
    bool quoted = false;
    for (QChar c : format) {
        if (c == u'\'')
            quoted = !quoted;
        if (!quoted && c == u't')
            continue;
        out += c;
    }
    return out.simplified();
}

} // namespace

QString logTimeText(const QTime &time, const QLocale &locale)
{
    return locale.toString(time, withoutTimeZone(locale.timeFormat(QLocale::LongFormat)));
}

QString logDateText(const QDate &date, const QLocale &locale)
{
    return locale.toString(date, QLocale::ShortFormat);
}
