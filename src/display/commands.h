#pragma once
// The display/concentrator's plain-text commands: a verb, a space, a keyword,
// and for most "=" with comma-separated arguments. No terminator, no
// checksum. Display text is in the Windows-1251 code page.
//
//   SET ENTR=7      SET UNIT=7,2      SET INIT=7,1234.5     GET HIST=7,3

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

namespace display {

// Text <-> the display's code page.
QByteArray toDisplayBytes(const QString &text);
QString fromDisplayBytes(const QByteArray &bytes);

// Commands without arguments.
inline const QByteArray kGetAddr = "GET ADDR";
inline const QByteArray kGetMain = "GET MAIN";
inline const QByteArray kGetServ = "GET SERV";
inline const QByteArray kSetLock = "SET LOCK";
inline const QByteArray kSetSort = "SET SORT";
inline const QByteArray kSetRead = "SET READ";

// "KEYW=" + arguments, e.g. command("SET ENTR", {"7"}).
QByteArray command(const char *verbAndKeyword, const QStringList &arguments);

// "SET DATE=dd/mm/yy" and "SET TIME=hh:mm" for a moment of the PC's clock.
QByteArray dateCommand(const QDate &date);
QByteArray timeCommand(const QTime &time);

// "SET REFR=nn": 4..12 seconds only, two digits; nothing for anything else.
std::optional<QByteArray> refreshCommand(const QString &text);

// A device address 1..250 as typed in the table, nothing else.
std::optional<int> deviceAddress(const QString &text);

// Unit cell -> unit code: "kWh" 1, "m3" (also "m3 ") 2, "kJ" 3, "MJ" 4, empty ""; anything else refused.
std::optional<QString> unitCode(const QString &cell);

// "m/d" -> multiplier and divider: empty "1","1"; no "/" s,"1"; "/d" "1",d;
// "m/" m,"1"; otherwise the parts around the first "/".
struct MultDiv {
    QString multiplier;
    QString divider;
};
MultDiv splitMultDiv(const QString &cell);

// A start value: commas become points; an empty cell or a text that is still
// no number gives nothing (it must not be sent: 0 would wipe the display's
// value). 0 is sent only where 0 was typed.
std::optional<QString> startValue(const QString &cell);

// Free text: at most 20 characters, an empty one as a single space.
QString freeText(const QString &cell);

} // namespace display
