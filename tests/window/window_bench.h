#pragma once
// The real main window on a simulated bus: shown offscreen, its settings file
// pointing at mbus-sim on a pseudo-terminal, its questions answered by the test.

#include "devices_page.h"
#include "main_window.h"
#include "ops/bus_session.h"
#include "sim_process.h"

#include <QFile>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// A window on a simulated bus, shown, its settings file pointing at the simulator.
struct Bench {
    explicit Bench(const QString &busFile, const QByteArray &settings = "[Misc]\nRetry=0\n",
                   const QStringList &simArguments = {}, int timeoutMs = 300)
        : sim(busFile, simArguments)
    {
        QFile ini(dir.filePath(QStringLiteral("telvaro.ini")));
        if (ini.open(QIODevice::WriteOnly))
            ini.write("[Mbus]\nTimeout=" + QByteArray::number(timeoutMs) + "\n" + settings
                      + "[Com port]\nName=" + sim.link().toLocal8Bit() + "\nSpeed=2400\nParity=Even\n");
        ini.close();
        window = std::make_unique<MainWindow>(dir.filePath(QStringLiteral("telvaro.ini")));
        window->askYesNoCancel = [this](const QString &, const QString &) {
            ++questions;
            return answer;
        };
        window->askYesNo = [this](const QString &, const QString &) {
            ++confirmations;
            return true;
        };
        window->show();
    }
    static QString writeBus(QTemporaryDir &dir, const char *text)
    {
        const QString path = dir.filePath(QStringLiteral("test.bus"));
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(text);
        return path;
    }

    DevicesPage &page() { return *window->devices; }
    decode::DeviceTable &table() { return window->deviceTable(); }
    bool idle(int ms)
    {
        return QTest::qWaitFor([this] { return !window->session().busy(); }, ms);
    }
    bool scan(int from, int to, int ms)
    {
        page().fromAddressBox->setValue(from);
        page().toAddressBox->setValue(to);
        QTest::mouseClick(page().findPrimaryButton, Qt::LeftButton);
        return idle(ms);
    }
    void clickRow(int tableRow)
    {
        QTableView *grid = page().deviceGrid;
        const QRect cell = grid->visualRect(grid->model()->index(tableRow - 1, 1));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    }
    // Rows count from 1 as on the screen.
    QString cell(int row, int column) { return QString::fromStdString(table().cellText(row - 1, column)); }
    void setCell(int row, int column, const char *text) { table().setCellText(row - 1, column, text); }
    bool logHas(const QString &line) { return window->logLines().contains(line); }

    QMessageBox::StandardButton answer = QMessageBox::Yes;
    int questions = 0;     // asked with Yes/No/Cancel
    int confirmations = 0; // asked with Yes/No, answered Yes
    QTemporaryDir dir;
    SimProcess sim;
    std::unique_ptr<MainWindow> window;
};
