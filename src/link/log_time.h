#pragma once
// Times and dates as the log, the printed log and the detailed report show
// them: the system's long time format (with seconds) and short date format.

#include <QDate>
#include <QLocale>
#include <QTime>

// The long time format without its time-zone name ("14:05:09", not "14:05:09 CET").
QString logTimeText(const QTime &time, const QLocale &locale = QLocale());
QString logDateText(const QDate &date, const QLocale &locale = QLocale());
