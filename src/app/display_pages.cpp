#include "display_pages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

void pairBoxes(QCheckBox *a, QCheckBox *b)
{
    QObject::connect(a, &QCheckBox::toggled, b, [b](bool on) { b->setChecked(!on); });
    QObject::connect(b, &QCheckBox::toggled, a, [a](bool on) { a->setChecked(!on); });
}

namespace {

QProgressBar *hiddenProgressBar(QWidget *parent, const char *name)
{
    auto *bar = new QProgressBar(parent);
    bar->setObjectName(QString::fromLatin1(name));
    bar->setTextVisible(false);
    bar->setMaximumHeight(12);
    QSizePolicy keepRoom = bar->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true);
    bar->setSizePolicy(keepRoom);
    bar->setVisible(false);
    return bar;
}

} // namespace

QPushButton *DisplayPage::button(const char *name)
{
    auto *b = new QPushButton(this);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

DisplayPage::DisplayPage(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TabSheet3"));
    meterGrid = new QTableWidget(1, 14, this);
    meterGrid->setObjectName(QStringLiteral("Grid_tev"));
    readDisplayButton = button("Butt_tev_read");
    writeDisplayButton = button("Butt_tev_set");
    deleteDeviceButton = button("Butt_tev_delete");
    zeroStartButton = button("Butt_tev_delp");
    dateTimeButton = button("BitBtn11");
    setRefreshButton = button("Butt_tev_refresh");
    createSortTableButton = button("BitBtn15");
    sortButton = button("BitBtn16");
    updateReadingsButton = button("BitBtn18");
    getInfoButton = button("Butt_tev_info");
    fromDeviceTableButton = button("BitBtn1");
    importButton = button("BitBtn2");
    exportButton = button("BitBtn10");
    addRowButton = button("BitBtn3");
    deleteRowButton = button("BitBtn4");
    selectAllButton = button("BitBtn8");
    deselectAllButton = button("BitBtn9");
    clearTableButton = button("Butt_tev_cleartable");
    refreshTimeBox = new QSpinBox(this);
    refreshTimeBox->setObjectName(QStringLiteral("UD_tev_refresh"));
    refreshTimeBox->setRange(4, 12);
    if (auto *edit = refreshTimeBox->findChild<QLineEdit *>())
        edit->setObjectName(QStringLiteral("Edit_tev_refresh"));
    refreshTimeLabel = new QLabel(this);
    sortByAddressBox = new QCheckBox(this);
    sortByAddressBox->setObjectName(QStringLiteral("Check_sort_address"));
    sortByUserNumberBox = new QCheckBox(this);
    sortByUserNumberBox->setObjectName(QStringLiteral("Check_sort_user"));
    sortByUserNumberBox->setChecked(true);
    pairBoxes(sortByAddressBox, sortByUserNumberBox);
    ruxtModelBox = new QCheckBox(this);
    ruxtModelBox->setObjectName(QStringLiteral("Check_halvex"));
    infoGroup = new QGroupBox(this);
    infoGroup->setObjectName(QStringLiteral("GroupBox3"));
    infoText = new QPlainTextEdit(infoGroup);
    infoText->setObjectName(QStringLiteral("Memo_info"));
    infoText->setReadOnly(true);
    infoText->setLineWrapMode(QPlainTextEdit::NoWrap);
    auto *infoLayout = new QVBoxLayout(infoGroup);
    infoLayout->addWidget(infoText);
    infoLayout->addWidget(getInfoButton);
    progressBar = hiddenProgressBar(this, "ProgressBar1");
    stopButton = button("stopDisplayButton");
    stopButton->setVisible(false);

    // Left: the display itself; right: its general info.
    auto *runs = new QGridLayout;
    runs->addWidget(readDisplayButton, 0, 0);
    runs->addWidget(writeDisplayButton, 0, 1);
    runs->addWidget(deleteDeviceButton, 1, 0);
    runs->addWidget(zeroStartButton, 1, 1);
    runs->addWidget(dateTimeButton, 2, 0);
    runs->addWidget(updateReadingsButton, 2, 1);
    auto *refresh = new QHBoxLayout;
    refresh->addWidget(refreshTimeLabel);
    refresh->addWidget(refreshTimeBox);
    refresh->addWidget(setRefreshButton);
    refresh->addStretch(1);
    runs->addLayout(refresh, 3, 0, 1, 2);
    auto *sorting = new QHBoxLayout;
    sorting->addWidget(createSortTableButton);
    sorting->addWidget(sortButton);
    sorting->addWidget(sortByAddressBox);
    sorting->addWidget(sortByUserNumberBox);
    sorting->addStretch(1);
    runs->addLayout(sorting, 4, 0, 1, 2);
    runs->addWidget(ruxtModelBox, 5, 0);
    auto *progress = new QHBoxLayout;
    progress->addWidget(progressBar, 1);
    progress->addWidget(stopButton);
    runs->addLayout(progress, 6, 0, 1, 2);
    auto *top = new QHBoxLayout;
    top->addLayout(runs);
    top->addWidget(infoGroup, 1);

    auto *tableButtons = new QHBoxLayout;
    for (QPushButton *b : {fromDeviceTableButton, importButton, exportButton, addRowButton, deleteRowButton,
                           selectAllButton, deselectAllButton, clearTableButton})
        tableButtons->addWidget(b);
    tableButtons->addStretch(1);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(meterGrid, 1);
    layout->addLayout(tableButtons);
    retranslate();
}

void DisplayPage::retranslate()
{
    readDisplayButton->setText(tr("Read data from TEV-K40"));
    deleteDeviceButton->setText(tr("Delete selected device/row"));
    zeroStartButton->setText(tr("Zero start value"));
    dateTimeButton->setText(tr("Date and Time"));
    setRefreshButton->setText(tr("Set Refresh time"));
    createSortTableButton->setText(tr("Create sort table"));
    sortButton->setText(tr("Sort"));
    updateReadingsButton->setText(tr("Update readings "));
    getInfoButton->setText(tr("Get info"));
    fromDeviceTableButton->setText(tr("Get data from m-bus devices"));
    importButton->setText(tr("Import"));
    exportButton->setText(tr("Export"));
    addRowButton->setText(tr("Add row"));
    deleteRowButton->setText(tr("Delete row"));
    selectAllButton->setText(tr("Select all"));
    deselectAllButton->setText(tr("Deselect all"));
    clearTableButton->setText(tr("Clear table"));
    refreshTimeLabel->setText(tr("Set display refresh time, s"));
    sortByAddressBox->setText(tr("by address"));
    sortByUserNumberBox->setText(tr("by user numb."));
    ruxtModelBox->setText(tr("RUX-T"));
    infoGroup->setTitle(tr("   General info   "));
    stopButton->setText(tr("Stop"));
}

QPushButton *ReadingsPage::button(const char *name)
{
    auto *b = new QPushButton(this);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

ReadingsPage::ReadingsPage(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TabSheet4"));
    historyGrid = new QTableWidget(1, 22, this);
    historyGrid->setObjectName(QStringLiteral("Grid_historical"));
    monthCombo = new QComboBox(this);
    monthCombo->setObjectName(QStringLiteral("Combo_months"));
    monthCombo->addItems({"ALL", "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"});
    getHistoryButton = button("BitBtn13");
    getAllMemoryButton = button("Butt_get_historical");
    exportButton = button("BitBtn17");
    addRowButton = button("Butt_add_hist");
    deleteRowButton = button("Butt_delete_hist");
    clearTableButton = button("Butt_clear_hist");
    sortButton = button("Butt_sort_hist");
    chartButton = button("chartButton");
    sortByAddressBox = new QCheckBox(this);
    sortByAddressBox->setObjectName(QStringLiteral("Check_sort_hist_address"));
    sortByUserNumberBox = new QCheckBox(this);
    sortByUserNumberBox->setObjectName(QStringLiteral("Check_sort_hist_user"));
    // Both start clear; once one is chosen they act as one choice.
    QObject::connect(sortByAddressBox, &QCheckBox::clicked, sortByUserNumberBox,
                     [this](bool on) { sortByUserNumberBox->setChecked(!on); });
    QObject::connect(sortByUserNumberBox, &QCheckBox::clicked, sortByAddressBox,
                     [this](bool on) { sortByAddressBox->setChecked(!on); });
    progressBar = hiddenProgressBar(this, "ProgressBar2");
    stopButton = button("stopReadingsButton");
    stopButton->setVisible(false);

    auto *top = new QHBoxLayout;
    top->addWidget(monthCombo);
    top->addWidget(getHistoryButton);
    top->addWidget(getAllMemoryButton);
    top->addSpacing(16);
    top->addWidget(sortButton);
    top->addWidget(sortByAddressBox);
    top->addWidget(sortByUserNumberBox);
    top->addStretch(1);
    auto *bottom = new QHBoxLayout;
    for (QPushButton *b : {exportButton, addRowButton, deleteRowButton, clearTableButton, chartButton})
        bottom->addWidget(b);
    bottom->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    auto *progress = new QHBoxLayout;
    progress->addWidget(progressBar, 1);
    progress->addWidget(stopButton);
    layout->addLayout(top);
    layout->addLayout(progress);
    layout->addWidget(historyGrid, 1);
    layout->addLayout(bottom);
    retranslate();
}

void ReadingsPage::retranslate()
{
    getHistoryButton->setText(tr("Get  historical values"));
    getAllMemoryButton->setText(tr("Get all memory data"));
    exportButton->setText(tr("Export"));
    addRowButton->setText(tr("Add row"));
    deleteRowButton->setText(tr("Delete row"));
    clearTableButton->setText(tr("Clear table"));
    sortButton->setText(tr("Sort table"));
    chartButton->setText(tr("Chart"));
    sortByAddressBox->setText(tr("by address"));
    sortByUserNumberBox->setText(tr("by user number"));
    stopButton->setText(tr("Stop"));
}
