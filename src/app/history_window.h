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
    // Values of another source against time (the display's months).
    void showSeries(const QString &title, const QList<QPair<QDateTime, double>> &points);

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

protected:
    void changeEvent(QEvent *event) override;

private:
    void retranslate();
    void fillRecordChoices();
    void showChosenRecord();
    void drawChart(const QString &title, const QString &valueTitle, const QList<QPair<QDateTime, double>> &points);

    QString m_meterId;
    std::vector<archive::StoredReading> m_readings;
    QString m_warning;
    bool m_waiting = false;
};
