// The settings dialog, offscreen: the route boxes and the other box rules, the
// live copy, what each "Apply" writes and in which order, the unwritable file,
// the title fields, the drop-downs and a layout that clips nothing.

#include "../app/settings_test_support.h"
#include "archive/reading_archive.h"
#include "settings_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabWidget>
#include <QTranslator>
#include <QtTest>

#include <sys/stat.h>

using namespace settings_test;

namespace {

// The dialog on a settings file of the test's own folder, with the live
// settings loaded as the main window loads them.
struct Rig {
    explicit Rig(const QByteArray &content = {})
    {
        path = dir.filePath(QStringLiteral("telvaro.ini"));
        if (!content.isEmpty())
            writeFile(path, content);
        IniFile ini(path);
        ini.load();
        live = loadSettings(ini, kDefaultDir);
        dialog = std::make_unique<SettingsDialog>(live, path);
        dialog->showWarning = [this](const QString &caption, const QString &text) { warnings << caption << text; };
    }
    template <typename T>
    T *find(const QString &name) const
    {
        return dialog->findChild<T *>(name);
    }
    QCheckBox *box(const QString &name) const { return find<QCheckBox>(name); }
    QStringList fileLines() const { return QString::fromUtf8(readFile(path)).split(u'\n', Qt::SkipEmptyParts); }

    QTemporaryDir dir;
    QString path;
    Settings live;
    std::unique_ptr<SettingsDialog> dialog;
    QStringList warnings;
};

// "[Section]" lines as they are, key lines as their key name.
QStringList keysOf(const QStringList &lines)
{
    QStringList keys;
    for (const QString &line : lines)
        keys << (line.startsWith(u'[') ? line : line.section(u'=', 0, 0));
    return keys;
}

// Every caption comes back marked, so a text that skips tr() stands out.
class MarkingTranslator : public QTranslator {
public:
    QString translate(const char *context, const char *source, const char *, int) const override
    {
        return qstrcmp(context, "SettingsDialog") == 0 ? QStringLiteral("@") + QString::fromUtf8(source) : QString();
    }
    bool isEmpty() const override { return false; }
};

} // namespace

class TstSettingsDialog : public QObject {
    Q_OBJECT
private slots:
    void routeBoxes_data();
    void routeBoxes();
    void pairedBoxes_data();
    void pairedBoxes();
    void liveCopy_data();
    void liveCopy();
    void inputFilters_data();
    void inputFilters();
    void titleCountEnablesFirstFields_data();
    void titleCountEnablesFirstFields();
    void cancelKeepsTypedValuesUntilNextShowing();
    void applyWritesEveryKeyInOrder();
    void titlesApplyWritesAndCopies();
    void titlesAppliedTellsSecondaryMainChange_data();
    void titlesAppliedTellsSecondaryMainChange();
    void unwritableFileWarns_data();
    void unwritableFileWarns();
    void dropDownsOpenAtCurrentValue_data();
    void dropDownsOpenAtCurrentValue();
    void portFieldsFollowPort();
    void longPortPathKept();
    void windowAndLayout();
    void captionsAreTranslatable();
    void archiveTestSaysWhatIsThere();
};

// Clicks on the route boxes, and files a user edited by hand with several
// routes set: at most one box stays checked (on loading, the route the
// dispatch would take), and the groups follow it.
void TstSettingsDialog::routeBoxes_data()
{
    QTest::addColumn<QByteArray>("misc"); // route keys in the file
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<QString>("checked"); // the one box left checked, or empty
    QTest::addColumn<bool>("remote");     // remoteGroup enabled
    QTest::addColumn<bool>("listen");     // listenGroup enabled

    const QString x = QStringLiteral("Check_xport"), v = QStringLiteral("Check_velk_server"),
                  e = QStringLiteral("Check_ethernet");
    const QByteArray none;
    QTest::newRow("converter") << none << QStringList{x} << x << true << false;
    QTest::newRow("gateway client") << none << QStringList{v} << v << true << false;
    QTest::newRow("listen") << none << QStringList{e} << e << false << true;
    QTest::newRow("gateway client over converter") << none << QStringList{x, v} << v << true << false;
    QTest::newRow("converter over gateway client") << none << QStringList{v, x} << x << true << false;
    QTest::newRow("listen over converter") << none << QStringList{x, e} << e << false << true;
    QTest::newRow("listen over gateway client") << none << QStringList{v, e} << e << false << true;
    QTest::newRow("converter over listen") << none << QStringList{e, x} << x << true << false;
    QTest::newRow("gateway client over listen") << none << QStringList{e, v} << v << true << false;
    QTest::newRow("listen cleared: serial") << none << QStringList{e, e} << QString() << false << false;
    QTest::newRow("converter cleared") << none << QStringList{x, x} << QString() << false << false;
    QTest::newRow("gateway client cleared") << none << QStringList{v, v} << QString() << false << false;
    QTest::newRow("switch twice, then clear") << none << QStringList{e, x, v, v} << QString() << false << false;
    QTest::newRow("stored: all three") << QByteArray("UseLANXP=1\nVelkServer=1\nUseEthernet=1\n") << QStringList{} << e
                                       << false << true;
    QTest::newRow("stored: converter and gateway client")
        << QByteArray("UseLANXP=1\nVelkServer=1\n") << QStringList{} << v << true << false;
    QTest::newRow("stored: converter") << QByteArray("UseLANXP=1\n") << QStringList{} << x << true << false;
    QTest::newRow("stored: listen, then cleared")
        << QByteArray("UseEthernet=1\n") << QStringList{e} << QString() << false << false;
}

void TstSettingsDialog::routeBoxes()
{
    QFETCH(QByteArray, misc);
    QFETCH(QStringList, clicks);
    QFETCH(QString, checked);
    QFETCH(bool, remote);
    QFETCH(bool, listen);
    Rig rig("[Misc]\n" + misc);
    rig.dialog->show();
    for (const QString &name : clicks)
        rig.box(name)->click();
    for (QCheckBox *route :
         {rig.dialog->converterRouteBox, rig.dialog->gatewayClientRouteBox, rig.dialog->listenRouteBox})
        QCOMPARE(route->isChecked(), route->objectName() == checked);
    QCOMPARE(rig.dialog->remoteGroup->isEnabled(), remote);
    QCOMPARE(rig.dialog->listenGroup->isEnabled(), listen);
    QCOMPARE(rig.live.route.useConverter, checked == QLatin1String("Check_xport"));
    QCOMPARE(rig.live.route.useGatewayClient, checked == QLatin1String("Check_velk_server"));
    QCOMPARE(rig.live.route.useListen, checked == QLatin1String("Check_ethernet"));
}

// MSB/LSB: always exactly one. Auto read display/M-Bus: at most one.
// clang-format off
void TstSettingsDialog::pairedBoxes_data()
{
    QTest::addColumn<QByteArray>("content"); // more keys of [Misc], or further sections
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<QString>("expected"); // MSB LSB autotev autombus as 0/1

    const QByteArray none;
    QTest::newRow("defaults") << none << QStringList{} << "1010";
    QTest::newRow("clearing MSB checks LSB") << none << QStringList{"Check_MSB"} << "0110";
    QTest::newRow("checking LSB clears MSB") << none << QStringList{"Check_LSB"} << "0110";
    QTest::newRow("clearing LSB checks MSB") << none << QStringList{"Check_LSB", "Check_LSB"} << "1010";
    QTest::newRow("file with neither") << QByteArray("MSBSearch=0\nLSBSearch=0\n") << QStringList{} << "1010";
    QTest::newRow("file with both") << QByteArray("MSBSearch=1\nLSBSearch=1\n") << QStringList{} << "0110";
    QTest::newRow("file with LSB") << QByteArray("MSBSearch=0\nLSBSearch=1\n") << QStringList{} << "0110";
    QTest::newRow("M-Bus clears display") << none << QStringList{"Check_autombus"} << "1001";
    QTest::newRow("display clears M-Bus") << none << QStringList{"Check_autombus", "Check_autotev"} << "1010";
    QTest::newRow("both may be clear") << none << QStringList{"Check_autotev"} << "1000";
    QTest::newRow("clearing M-Bus leaves display clear") << none << QStringList{"Check_autombus", "Check_autombus"}
                                                         << "1000";
    QTest::newRow("file with both auto reads") << QByteArray("[Ethernet]\nAutoDisplay=1\nAutoMbus=1\n") << QStringList{}
                                               << "1001";
}
// clang-format on

void TstSettingsDialog::pairedBoxes()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, clicks);
    QFETCH(QString, expected);
    Rig rig("[Misc]\nUseEthernet=1\n" + content); // the auto read boxes sit in the listen group
    rig.dialog->show();
    for (const QString &name : clicks)
        rig.box(name)->click();
    const QCheckBox *boxes[] = {rig.dialog->msbFirstBox, rig.dialog->lsbFirstBox, rig.dialog->autoReadDisplayBox,
                                rig.dialog->autoReadMbusBox};
    QString actual;
    for (const QCheckBox *b : boxes)
        actual += b->isChecked() ? u'1' : u'0';
    QCOMPARE(actual, expected);
    const QString fromLive = QString(rig.live.msbSearch ? u'1' : u'0') + (rig.live.lsbSearch ? u'1' : u'0')
                             + (rig.live.autoDisplay ? u'1' : u'0') + (rig.live.autoMbus ? u'1' : u'0');
    QCOMPARE(fromLive, expected);
}

// A change of one control changes its one setting at once, and nothing else;
// the titles page changes nothing until its "Apply".
// clang-format off
void TstSettingsDialog::liveCopy_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("input"); // typed text, spin value, or empty for a click
    QTest::addColumn<QString>("key");   // empty: the live settings must not change
    QTest::addColumn<QString>("value");

    QTest::newRow("port name") << "Combo_com_name" << "/dev/ttyUSB3" << "Com port/Name" << "/dev/ttyUSB3";
    QTest::newRow("speed") << "Combo_com_speed" << "9600" << "Com port/Speed" << "9600";
    QTest::newRow("parity") << "Combo_com_parity" << "Odd" << "Com port/Parity" << "Odd";
    QTest::newRow("RTS") << "Check_rts" << "" << "Com port/RTS" << "1";
    QTest::newRow("DTR") << "Check_dtr" << "" << "Com port/DTR" << "1";
    QTest::newRow("remote IP") << "Edit_lanxp_ip" << "10.0.0.7" << "LANXP/IP" << "10.0.0.7";
    QTest::newRow("remote port") << "Edit_lanxp_port" << "4001" << "LANXP/Port" << "4001";
    QTest::newRow("ethernet timeout") << "UD_eth_timeout" << "120" << "LANXP/EthTimeout" << "120";
    QTest::newRow("network number") << "Edit_net_number" << "1.2.3.4" << "LANXP/NetNumber" << "1.2.3.4";
    QTest::newRow("listen port") << "Edit_tcp_port" << "40000" << "Ethernet/Port" << "40000";
    QTest::newRow("auto open") << "Check_open_tcp" << "" << "Ethernet/AutoOpen" << "0";
    QTest::newRow("retries") << "UD_retry_read" << "7" << "Misc/Retry" << "7";
    QTest::newRow("separator") << "Edit_export_separator" << "," << "Misc/ExportSeparator" << ",";
    QTest::newRow("global init") << "Global_init" << "" << "Misc/GlobalInit" << "1";
    QTest::newRow("5B") << "Check_5B" << "" << "Misc/Use5B" << "1";
    QTest::newRow("encoding") << "Check_unicode" << "" << "Misc/Encoding" << "1";
    QTest::newRow("generation code") << "Edit_genCode" << "31" << "Misc/GenCode" << "31";
    QTest::newRow("complete reply early") << "Check_fast_reads" << "" << "Misc/FastReads" << "1";
    QTest::newRow("read all telegrams") << "Check_all_telegrams" << "" << "Misc/AllTelegrams" << "1";
    QTest::newRow("standard bus timing turned off") << "Check_standard_timing" << "" << "Misc/StandardTiming" << "0";
    QTest::newRow("timing margin") << "UD_timing_margin" << "55" << "Misc/TimingMargin" << "55";
    QTest::newRow("archive") << "Check_archive" << "" << "Archive/Enabled" << "0";
    QTest::newRow("archive location") << "Edit_archive" << "postgresql://meter@db/readings" << "Archive/Location" << "postgresql://meter@db/readings";
    QTest::newRow("title count") << "UD_addValues" << "5" << "" << "";
    QTest::newRow("title") << "Edit1" << "Energy" << "" << "";
    QTest::newRow("secondary main") << "Check_secMain" << "" << "" << "";
    QTest::newRow("secondary main title") << "Edit_secMain" << "Volume" << "" << "";
}
// clang-format on

void TstSettingsDialog::liveCopy()
{
    QFETCH(QString, control);
    QFETCH(QString, input);
    QFETCH(QString, key);
    QFETCH(QString, value);
    Rig rig("[Titles]\nCount=13\n[Misc]\nUseLANXP=1\n");
    rig.dialog->show();
    QMap<QString, QString> expected = flatten(rig.live);
    QWidget *widget = rig.find<QWidget>(control);
    QVERIFY(widget);
    if (auto *combo = qobject_cast<QComboBox *>(widget)) {
        combo->lineEdit()->clear();
        QTest::keyClicks(combo->lineEdit(), input);
    } else if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
        edit->parentWidget()->setEnabled(true); // only to type: the route groups start disabled
        edit->setEnabled(true);
        edit->clear();
        QTest::keyClicks(edit, input);
    } else if (auto *spin = qobject_cast<QSpinBox *>(widget)) {
        spin->setValue(input.toInt());
    } else if (auto *check = qobject_cast<QCheckBox *>(widget)) {
        check->parentWidget()->setEnabled(true);
        check->click();
    }
    if (!key.isEmpty())
        expected[key] = value;
    compareAll(flatten(rig.live), expected);
}

// clang-format off
void TstSettingsDialog::inputFilters_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");

    QTest::newRow("remote port: digits, five") << "Edit_lanxp_port" << "1a0-0 0123" << "10001";
    QTest::newRow("listen port: digits, five") << "Edit_tcp_port" << "5x9.6+1 5 9" << "59615";
    QTest::newRow("remote address: host names and IPv6") << "Edit_lanxp_ip" << "gw_1.example.com/24 [::1]" << "gw1.example.com24[::1]";
    QTest::newRow("network number: digits and dots") << "Edit_net_number" << "1.2,3.4 abc" << "1.23.4";
    QTest::newRow("generation code: two digits") << "Edit_genCode" << "2a7b9" << "27";
    QTest::newRow("separator: one character") << "Edit_export_separator" << "|;" << "|";
    QTest::newRow("title: fifteen characters") << "Edit13" << "Heat energy total" << "Heat energy tot";
    QTest::newRow("secondary main title") << "Edit_secMain" << "Volume flow rate" << "Volume flow rat";
    QTest::newRow("speed: six characters") << "Combo_com_speed" << "1152000" << "115200";
    QTest::newRow("ethernet timeout: not typed") << "Edit_eth_timeout" << "7" << "50";
}
// clang-format on

void TstSettingsDialog::inputFilters()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    Rig rig("[Titles]\nCount=13\n");
    rig.dialog->show();
    rig.dialog->secondaryMainBox->setChecked(true);
    auto *combo = rig.find<QComboBox>(field);
    QLineEdit *edit = combo ? combo->lineEdit() : rig.find<QLineEdit>(field);
    QVERIFY(edit);
    edit->parentWidget()->setEnabled(true); // the route groups start disabled
    if (!edit->isReadOnly())
        edit->clear();
    QTest::keyClicks(edit, typed);
    QCOMPARE(edit->text(), kept);
}

void TstSettingsDialog::titleCountEnablesFirstFields_data()
{
    QTest::addColumn<int>("count");
    QTest::newRow("none") << 0;
    QTest::newRow("four") << 4;
    QTest::newRow("all") << 13;
}

void TstSettingsDialog::titleCountEnablesFirstFields()
{
    QFETCH(int, count);
    for (bool fromFile : {false, true}) {
        Rig rig(fromFile ? "[Titles]\nCount=" + QByteArray::number(count) + '\n' : QByteArray("[Titles]\nCount=9\n"));
        if (!fromFile)
            rig.dialog->titleCountBox->setValue(count);
        for (int i = 0; i < SettingsDialog::kTitleFields; ++i)
            QVERIFY2(rig.dialog->titleEdit(i)->isEnabled() == (i < count), qPrintable(QString::number(i + 1)));
        QVERIFY(!rig.dialog->secondaryMainEdit->isEnabled());
        rig.dialog->secondaryMainBox->click();
        QVERIFY(rig.dialog->secondaryMainEdit->isEnabled());
    }
}

void TstSettingsDialog::cancelKeepsTypedValuesUntilNextShowing()
{
    Rig rig("[Titles]\nCount=2\nTitle1=Energy\n");
    SettingsDialog &d = *rig.dialog;
    d.show();
    d.listenRouteBox->click();
    d.listenPortEdit->clear();
    QTest::keyClicks(d.listenPortEdit, "4000");
    d.title1Edit->setText(QStringLiteral("Power"));

    QTest::mouseClick(d.portCancelButton, Qt::LeftButton);
    QVERIFY(!d.isVisible());
    QCOMPARE(readFile(rig.path), QByteArray("[Titles]\nCount=2\nTitle1=Energy\n"));
    // Still in effect until the next showing.
    QVERIFY(d.listenRouteBox->isChecked() && rig.live.route.useListen);
    QCOMPARE(rig.live.listenPort, QStringLiteral("4000"));
    QCOMPARE(d.title1Edit->text(), QStringLiteral("Power"));
    QCOMPARE(rig.live.titles[0], QStringLiteral("Energy"));

    d.show();
    QVERIFY(!d.listenRouteBox->isChecked() && !d.listenGroup->isEnabled() && !rig.live.route.useListen);
    QCOMPARE(d.listenPortEdit->text(), QStringLiteral("59615"));
    QCOMPARE(rig.live.listenPort, QStringLiteral("59615"));
    QCOMPARE(d.title1Edit->text(), QStringLiteral("Energy"));

    // "Close" of the titles page is the same.
    d.title1Edit->setText(QStringLiteral("Power"));
    QTest::mouseClick(d.titlesCloseButton, Qt::LeftButton);
    QVERIFY(!d.isVisible());
    QCOMPARE(rig.live.titles[0], QStringLiteral("Energy"));
    QCOMPARE(readFile(rig.path), QByteArray("[Titles]\nCount=2\nTitle1=Energy\n"));
}

void TstSettingsDialog::applyWritesEveryKeyInOrder()
{
    Rig rig;
    SettingsDialog &d = *rig.dialog;
    QSignalSpy applied(&d, &SettingsDialog::applied);
    QSignalSpy titles(&d, &SettingsDialog::titlesApplied);
    d.show();
    d.gatewayClientRouteBox->click();
    d.retriesBox->setValue(3);
    d.unicodeBox->click();
    d.fastReadsBox->click();
    d.remoteIpEdit->setText(QStringLiteral("10.1.2.3"));
    QTest::mouseClick(d.portApplyButton, Qt::LeftButton);

    QCOMPARE(applied.count(), 1);
    QCOMPARE(titles.count(), 0);
    QVERIFY(!d.isVisible());
    QVERIFY(rig.warnings.isEmpty());
    const QStringList lines = rig.fileLines();
    QCOMPARE(keysOf(lines), QStringList({"[Com port]",
                                         "Name",
                                         "Speed",
                                         "Parity",
                                         "RTS",
                                         "DTR",
                                         "[Misc]",
                                         "ExportSeparator",
                                         "Retry",
                                         "UseEthernet",
                                         "UseLANXP",
                                         "VelkServer",
                                         "Use5B",
                                         "GlobalInit",
                                         "MSBSearch",
                                         "LSBSearch",
                                         "Encoding",
                                         "GenCode",
                                         "FastReads",
                                         "AllTelegrams",
                                         "StandardTiming",
                                         "TimingMargin",
                                         "[Ethernet]",
                                         "Port",
                                         "AutoOpen",
                                         "AutoDisplay",
                                         "AutoMbus",
                                         "[LANXP]",
                                         "IP",
                                         "Port",
                                         "NetNumber",
                                         "EthTimeout",
                                         "[Archive]",
                                         "Enabled",
                                         "Location"}));
    for (const char *line :
         {"Name=COM1", "Speed=300", "Parity=Even", "Retry=3", "VelkServer=1", "UseLANXP=0", "Encoding=1", "GenCode=27",
          "FastReads=1", "AllTelegrams=0", "StandardTiming=1", "TimingMargin=20", "Port=59615", "IP=10.1.2.3",
          "Port=10001", "EthTimeout=50", "Enabled=1"})
        QVERIFY2(lines.contains(QLatin1String(line)), line);
}

void TstSettingsDialog::titlesApplyWritesAndCopies()
{
    Rig rig;
    SettingsDialog &d = *rig.dialog;
    d.show();
    d.titleCountBox->setValue(2);
    d.title1Edit->setText(QStringLiteral("Energy"));
    d.title13Edit->setText(QStringLiteral("Last"));
    d.secondaryMainBox->click();
    d.secondaryMainEdit->setText(QStringLiteral("Volume"));
    rig.live.retry = 8; // the titles page must not write other keys
    QTest::mouseClick(d.titlesApplyButton, Qt::LeftButton);

    QVERIFY(!d.isVisible());
    QStringList expectedKeys{"[Titles]", "Count"};
    for (int i = 1; i <= 13; ++i)
        expectedKeys << QStringLiteral("Title%1").arg(i);
    expectedKeys << QStringLiteral("SecMain") << QStringLiteral("[Misc]") << QStringLiteral("SMain");
    const QStringList lines = rig.fileLines();
    QCOMPARE(keysOf(lines), expectedKeys);
    for (const char *line : {"SMain=1", "Count=2", "Title1=Energy", "Title2=", "Title13=Last", "SecMain=Volume"})
        QVERIFY2(lines.contains(QLatin1String(line)), line);
    QCOMPARE(rig.live.titleCount, 2);
    QCOMPARE(rig.live.titles[0], QStringLiteral("Energy"));
    QCOMPARE(rig.live.titles[12], QStringLiteral("Last"));
    QCOMPARE(rig.live.titles[13], QStringLiteral("Volume"));
    QVERIFY(rig.live.secondaryMain);
}

void TstSettingsDialog::titlesAppliedTellsSecondaryMainChange_data()
{
    QTest::addColumn<bool>("before");
    QTest::addColumn<bool>("click");
    QTest::addColumn<bool>("changed");
    QTest::newRow("switched on") << false << true << true;
    QTest::newRow("switched off") << true << true << true;
    QTest::newRow("stays off") << false << false << false;
    QTest::newRow("stays on") << true << false << false;
}

void TstSettingsDialog::titlesAppliedTellsSecondaryMainChange()
{
    QFETCH(bool, before);
    QFETCH(bool, click);
    QFETCH(bool, changed);
    Rig rig(before ? "[Misc]\nSMain=1\n" : "[Misc]\nSMain=0\n");
    QSignalSpy spy(rig.dialog.get(), &SettingsDialog::titlesApplied);
    rig.dialog->show();
    if (click)
        rig.dialog->secondaryMainBox->click();
    QCOMPARE(rig.live.secondaryMain, before); // not live before "Apply"
    rig.dialog->titlesApplyButton->click();
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toBool(), changed);
    QCOMPARE(rig.live.secondaryMain, before != click);
}

// clang-format off
void TstSettingsDialog::unwritableFileWarns_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("communication page") << "BitBtn1";
    QTest::newRow("titles page") << "BitBtn3";
}
// clang-format on

void TstSettingsDialog::unwritableFileWarns()
{
    QFETCH(QString, button);
    const QByteArray old = "[Misc]\nRetry=2\n";
    Rig rig(old);
    QVERIFY(::chmod(QFile::encodeName(rig.path).constData(), 0444) == 0);
    QSignalSpy applied(rig.dialog.get(), &SettingsDialog::applied);
    QSignalSpy titles(rig.dialog.get(), &SettingsDialog::titlesApplied);
    rig.dialog->show();
    rig.dialog->retriesBox->setValue(6);
    rig.dialog->titleCountBox->setValue(3);
    rig.find<QPushButton>(button)->click();

    QCOMPARE(rig.warnings, (QStringList{QStringLiteral("Saving settings"),
                                        QStringLiteral("Settings will not be saved, no write permission")}));
    QVERIFY(!rig.dialog->isVisible());
    QCOMPARE(readFile(rig.path), old);
    // The steps after the box still run: the values are in effect for this run.
    QCOMPARE(applied.count() + titles.count(), 1);
    QCOMPARE(rig.live.retry, 6);
    QCOMPARE(rig.live.titleCount, button == QLatin1String("BitBtn3") ? 3 : 0);
}

// clang-format off
void TstSettingsDialog::dropDownsOpenAtCurrentValue_data()
{
    QTest::addColumn<QByteArray>("com");
    QTest::addColumn<QString>("combo");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("text");
    QTest::newRow("speed 2400") << QByteArray("Speed=2400") << "Combo_com_speed" << 1 << "2400";
    QTest::newRow("speed 19200") << QByteArray("Speed=19200") << "Combo_com_speed" << 4 << "19200";
    QTest::newRow("speed not listed") << QByteArray("Speed=1200") << "Combo_com_speed" << -1 << "1200";
    QTest::newRow("parity Odd") << QByteArray("Parity=Odd") << "Combo_com_parity" << 2 << "Odd";
    QTest::newRow("parity None") << QByteArray("Parity=None") << "Combo_com_parity" << 0 << "None";
    QTest::newRow("parity in other case") << QByteArray("Parity=odd") << "Combo_com_parity" << -1 << "odd";
    QTest::newRow("port path") << QByteArray("Name=/dev/serial/by-id/usb-FTDI_FT232R-if00") << "Combo_com_name" << -1
                               << "/dev/serial/by-id/usb-FTDI_FT232R-if00";
}
// clang-format on

void TstSettingsDialog::dropDownsOpenAtCurrentValue()
{
    QFETCH(QByteArray, com);
    QFETCH(QString, combo);
    QFETCH(int, index);
    QFETCH(QString, text);
    Rig rig;
    auto *box = rig.find<QComboBox>(combo);
    box->setCurrentIndex(3); // left somewhere else by the user
    writeFile(rig.path, "[Com port]\n" + com + '\n');
    rig.dialog->show();
    QCOMPARE(box->currentIndex(), index);
    QCOMPARE(box->currentText(), text);
    QCOMPARE(flatten(rig.live).value(QLatin1String("Com port/") + com.left(com.indexOf('='))), text);
}

void TstSettingsDialog::portFieldsFollowPort()
{
    Rig rig;
    SettingsDialog &d = *rig.dialog;
    QVERIFY(!d.openPortButton->isVisibleTo(&d));
    for (bool open : {false, true, false}) {
        d.setPortFieldsEnabled(!open);
        d.show(); // reloading must not free the fields of an open port
        for (QWidget *field : std::initializer_list<QWidget *>{d.portNameCombo, d.speedCombo, d.parityCombo})
            QCOMPARE(field->isEnabled(), !open);
        QCOMPARE(d.openPortButton->text(), open ? QStringLiteral("Disconnect") : QStringLiteral("Connect to port"));
        d.hide();
    }
}

// On top, no close box, not modal, centred; at its natural size a 40-character
// port path fits, and on both pages every caption gets the room it asks for.
// Real /dev/serial/by-id names are 60-90 characters: a 100-character path
// survives every showing of the dialog and its apply.
void TstSettingsDialog::longPortPathKept()
{
    const QString portPath = QStringLiteral("/dev/serial/by-id/") + QString(82, u'x');
    QCOMPARE(portPath.size(), 100);
    Rig rig("[Com port]\nName=" + portPath.toUtf8() + '\n');
    SettingsDialog &d = *rig.dialog;
    for (int showing = 0; showing < 2; ++showing) {
        d.show();
        QCOMPARE(d.portNameCombo->currentText(), portPath);
        d.hide();
    }
    d.show();
    QTest::mouseClick(d.portApplyButton, Qt::LeftButton);
    QCOMPARE(rig.live.com.name, portPath);
    QVERIFY(rig.fileLines().contains(QStringLiteral("Name=") + portPath));
}

void TstSettingsDialog::windowAndLayout()
{
    const QString portPath = QStringLiteral("/dev/serial/by-id/usb-Prolific_2303-port");
    QCOMPARE(portPath.size(), 40);
    Rig rig("[Com port]\nName=" + portPath.toUtf8() + '\n');
    SettingsDialog &d = *rig.dialog;
    QCOMPARE(d.windowTitle(), QStringLiteral("Telvaro -> Settings"));
    QVERIFY(d.windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(!(d.windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint)));
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    QVERIFY(!d.isModal());
    QVERIFY((d.frameGeometry().center() - d.screen()->availableGeometry().center()).manhattanLength() <= 2);
    QVERIFY(d.width() >= d.minimumSizeHint().width() && d.height() >= d.minimumSizeHint().height());
    QLineEdit *name = d.portNameCombo->lineEdit();
    QVERIFY(name->width() >= name->fontMetrics().horizontalAdvance(portPath));

    for (int page = 0; page < d.pages->count(); ++page) {
        d.pages->setCurrentIndex(page);
        QApplication::processEvents();
        for (QWidget *w : d.pages->widget(page)->findChildren<QWidget *>()) {
            if (!w->isVisibleTo(&d) || !(qobject_cast<QLabel *>(w) || qobject_cast<QAbstractButton *>(w)))
                continue;
            const QString what = w->objectName().isEmpty() ? w->property("text").toString() : w->objectName();
            QVERIFY2(w->width() >= w->sizeHint().width(), qPrintable(what));
            QVERIFY2(w->height() >= w->minimumSizeHint().height(), qPrintable(what));
            // Inside its parent, not cut off by the parent's edge.
            QVERIFY2(w->parentWidget()->rect().contains(w->geometry()), qPrintable(what));
        }
    }
}

void TstSettingsDialog::captionsAreTranslatable()
{
    Rig rig;
    SettingsDialog &d = *rig.dialog;
    MarkingTranslator marks;
    QVERIFY(QCoreApplication::installTranslator(&marks));
    QTRY_COMPARE(d.windowTitle(), QStringLiteral("@Telvaro -> Settings"));
    QCOMPARE(d.pages->tabText(1), QStringLiteral("@   Additional m-bus information   "));
    for (QWidget *w : d.findChildren<QWidget *>()) {
        const QString text = w->property(qobject_cast<QGroupBox *>(w) ? "title" : "text").toString();
        if ((qobject_cast<QLabel *>(w) || qobject_cast<QAbstractButton *>(w) || qobject_cast<QGroupBox *>(w))
            && !text.isEmpty())
            QVERIFY2(text.startsWith(u'@'), qPrintable(text));
    }
    QVERIFY(QCoreApplication::removeTranslator(&marks));
    QTRY_COMPARE(d.converterRouteBox->text(), QStringLiteral("Use TCP/IP option "));
}

// "Test" beside the archive's location: how many readings it holds, a file
// that is not there (and is not made by looking), a location of no use.
void TstSettingsDialog::archiveTestSaysWhatIsThere()
{
    Rig rig;
    rig.dialog->show();
    auto *edit = rig.find<QLineEdit>(QStringLiteral("Edit_archive"));
    auto *test = rig.find<QPushButton>(QStringLiteral("Butt_archive_test"));
    auto *answer = rig.find<QLabel>(QStringLiteral("Label_archive_test"));
    const QString missing = rig.dir.filePath(QStringLiteral("new/readings.sqlite"));
    const QString empty = rig.dir.filePath(QStringLiteral("empty.sqlite"));
    QVERIFY(archive::ReadingArchive().open(empty));
    const QString notOne = rig.dir.filePath(QStringLiteral("notes.txt"));
    writeFile(notOne, "nothing of ours");
    rig.dialog->askArchiveFile = [&](const QString &) { return missing; };
    QTest::mouseClick(rig.find<QPushButton>(QStringLiteral("Butt_archive_browse")), Qt::LeftButton);
    QCOMPARE(edit->text(), missing);
    QCOMPARE(rig.live.archiveLocation, missing);
    for (const auto &[location, said] :
         {std::pair{missing, missing + " is not there yet: it is made at the first reading."},
          std::pair{empty, empty + " can be used: 0 reading(s) in it."},
          std::pair{notOne, notOne + " is no database: nothing is stored in it"},
          std::pair{QStringLiteral("postgresql://meter@db"), QStringLiteral("it names no database")}}) {
        edit->setText(location);
        QTest::mouseClick(test, Qt::LeftButton);
        QTRY_VERIFY(test->isEnabled());
        QVERIFY2(answer->text().contains(said), qPrintable(answer->text()));
    }
    QVERIFY(!QFileInfo::exists(rig.dir.filePath(QStringLiteral("new"))));
}

QTEST_MAIN(TstSettingsDialog)
#include "tst_settings_dialog.moc"
