// The CSV of telvaro-cli holds what the window's export holds: the same bus
// scanned by the main window (then "Save") and by the command-line program
// with the same settings file gives the same meters with the same main
// values, each file in its own layout (the window's the table as shown, the
// command line's the keys of its JSON). Secondary main value, additional
// values and a separator that needs quoting make the window's layout
// anything but the default.

#include "devices_page.h"
#include "main_window.h"
#include "ops/bus_session.h"
#include "sim_process.h"

#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

namespace {

// ID, address, manufacturer, main value, unit and medium of every meter row,
// found by the header's names.
QList<QByteArrayList> meters(const QByteArray &csv, const QByteArrayList &names)
{
    QList<QByteArrayList> rows;
    const QList<QByteArray> lines = csv.split('\n');
    const QByteArrayList header = lines.first().split(',');
    for (qsizetype l = 1; l < lines.size(); ++l) {
        const QByteArrayList cells = lines.at(l).split(',');
        if (cells.first().isEmpty()) // the empty row below the meters
            continue;
        QByteArrayList row;
        for (const QByteArray &name : names)
            row << cells.value(header.indexOf(name));
        rows << row;
    }
    return rows;
}

} // namespace

class TstCliExport : public QObject {
    Q_OBJECT
private slots:
    void csvHoldsTheWindowsMeters();
};

void TstCliExport::csvHoldsTheWindowsMeters()
{
    QTemporaryDir dir;
    SimProcess sim(SimProcess::demoBus(), {"--quiet"});
    QVERIFY(sim.isReady());
    const QString ini = dir.filePath(QStringLiteral("telvaro.ini"));
    {
        QFile f(ini);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Mbus]\nTimeout=300\n[Misc]\nRetry=0\nFastReads=1\nExportSeparator=,\nSMain=1\nDir="
                + dir.path().toUtf8() + "/\n[Titles]\nCount=2\nTitle1=Volume, m3\nTitle2=Flow\nSecMain=Energy\n"
                + "[Com port]\nName=" + sim.link().toLocal8Bit() + "\nSpeed=2400\nParity=Even\n");
    }

    QByteArray fromWindow;
    {
        MainWindow window(ini);
        window.askYesNoCancel = [](const QString &, const QString &) { return QMessageBox::Yes; };
        const QString target = dir.filePath(QStringLiteral("window.csv"));
        window.fileDialogs.askSaveName = [target](const QString &) { return target; };
        window.show();
        window.devices->fromAddressBox->setValue(0);
        window.devices->toAddressBox->setValue(12);
        QTest::mouseClick(window.devices->findPrimaryButton, Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([&window] { return !window.session().busy(); }, 20000));
        QCOMPARE(window.deviceTable().rowCount(), 12);
        QVERIFY(window.saveDeviceTable());
        QFile f(target);
        QVERIFY(f.open(QIODevice::ReadOnly));
        fromWindow = f.readAll();
    }

    QProcess cli;
    cli.start(QStringLiteral(TELVARO_BIN_DIR "/telvaro-cli"),
              {"scan", "--settings", ini, "--from", "0", "--to", "12", "--format", "csv"});
    QVERIFY(cli.waitForFinished(30000));
    QCOMPARE(cli.exitCode(), 0);
    const QByteArray fromCli = cli.readAllStandardOutput();

    QVERIFY(fromWindow.startsWith(" ID ,Addr. ,Mfr. ,Value ,Energy,Unit ,Medium ,Time ,Date ,Status ,Model ,"
                                  "\"Volume, m3\",Flow,\r\n"));
    QByteArray windowRows = fromWindow;
    windowRows.replace("\r\n", "\n");
    const QList<QByteArrayList> shown = meters(windowRows, {" ID ", "Addr. ", "Mfr. ", "Value ", "Unit ", "Medium "});
    QCOMPARE(shown.size(), 12);
    QCOMPARE(meters(fromCli, {"id", "address", "manufacturer", "value", "unit", "medium"}), shown);
}

QTEST_MAIN(TstCliExport)
#include "tst_cli_export.moc"
