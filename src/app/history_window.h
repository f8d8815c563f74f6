#pragma once
// "History": one meter's readings from the archive, newest first, with the
// change of the chosen record since the reading before, and that record
// drawn against time. The display's monthly values can be drawn here too.

#include "archive/stored_reading.h"
#include "table_files.h"

#include <QWidget>

#include <functional>

class QComboBox;
class QChartView;
class QLabel;
class QPushButton;
class QTableWidget;

class HistoryWindow : public QWidget {
    Q_OBJECT
public:
    explicit HistoryWindow(QWidget *parent = nullptr);

    // The readings of one meter, newest first (as the archive gives them);
    // a warning (a damaged archive) stands under the title.
    void showMeter(const QString &meterId, std::vector<archive::StoredReading> readings,
                   const QString &warning = QString());
    // Shown at once while the archive's thread looks the readings up.
    void showWaiting(const QString &meterId);
    // The display's monthly values of a device against time; unit is the
    // display's ("kWh", "m3", ...), naming the quantity on the value axis.
    void showDisplayMonths(const QString &device, const QString &unit, const QList<QPair<QDateTime, double>> &points);

    // Where the export goes and how it asks; set by the main window.
    std::function<table_files::Dialogs()> dialogs;
    std::function<QString()> dataFolder;
    std::function<QString()> separator;

    QLabel *titleLabel = nullptr;
    QComboBox *recordCombo = nullptr; // which record the list and the chart show
    QTableWidget *readingGrid = nullptr;
    QChartView *chartView = nullptr;
    QPushButton *exportButton = nullptr, *closeButton = nullptr;

    // The rows as exported: header, then one row per reading.
    std::vector<table_files::Row> exportRows() const;

    // The time axis for readings from first to last: the span itself with a
    // twentieth of it on each side (a minute of readings fills the chart),
    // one minute on each side of a single moment.
    static QPair<QDateTime, QDateTime> timeAxisRange(const QDateTime &first, const QDateTime &last);
    // The value axis title for a display unit: "Energy, kWh", "Volume, m3", "Value".
    static QString displayValueTitle(const QString &unit);

protected:
    void changeEvent(QEvent *event) override;

private:
    static QString routeText(const QString &route);
    void retranslate();
    void fillRecordChoices();
    void showChosenRecord();
    void drawChart(const QString &title, const QString &valueTitle, const QList<QPair<QDateTime, double>> &points);
    void drawDisplayMonths();

    QString m_meterId;
    std::vector<archive::StoredReading> m_readings;
    QString m_warning;
    bool m_waiting = false;
    // The display's months while they are shown (kept to redraw in another language).
    bool m_showingDisplay = false;
    QString m_displayDevice, m_displayUnit;
    QList<QPair<QDateTime, double>> m_displayPoints;
};
