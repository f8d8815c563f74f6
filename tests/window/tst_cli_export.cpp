// The CSV of telvaro-cli is the window's export: the same bus scanned by the
// main window (then "Save") and by the command-line program with the same
// settings file gives the same file, byte for byte, but for the time and
// date of the readings. Secondary main value, additional values and a
// separator that needs quoting make the layout anything but the default.

#include "devices_page.h"
#include "main_window.h"
#include "ops/bus_session.h"
#include "sim_process.h"

#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

namespace {

// Blanks the time and date columns, found by their header texts.
QList<QByteArrayList> withoutTimes(const QByteArray &csv, char separator)
{
    QList<QByteArrayList> rows;
    for (const QByteArray &line : csv.split('\n'))
        rows << line.split(separator);
    const qsizetype time = rows.first().indexOf("Time ");
    const qsizetype date = rows.first().indexOf("Date ");
    for (qsizetype r = 1; r < rows.size(); ++r)
        for (qsizetype c : {time, date})
            if (c >= 0 && c < rows[r].size())
                rows[r][c].clear();
    return rows;
}

} // namespace

class TstCliExport : public QObject {
    Q_OBJECT
private slots:
    void csvIsTheWindowsExport();
};

void TstCliExport::csvIsTheWindowsExport()
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
    // The same rows; the file has CR LF and the empty row below the meters.
    QByteArray windowRows = fromWindow;
    windowRows.replace("\r\n", "\n");
    QVERIFY(windowRows.endsWith("\n,,,,,,,,,,,,,\n"));
    windowRows.chop(14);
    QCOMPARE(withoutTimes(fromCli, ','), withoutTimes(windowRows, ','));
}

QTEST_MAIN(TstCliExport)
#include "tst_cli_export.moc"
