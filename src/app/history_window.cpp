#include "history_window.h"

#include <QChart>
#include <QCoreApplication>
#include <QChartView>
#include <QComboBox>
#include <QDateTimeAxis>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QLocale>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace {

// What tells one record of a reading from another.
QString recordKey(const archive::StoredRecord &r)
{
    return QStringLiteral("%1|%2|%3|%4|%5|%6")
        .arg(r.quantity, r.unit)
        .arg(r.storage)
        .arg(r.tariff)
        .arg(r.subunit)
        .arg(r.function);
}

const archive::StoredRecord *findRecord(const archive::StoredReading &reading, const QString &key)
{
    for (const archive::StoredRecord &r : reading.records)
        if (recordKey(r) == key)
            return &r;
    return nullptr;
}

// As the device table shows values: three decimals, the user's decimal point.
QString number(double value)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value, 'f', 3);
}

// The decoder's names (English, as the archive keeps them), shown in the user's language.
const char *const kShownNames[] = {
    QT_TRANSLATE_NOOP("HistoryWindow", "Energy"),
    QT_TRANSLATE_NOOP("HistoryWindow", "Volume"),
    QT_TRANSLATE_NOOP("HistoryWindow", "Power"),
    QT_TRANSLATE_NOOP("HistoryWindow", "Volume flow"),
    QT_TRANSLATE_NOOP("HistoryWindow", "Flow temperature"),
    QT_TRANSLATE_NOOP("HistoryWindow", "Return temperature"),
    QT_TRANSLATE_NOOP("HistoryWindow", "Temperature difference"),
    QT_TRANSLATE_NOOP("HistoryWindow", "External temperature"),
    QT_TRANSLATE_NOOP("HistoryWindow", "Pressure"),
    QT_TRANSLATE_NOOP("HistoryWindow", "Date"),
    QT_TRANSLATE_NOOP("HistoryWindow", "Date and time"),
    QT_TRANSLATE_NOOP("HistoryWindow", "On time"),
    QT_TRANSLATE_NOOP("HistoryWindow", "Operating time"),
    QT_TRANSLATE_NOOP("HistoryWindow", "HCA units"),
    QT_TRANSLATE_NOOP("HistoryWindow", "Averaging duration"),
    QT_TRANSLATE_NOOP("HistoryWindow", "Actuality duration"),
    QT_TRANSLATE_NOOP("HistoryWindow", "Fabrication number"),
    QT_TRANSLATE_NOOP("HistoryWindow", "Voltage"),
    QT_TRANSLATE_NOOP("HistoryWindow", "Current"),
    QT_TRANSLATE_NOOP("HistoryWindow", "Manufacturer specific"),
    QT_TRANSLATE_NOOP("HistoryWindow", "Error flags"),
    QT_TRANSLATE_NOOP("HistoryWindow", "maximum"),
    QT_TRANSLATE_NOOP("HistoryWindow", "minimum"),
    QT_TRANSLATE_NOOP("HistoryWindow", "error"),
};

// Any other text (a unit standing for its quantity, say) is shown as it is.
QString shownName(const QString &name)
{
    for (const char *known : kShownNames)
        if (name == QLatin1String(known))
            return QCoreApplication::translate("HistoryWindow", known);
    return name;
}

// "Volume, m3"; a unit that only repeats the quantity ("Error flags") once.
QString quantityAndUnit(const archive::StoredRecord &r)
{
    const QString quantity = shownName(r.quantity);
    return r.unit.isEmpty() || r.unit == r.quantity ? quantity : quantity + QStringLiteral(", ") + r.unit;
}

// Round ticks: a step of 1, 2 or 5 times a power of ten giving about five
// ticks, the range widened to whole steps, and as many decimals as the step
// has, so no tick reads "100.910".
void roundTicks(QValueAxis *axis, double low, double high)
{
    const auto plain = [&] {
        axis->setRange(low, high);
        axis->setLabelFormat(QStringLiteral("%.6g"));
    };
    const double rough = (high - low) / 4;
    if (!std::isfinite(rough) || rough <= 0)
        return plain();
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    const double q = rough / power;
    const double step = (q < 1.5 ? 1 : q < 3 ? 2 : q < 7 ? 5 : 10) * power;
    const double from = std::floor(low / step), to = std::ceil(high / step);
    if (!(from * step < to * step) || to - from > 100) // a range of a few ulps of a huge value
        return plain();
    axis->setRange(from * step, to * step);
    axis->setTickCount(std::clamp(int(std::lround(to - from)) + 1, 2, 20));
    const int decimals = std::clamp(int(-std::floor(std::log10(step) + 1e-9)), 0, 12);
    axis->setLabelFormat(QStringLiteral("%.%1f").arg(decimals));
}

} // namespace

HistoryWindow::HistoryWindow(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("HistoryWindow"));
    titleLabel = new QLabel(this);
    recordCombo = new QComboBox(this);
    recordCombo->setObjectName(QStringLiteral("recordCombo"));
    recordCombo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    readingGrid = new QTableWidget(0, 8, this);
    readingGrid->setObjectName(QStringLiteral("readingGrid"));
    readingGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    readingGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    readingGrid->verticalHeader()->hide();
    readingGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    // Every column as wide as its header and cells: a narrow window scrolls
    // rather than cut the last header short.
    readingGrid->horizontalHeader()->setStretchLastSection(false);
    chartView = new QChartView(this);
    chartView->setObjectName(QStringLiteral("chartView"));
    chartView->setRenderHint(QPainter::Antialiasing);
    chartView->setMinimumHeight(220);
    exportButton = new QPushButton(this);
    exportButton->setObjectName(QStringLiteral("exportButton"));
    closeButton = new QPushButton(this);
    closeButton->setObjectName(QStringLiteral("closeButton"));

    auto *top = new QHBoxLayout;
    top->addWidget(titleLabel, 1);
    top->addWidget(recordCombo);
    auto *split = new QSplitter(Qt::Vertical, this);
    split->addWidget(readingGrid);
    split->addWidget(chartView);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(exportButton);
    buttons->addWidget(closeButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(split, 1);
    layout->addLayout(buttons);
    resize(760, 560);

    connect(recordCombo, &QComboBox::currentIndexChanged, this, &HistoryWindow::showChosenRecord);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    connect(exportButton, &QPushButton::clicked, this, [this] {
        if (dialogs && dataFolder && separator)
            table_files::exportRows(exportRows(), dataFolder(), QStringLiteral("history_%1.csv").arg(m_meterId),
                                    separator(), false, dialogs());
    });
    retranslate();
}

// The archive keeps the route's English name; the window shows it in its language.
QString HistoryWindow::routeText(const QString &route)
{
    if (route == QLatin1String("serial"))
        return tr("serial");
    if (route == QLatin1String("converter"))
        return tr("converter");
    if (route == QLatin1String("gateway"))
        return tr("gateway");
    if (route == QLatin1String("listen"))
        return tr("listen");
    return route;
}

void HistoryWindow::retranslate()
{
    setWindowTitle(tr("History"));
    exportButton->setText(tr("Save / Export"));
    closeButton->setText(tr("Close"));
    readingGrid->setHorizontalHeaderLabels(
        {tr("Read at"), tr("Addr."), tr("Station"), tr("Route"), tr("Status"), tr("Value"), tr("Unit"), tr("Change")});
    if (m_meterId.isEmpty())
        return;
    QString title = m_waiting ? tr("Meter %1: asking the readings archive...").arg(m_meterId)
                              : tr("Meter %1: %n reading(s)", nullptr, int(m_readings.size())).arg(m_meterId);
    if (!m_warning.isEmpty())
        title += u'\n' + m_warning;
    titleLabel->setText(title);
}

void HistoryWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange) {
        retranslate();
        // The record names and the chart's titles are in the language they were drawn in.
        if (m_showingDisplay) {
            drawDisplayMonths();
        } else {
            const QString key = recordCombo->currentData().toString();
            fillRecordChoices();
            if (const int index = recordCombo->findData(key); index >= 0) {
                const QSignalBlocker block(recordCombo);
                recordCombo->setCurrentIndex(index);
            }
            showChosenRecord();
        }
    }
    QWidget::changeEvent(event);
}

void HistoryWindow::showWaiting(const QString &meterId)
{
    showMeter(meterId, {});
    m_waiting = true;
    retranslate();
}

void HistoryWindow::showMeter(const QString &meterId, std::vector<archive::StoredReading> readings,
                              const QString &warning)
{
    m_meterId = meterId;
    m_readings = std::move(readings);
    m_warning = warning;
    m_waiting = false;
    m_showingDisplay = false;
    recordCombo->setVisible(true);
    readingGrid->setVisible(true);
    retranslate();
    fillRecordChoices();
    showChosenRecord();
    show();
    raise();
}

void HistoryWindow::fillRecordChoices()
{
    const QSignalBlocker block(recordCombo);
    recordCombo->clear();
    if (m_readings.empty())
        return;
    for (const archive::StoredRecord &r : m_readings.front().records) {
        QString text = quantityAndUnit(r);
        if (r.storage)
            text += tr(", storage %1").arg(r.storage);
        if (r.tariff)
            text += tr(", tariff %1").arg(r.tariff);
        if (r.subunit)
            text += tr(", sub-unit %1").arg(r.subunit);
        if (r.function != QLatin1String("instantaneous"))
            text += QStringLiteral(", ") + shownName(r.function);
        if (recordCombo->findData(recordKey(r)) >= 0)
            continue;
        // Two records alike in all that is named (another exponent, say) are told apart by their place.
        if (recordCombo->findText(text) >= 0)
            text += tr(", record %1").arg(recordCombo->count() + 1);
        recordCombo->addItem(text, recordKey(r));
    }
    // The first record with a number to draw (not the fabrication number).
    for (const archive::StoredRecord &r : m_readings.front().records) {
        if (r.value) {
            recordCombo->setCurrentIndex(recordCombo->findData(recordKey(r)));
            break;
        }
    }
}

void HistoryWindow::showChosenRecord()
{
    const QString key = recordCombo->currentData().toString();
    readingGrid->setRowCount(int(m_readings.size()));
    QList<QPair<QDateTime, double>> points;
    for (std::size_t i = 0; i < m_readings.size(); ++i) {
        const archive::StoredReading &reading = m_readings[i];
        const archive::StoredRecord *record = findRecord(reading, key);
        const archive::StoredRecord *older = i + 1 < m_readings.size() ? findRecord(m_readings[i + 1], key) : nullptr;
        QString change;
        if (record && record->value && older && older->value)
            change = number(*record->value - *older->value);
        const QString shownRoute = routeText(reading.route);
        const QString route = reading.link.isEmpty() ? shownRoute
                                                     : QStringLiteral("%1 (%2)").arg(shownRoute, reading.link);
        const QStringList cells{reading.readAt.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                                reading.address ? QString::number(*reading.address) : QString(),
                                reading.station,
                                route,
                                QStringLiteral("0x")
                                    + QStringLiteral("%1").arg(reading.status, 2, 16, QLatin1Char('0')).toUpper(),
                                record ? (record->value ? number(*record->value) : record->text) : QString(),
                                record ? record->unit : QString(),
                                change};
        for (int c = 0; c < int(cells.size()); ++c)
            readingGrid->setItem(int(i), c, new QTableWidgetItem(cells[c]));
        if (record && record->value)
            points.prepend({reading.readAt, *record->value});
    }
    const archive::StoredRecord *shown = m_readings.empty() ? nullptr : findRecord(m_readings.front(), key);
    drawChart(recordCombo->currentText(), shown ? quantityAndUnit(*shown) : tr("Value"), points);
}

void HistoryWindow::showDisplayMonths(const QString &device, const QString &unit,
                                      const QList<QPair<QDateTime, double>> &points)
{
    m_meterId.clear();
    m_readings.clear();
    m_warning.clear();
    m_waiting = false;
    m_showingDisplay = true;
    m_displayDevice = device;
    m_displayUnit = unit;
    m_displayPoints = points;
    recordCombo->setVisible(false);
    readingGrid->setVisible(false);
    drawDisplayMonths();
    show();
    raise();
}

void HistoryWindow::drawDisplayMonths()
{
    const QString title = tr("Display: monthly values of device %1").arg(m_displayDevice);
    titleLabel->setText(title);
    drawChart(title, displayValueTitle(m_displayUnit), m_displayPoints);
}

QString HistoryWindow::displayValueTitle(const QString &unit)
{
    // The display counts energy (kWh, kJ, MJ) or volume (m3); anything else is just a value.
    const QString u = unit.trimmed();
    const QString quantity = u == QLatin1String("m3") ? tr("Volume")
                             : QStringList({"Wh", "kWh", "MWh", "kJ", "MJ", "GJ"}).contains(u) ? tr("Energy")
                                                                                               : tr("Value");
    return u.isEmpty() ? quantity : quantity + QStringLiteral(", ") + u;
}

QPair<QDateTime, QDateTime> HistoryWindow::timeAxisRange(const QDateTime &first, const QDateTime &last)
{
    const qint64 margin = std::max<qint64>(first.msecsTo(last) / 20, first == last ? 60000 : 1000);
    return {first.addMSecs(-margin), last.addMSecs(margin)};
}

void HistoryWindow::drawChart(const QString &title, const QString &valueTitle,
                              const QList<QPair<QDateTime, double>> &points)
{
    auto *chart = new QChart;
    chart->setTitle(title);
    chart->legend()->hide();
    auto *series = new QLineSeries(chart);
    series->setPointsVisible(true);
    double low = 0, high = 1;
    bool first = true;
    for (const auto &[at, value] : points) {
        if (!std::isfinite(value))
            continue; // no place on a chart
        series->append(double(at.toMSecsSinceEpoch()), value);
        low = first ? value : std::min(low, value);
        high = first ? value : std::max(high, value);
        first = false;
    }
    chart->addSeries(series);
    auto *time = new QDateTimeAxis(chart);
    time->setTitleText(tr("Time"));
    const auto [from, to] = points.isEmpty()
                                ? QPair(QDateTime::currentDateTime().addDays(-1), QDateTime::currentDateTime())
                                : timeAxisRange(points.front().first, points.back().first);
    time->setRange(from, to);
    // The table's forms: dates for a long history, with times for a short one.
    const qint64 span = from.secsTo(to);
    time->setFormat(span > 7 * 86400 ? QStringLiteral("yyyy-MM-dd")
                    : span > 3600    ? QStringLiteral("yyyy-MM-dd HH:mm")
                                     : QStringLiteral("HH:mm:ss"));
    time->setTickCount(int(std::clamp<qint64>(span + 1, 2, 5))); // no two ticks within one second
    auto *values = new QValueAxis(chart);
    values->setTitleText(valueTitle);
    const double margin = high > low ? (high - low) * 0.05 : std::max(0.001, std::abs(high) * 0.001);
    roundTicks(values, low - margin, high + margin);
    // Tick labels with the decimal point the readings list shows.
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    chart->setLocale(locale);
    chart->setLocalizeNumbers(true);
    chart->addAxis(time, Qt::AlignBottom);
    chart->addAxis(values, Qt::AlignLeft);
    series->attachAxis(time);
    series->attachAxis(values);
    QChart *old = chartView->chart();
    chartView->setChart(chart);
    delete old;
}

std::vector<table_files::Row> HistoryWindow::exportRows() const
{
    std::vector<table_files::Row> rows;
    table_files::Row header;
    for (int c = 0; c < readingGrid->columnCount(); ++c)
        header.push_back(readingGrid->horizontalHeaderItem(c)->text().toStdString());
    rows.push_back(header);
    for (int r = 0; r < readingGrid->rowCount(); ++r) {
        table_files::Row row;
        for (int c = 0; c < readingGrid->columnCount(); ++c)
            row.push_back(readingGrid->item(r, c) ? readingGrid->item(r, c)->text().toStdString() : std::string());
        rows.push_back(row);
    }
    return rows;
}
