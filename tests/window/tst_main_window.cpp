// The real main window, offscreen: settings at start and close, the log
// buttons, and a custom command answered by the simulator.

#include "about_box.h"
#include "config/ini_file.h"
#include "decode/decode.h"
#include "devices_page.h"
#include "link/link_dispatch.h"
#include "link/log_time.h"
#include "log_printer.h"
#include "main_window.h"
#include "mbus/frames.h"
#include "ops/bus_session.h"
#include "ops/custom_command.h"
#include "sim_process.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/inotify.h>

namespace {

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

int pdfPageCount(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    static const QRegularExpression page(QStringLiteral("/Type\\s*/Page[^s]"));
    return int(QString::fromLatin1(file.readAll()).count(page));
}

// A settings file whose serial port is the simulator's link.
QString settingsForSimulator(const QTemporaryDir &dir, SimProcess &sim, const QByteArray &mbus = {})
{
    const QString ini = dir.filePath(QStringLiteral("telvaro.ini"));
    writeFile(ini, mbus + "[Com port]\nName=" + sim.link().toLocal8Bit() + "\nSpeed=2400\nParity=Even\n");
    return ini;
}

} // namespace

class TstMainWindow : public QObject {
    Q_OBJECT
private slots:
    void firstRunGivesDefaultsAndCloseWritesFiveKeys();
    void outOfRangeValuesAreClamped_data();
    void outOfRangeValuesAreClamped();
    void closeWithoutWriteRightsWarns();
    void exitAsksFirst();
    void printedPages_data();
    void printedPages();
    void saveLog();
    void clearLog();
    void aboutBoxShowsPicture();
    void customCommandAgainstSimulator();
    void missingPortKeepsGoing();
    void repliesAreDecoded_data();
    void repliesAreDecoded();
    void logKeepsEveryLine_data();
    void logKeepsEveryLine();
    void logViewIsBounded();
    void storedLanguageIsKept_data();
    void storedLanguageIsKept();
    void timesHaveNoZoneName_data();
    void timesHaveNoZoneName();
    void startOpensNoPort();
    void longLinesWrap_data();
    void longLinesWrap();
    void setValueSaysWhatTheRegisterReads_data();
    void setValueSaysWhatTheRegisterReads();
};

void TstMainWindow::firstRunGivesDefaultsAndCloseWritesFiveKeys()
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("telvaro.ini"));
    {
        MainWindow window(ini);
        QCOMPARE(window.windowTitle(), QStringLiteral("Orvenna m-bus configuration and read utility"));
        QCOMPARE(window.devices->fromAddressBox->value(), 0);
        QCOMPARE(window.devices->toAddressBox->value(), 0);
        QCOMPARE(window.devices->timeoutBox->value(), 500);
        QCOMPARE(window.session().options().responseTimeoutMs, 500);
        QVERIFY(window.hexBox->isChecked());
        QVERIFY(!window.asciiBox->isChecked());
        QVERIFY(window.englishAction->isChecked());
        QCOMPARE(window.settings().com.name, QStringLiteral("COM1"));
        QCOMPARE(window.settings().com.speed, QStringLiteral("300"));
        QCOMPARE(window.settings().com.parity, QStringLiteral("Even"));
        QVERIFY(!QFile::exists(ini));

        window.devices->timeoutBox->setValue(700);
        QCOMPARE(window.session().options().responseTimeoutMs, 700);
        window.italianAction->trigger();
        window.show();
        QVERIFY(window.close());
    }
    IniFile written(ini);
    QVERIFY(written.load());
    QCOMPARE(written.readInteger(QStringLiteral("Mbus"), QStringLiteral("Timeout"), 0), 700);
    QCOMPARE(written.readInteger(QStringLiteral("Misc"), QStringLiteral("Language"), 0), 2);
    for (const char *key : {"SearchFrom", "SearchTo"})
        QVERIFY(written.hasKey(QStringLiteral("Mbus"), QString::fromLatin1(key)));
    QVERIFY(written.hasKey(QStringLiteral("Misc"), QStringLiteral("Dir")));
    QVERIFY(!written.hasKey(QStringLiteral("Com port"), QStringLiteral("Name")));
}

void TstMainWindow::outOfRangeValuesAreClamped_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<int>("timeout");
    QTest::newRow("too small") << QByteArray("[Mbus]\nSearchFrom=-4\nSearchTo=-1\nTimeout=50\n") << 0 << 0 << 300;
    QTest::newRow("too large") << QByteArray("[mbus]\nsearchfrom=300\nSEARCHTO=999\ntimeout=12000\n") << 255 << 255
                               << 9900;
    QTest::newRow("not numbers") << QByteArray("[Mbus]\nSearchFrom=one\nSearchTo=\nTimeout=5x\n") << 0 << 0 << 500;
    QTest::newRow("in range") << QByteArray("[Mbus]\nSearchFrom=1\nSearchTo=250\nTimeout=9900\n") << 1 << 250 << 9900;
    QTest::newRow("language 7 is English") << QByteArray("[Misc]\nLanguage=7\n") << 0 << 0 << 500;
}

void TstMainWindow::outOfRangeValuesAreClamped()
{
    QFETCH(QByteArray, content);
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(int, timeout);
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("telvaro.ini"));
    writeFile(ini, content);
    MainWindow window(ini);
    QCOMPARE(window.devices->fromAddressBox->value(), from);
    QCOMPARE(window.devices->toAddressBox->value(), to);
    QCOMPARE(window.devices->timeoutBox->value(), timeout);
    QVERIFY(window.englishAction->isChecked()
            != (window.italianAction->isChecked() || window.polishAction->isChecked()));
}

void TstMainWindow::closeWithoutWriteRightsWarns()
{
    // A folder that cannot exist (its parent is a file) fails even for root.
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("file")), "x");
    MainWindow window(dir.filePath(QStringLiteral("file/telvaro.ini")));
    QStringList warnings;
    window.showWarning = [&](const QString &caption, const QString &text) { warnings << caption << text; };
    window.show();
    QVERIFY(window.close());
    QCOMPARE(warnings, (QStringList{QStringLiteral("Saving settings"),
                                    QStringLiteral("Settings will not be saved, no write permission")}));
    QVERIFY(!window.isVisible());
}

void TstMainWindow::exitAsksFirst()
{
    QTemporaryDir dir;
    MainWindow window(dir.filePath(QStringLiteral("telvaro.ini")));
    QStringList asked;
    bool answer = false;
    window.askYesNo = [&](const QString &caption, const QString &text) {
        asked << caption << text;
        return answer;
    };
    window.show();
    window.exitAction->trigger();
    QCOMPARE(asked,
             (QStringList{QStringLiteral("Exit Confirmation"), QStringLiteral("Are you sure you want to exit?")}));
    QVERIFY(window.isVisible());
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("telvaro.ini"))));

    answer = true;
    window.polishAction->trigger();
    window.exitAction->trigger();
    QCOMPARE(asked.at(2), QStringLiteral("Potwierdzenie opuszczenia programu"));
    QVERIFY(!window.isVisible());
    QVERIFY(QFile::exists(dir.filePath(QStringLiteral("telvaro.ini"))));
}

void TstMainWindow::printedPages_data()
{
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("pages");
    QTest::newRow("empty log") << 0 << 1;
    QTest::newRow("35 lines") << 35 << 1;
    QTest::newRow("36 lines") << 36 << 2;
    QTest::newRow("37 lines") << 37 << 2;
    QTest::newRow("71 lines") << 71 << 3;
}

void TstMainWindow::printedPages()
{
    QFETCH(int, lines);
    QFETCH(int, pages);
    QTemporaryDir dir;
    MainWindow window(dir.filePath(QStringLiteral("telvaro.ini")));
    for (int i = 0; i < lines; ++i)
        window.addLine(QStringLiteral("line %1").arg(i + 1));
    const QString pdf = dir.filePath(QStringLiteral("log.pdf"));
    window.askPrinter = [&](QPrinter &printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return true;
    };
    QTest::mouseClick(window.printLogButton, Qt::LeftButton);
    QCOMPARE(pdfPageCount(pdf), pages);
}

void TstMainWindow::saveLog()
{
    QTemporaryDir dir;
    MainWindow window(dir.filePath(QStringLiteral("telvaro.ini")));
    window.addLine(QStringLiteral("first"));
    window.addLine(QString());
    window.addLine(QStringLiteral("Sent:10 7B 01 7C 16 "));
    QString proposed;
    const QString target = dir.filePath(QStringLiteral("saved.txt"));
    window.askSaveLogName = [&](const QString &name) {
        proposed = name;
        return target;
    };
    QTest::mouseClick(window.saveLogButton, Qt::LeftButton);
    QCOMPARE(proposed, window.settings().dir + QStringLiteral("log.txt"));
    QFile saved(target);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), QByteArray("first\n\nSent:10 7B 01 7C 16 \n"));
    saved.close();

    // A place that cannot be written: the line in the log, the log kept.
    const int lines = int(window.logLines().size());
    QVERIFY(!window.saveLogTo(dir.filePath(QStringLiteral("saved.txt/log.txt"))));
    QCOMPARE(window.logLines().size(), lines + 1);
    QCOMPARE(window.logLines().last(), QStringLiteral("Can not write file, no rights..."));
}

void TstMainWindow::clearLog()
{
    QTemporaryDir dir;
    MainWindow window(dir.filePath(QStringLiteral("telvaro.ini")));
    window.addLine(QStringLiteral("one"));
    QTest::mouseClick(window.clearLogButton, Qt::LeftButton);
    QVERIFY(window.logLines().isEmpty());
}

void TstMainWindow::aboutBoxShowsPicture()
{
    QTemporaryDir dir;
    MainWindow window(dir.filePath(QStringLiteral("telvaro.ini")));
    window.aboutAction->trigger();
    QVERIFY(window.aboutBox()->isVisible());
    QCOMPARE(window.aboutBox()->windowTitle(), QStringLiteral("Telvaro -> About"));
    QVERIFY(!window.aboutBox()->pictureLabel->pixmap().isNull());
}

void TstMainWindow::customCommandAgainstSimulator()
{
    SimProcess sim(SimProcess::demoBus());
    QVERIFY2(sim.isReady(), "mbus-sim did not start");
    QTemporaryDir dir;
    MainWindow window(settingsForSimulator(dir, sim, "[Mbus]\nTimeout=300\n"));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QTest::keyClicks(window.commandEdit, QStringLiteral("10 7B 01 7C 16"));
    QTest::mouseClick(window.sendCommandButton, Qt::LeftButton);
    const QString openLine = sim.link() + QStringLiteral(" - 2400,8,Even");
    QCOMPARE(window.logLines().value(0), openLine);
    QCOMPARE(window.portStatusLabel->text(), openLine);
    QVERIFY(window.customCommand().running());

    QTRY_COMPARE(window.logLines().size(), 2);
    const QString reply = window.logLines().at(1);
    QVERIFY2(QRegularExpression(QStringLiteral("^68 ([0-9A-F]{2}) \\1 68 08 01 72 ([0-9A-F]{2} )+16 $"))
                 .match(reply)
                 .hasMatch(),
             qPrintable(reply));
    QTRY_COMPARE(window.portStatusLabel->text(), sim.link() + QStringLiteral(" is closed"));
    QVERIFY(!window.dispatch().portOpen());
}

void TstMainWindow::missingPortKeepsGoing()
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("telvaro.ini"));
    writeFile(ini, "[Com port]\nName=COM250\n");
    MainWindow window(ini);
    window.commandEdit->setText(QStringLiteral("10 40 FE 3E 16"));
    QTest::mouseClick(window.sendCommandButton, Qt::LeftButton);
    QCOMPARE(window.logLines().size(), 1);
    QVERIFY(window.logLines().at(0).startsWith(QStringLiteral("The selected serial port (COM250) was not found!")));
    QCOMPARE(window.portStatusLabel->text(), QStringLiteral("COM250 is closed"));
    QVERIFY(!window.customCommand().running());
}

void TstMainWindow::repliesAreDecoded_data()
{
    QTest::addColumn<int>("address");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QStringList>("failureLines");
    QTest::newRow("meter 1") << 1 << true << QStringList();
    QTest::newRow("meter 3") << 3 << true << QStringList();
    // Every meter answers the broadcast at once: the replies collide.
    QTest::newRow("collision") << 254 << false << QStringList{QStringLiteral("Wrong CRC")};
}

void TstMainWindow::repliesAreDecoded()
{
    QFETCH(int, address);
    QFETCH(bool, valid);
    QFETCH(QStringList, failureLines);
    SimProcess sim(SimProcess::demoBus());
    QVERIFY2(sim.isReady(), "mbus-sim did not start");
    QTemporaryDir dir;
    MainWindow window(settingsForSimulator(dir, sim));

    LinkDispatch &link = window.dispatch();
    QVERIFY(link.beginLinkUse());
    QVERIFY(link.sendFrame(mbus::buildReqUd2(address, false)));
    QByteArray reply;
    // A long frame is complete when its stop byte sits where its length says.
    const auto complete = [&] {
        reply += link.collectReply();
        return reply.size() >= 6 && reply.size() >= quint8(reply[1]) + 6;
    };
    QTRY_VERIFY(complete());
    QCOMPARE(window.session().applyReading(Reading{{reply}}, decode::RowRule::ByAddress), valid);
    link.endLinkUse();

    const QStringList lines = window.logLines();
    int respond = -1;
    for (int i = 0; i < lines.size() && respond < 0; ++i)
        if (lines[i].startsWith(QStringLiteral("Respond: 68 ")))
            respond = i;
    QVERIFY2(respond > 0, qPrintable(lines.join(u'|')));
    QCOMPARE(lines.mid(respond + 1, failureLines.size()), failureLines);
    // Outside a scan a reply updates the row with its address only; the table is empty.
    QCOMPARE(window.deviceTable().rowCount(), 0);
}

// Every added line is one line of the log, an empty one too, in the memo,
// the saved file and the printout.
void TstMainWindow::logKeepsEveryLine_data()
{
    QTest::addColumn<QStringList>("added");
    QTest::addColumn<bool>("clearFirst");
    QTest::addColumn<QByteArray>("saved");
    QTest::addColumn<int>("pages");
    const QString empty;
    QTest::newRow("empty lines around one")
        << QStringList{empty, empty, QStringLiteral("x"), empty} << false << QByteArray("\n\nx\n\n") << 1;
    QTest::newRow("one empty line") << QStringList{empty} << false << QByteArray("\n") << 1;
    QTest::newRow("after a clear") << QStringList{empty, empty} << true << QByteArray("\n\n") << 1;
    QTest::newRow("36 empty lines print two pages") << QStringList(36, empty) << false << QByteArray(36, '\n') << 2;
    // A garbage reply's control bytes are shown, not written raw.
    QTest::newRow("control bytes as \\xNN")
        << QStringList{QString::fromLatin1("A\0B\x1F\x7F\tC", 7)} << false << QByteArray("A\\x00B\\x1F\\x7F\tC\n") << 1;
}

void TstMainWindow::logKeepsEveryLine()
{
    QFETCH(QStringList, added);
    QFETCH(bool, clearFirst);
    QFETCH(QByteArray, saved);
    QFETCH(int, pages);
    QTemporaryDir dir;
    MainWindow window(dir.filePath(QStringLiteral("telvaro.ini")));
    if (clearFirst) {
        window.addLine(QStringLiteral("before"));
        QTest::mouseClick(window.clearLogButton, Qt::LeftButton);
    }
    for (const QString &line : added)
        window.addLine(line);
    QCOMPARE(window.logLines().join(u'\n').toUtf8() + '\n', saved);
    QCOMPARE(window.logView->document()->blockCount(), added.size());

    const QString file = dir.filePath(QStringLiteral("log.txt"));
    QVERIFY(window.saveLogTo(file));
    QFile in(file);
    QVERIFY(in.open(QIODevice::ReadOnly));
    QCOMPARE(in.readAll(), saved);

    const QString pdf = dir.filePath(QStringLiteral("log.pdf"));
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    QCOMPARE(window.printLogTo(printer), pages);
}

// A flood of lines: the oldest tenth goes at once, a line says so, the
// newest line is still last.
void TstMainWindow::logViewIsBounded()
{
    QTemporaryDir dir;
    MainWindow window(dir.filePath(QStringLiteral("telvaro.ini")));
    for (int i = 1; i <= MainWindow::kMaxLogLines + 1; ++i)
        window.addLine(QString::number(i));
    const QStringList lines = window.logLines();
    QCOMPARE(lines.size(), MainWindow::kMaxLogLines - MainWindow::kMaxLogLines / 10 + 2);
    QCOMPARE(lines.first(), QStringLiteral("(older lines were removed: the log keeps the last 200000 lines)"));
    QCOMPARE(lines.at(1), QString::number(MainWindow::kMaxLogLines / 10 + 1));
    QCOMPARE(lines.last(), QString::number(MainWindow::kMaxLogLines + 1));
}

// A language the program does not know shows English but stays in the file
// until the user picks one.
// clang-format off
void TstMainWindow::storedLanguageIsKept_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<int>("picked"); // 0: none
    QTest::addColumn<QString>("written");
    QTest::newRow("unknown kept") << QByteArray("7") << 0 << "7";
    QTest::newRow("zero kept") << QByteArray("0") << 0 << "0";
    QTest::newRow("Polish kept") << QByteArray("3") << 0 << "3";
    QTest::newRow("unknown, then Italian picked") << QByteArray("7") << 2 << "2";
}
// clang-format on

void TstMainWindow::storedLanguageIsKept()
{
    QFETCH(QByteArray, stored);
    QFETCH(int, picked);
    QFETCH(QString, written);
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("telvaro.ini"));
    writeFile(ini, "[Misc]\nLanguage=" + stored + "\n");
    {
        MainWindow window(ini);
        const Language shown = stored == "3" ? Language::Polish : Language::English;
        QCOMPARE(window.language(), shown);
        QCOMPARE(window.englishAction->isChecked(), shown == Language::English);
        if (picked == 2)
            window.italianAction->trigger();
        QVERIFY(window.close());
    }
    IniFile file(ini);
    QVERIFY(file.load());
    QCOMPARE(file.readString(QStringLiteral("Misc"), QStringLiteral("Language"), QString()), written);
}

// The long time format with its seconds, but without a time-zone name, in
// any locale: the detailed report's "Decoded at " line and the printout.
// clang-format off
void TstMainWindow::timesHaveNoZoneName_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("expected");
    QTest::newRow("German") << "de_DE" << "14:05:09";
    QTest::newRow("Polish") << "pl_PL" << "14:05:09";
    QTest::newRow("Italian") << "it_IT" << "14:05:09";
    QTest::newRow("US English") << "en_US" << "2:05:09\u202FPM";
    QTest::newRow("British English") << "en_GB" << "14:05:09";
}
// clang-format on

void TstMainWindow::timesHaveNoZoneName()
{
    QFETCH(QString, locale);
    QFETCH(QString, expected);
    QString text = logTimeText(QTime(14, 5, 9), QLocale(locale));
    text.replace(u' ', u'\u202F'); // CLDR versions differ in the blank before AM/PM
    QCOMPARE(text, expected);
}

// Building the windows (the port list among them) opens no serial device.
void TstMainWindow::startOpensNoPort()
{
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    QVERIFY(watch >= 0);
    int watched = 0;
    for (const QString &name : QDir(QStringLiteral("/dev"))
                                   .entryList({QStringLiteral("ttyS*"), QStringLiteral("ttyUSB*"),
                                               QStringLiteral("ttyACM*"), QStringLiteral("ttyAMA*")},
                                              QDir::System))
        watched += ::inotify_add_watch(watch, QFile::encodeName(QStringLiteral("/dev/") + name).constData(), IN_OPEN)
                   >= 0;
    if (watched == 0) {
        ::close(watch);
        QSKIP("no serial device on this machine");
    }
    QTemporaryDir dir;
    MainWindow window(dir.filePath(QStringLiteral("telvaro.ini")));
    char events[4096];
    QCOMPARE(::read(watch, events, sizeof events), ssize_t(-1));
    ::close(watch);
}

// A long line (a reply telegram) goes on in the next printed rows: nothing is
// cut at the margin, no row is wider than the page, the page rule stays.
void TstMainWindow::longLinesWrap_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("pages");
    QString telegram = QStringLiteral("Respond: ");
    for (int i = 0; i < 255; ++i)
        telegram += QStringLiteral("%1 ").arg(i, 2, 16, QLatin1Char('0')).toUpper();
    QTest::newRow("one telegram") << QStringList{telegram} << 1;
    QTest::newRow("no blanks to cut at") << QStringList{QString(600, u'x')} << 1;
    QTest::newRow("short lines keep the 35-line rule") << QStringList(36, QStringLiteral("line")) << 2;
    QTest::newRow("a page of telegrams goes on") << QStringList(35, telegram) << -1;
}

void TstMainWindow::longLinesWrap()
{
    QFETCH(QStringList, lines);
    QFETCH(int, pages);
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(40);
    const QFontMetricsF metrics(font);
    const QSizeF page(4960, 7016); // A4 at 600 dpi
    const double width = page.width() - (LogPrintLayout::kLeft + LogPrintLayout::kRight) * page.width() / 210;

    const QList<QList<PrintedRow>> layout = layoutPrintedLog(lines, metrics, page);
    QString printed;
    for (const QList<PrintedRow> &rows : layout) {
        for (const PrintedRow &row : rows) {
            printed += row.text;
            QVERIFY2(metrics.horizontalAdvance(row.text) <= width, qPrintable(row.text));
            QVERIFY(row.y <= page.height());
        }
    }
    QCOMPARE(printed, lines.join(QString()));
    if (pages > 0)
        QCOMPARE(layout.size(), pages);
    else
        QVERIFY(layout.size() > 1);
    QVERIFY(wrapPrintedLine(lines.first(), metrics, width).size() >= (lines.first().size() > 100 ? 2 : 1));
}

QTEST_MAIN(TstMainWindow)
#include "tst_main_window.moc"

// clang-format off
void TstMainWindow::setValueSaysWhatTheRegisterReads_data()
{
    QTest::addColumn<QString>("unit"); // the selected meter's row; "broadcast": no meter
    QTest::addColumn<QString>("litres");
    QTest::addColumn<QString>("question"); // after "Write <litres> l to "; empty: nothing asked
    QTest::newRow("water meter") << "m3" << "21400" << "meter 12345678? Its register will then read 21.4 m3.";
    QTest::newRow("under one") << "m3" << "7" << "meter 12345678? Its register will then read 0.007 m3.";
    QTest::newRow("heat meter") << "kWh" << "21400" << "meter 12345678? The value is written in litres: its register, now in kWh, will then read 21.4 m3.";
    QTest::newRow("unit unknown") << "" << "3000" << "meter 12345678? Its register will then read 3 m3.";
    QTest::newRow("broadcast") << "broadcast" << "1500" << "every meter (broadcast)? Their registers will then read 1.5 m3.";
    QTest::newRow("no value") << "m3" << "" << "";
}
// clang-format on

// "Set value to:" writes litres: the field shows it, and the question says
// what the meter's register will read; No sends nothing.
void TstMainWindow::setValueSaysWhatTheRegisterReads()
{
    QFETCH(QString, unit);
    QFETCH(QString, litres);
    QFETCH(QString, question);
    QTemporaryDir dir;
    MainWindow window(dir.filePath(QStringLiteral("telvaro.ini")));
    window.deviceTable().appendRow({"12345678", "5", "ZRI", "45.327", unit.toStdString(), "Water"});
    window.session().selectRow(0);
    window.devices->broadcastBox->setChecked(unit == QLatin1String("broadcast"));
    window.devices->valueEdit->setText(litres);
    QStringList asked;
    window.askYesNo = [&](const QString &caption, const QString &text) {
        asked << caption + u'|' + text;
        return false;
    };
    window.devices->setValueButton->click();
    QCOMPARE(asked,
             question.isEmpty() ? QStringList() : QStringList{"Set value|Write " + litres + " l to " + question});
    QCOMPARE(window.devices->valueUnitLabel->text(), QStringLiteral("litres"));
    QVERIFY(!window.session().busy());
}
