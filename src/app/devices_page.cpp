#include "devices_page.h"

#include "column_fit.h"
#include "config/settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <variant>

namespace {

template <typename T>
T *named(T *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QSpinBox *spinBox(QWidget *parent, const char *name, int lo, int hi, int step = 1)
{
    auto *box = named(new QSpinBox(parent), name);
    box->setRange(lo, hi);
    box->setSingleStep(step);
    return box;
}

// Numeric fields take only digits (and, where asked, the wildcard F).
QValidator *digitsOnly(QObject *parent, int maxLength, const char *extra = "")
{
    const QString pattern = QStringLiteral("[0-9%1]{0,%2}").arg(QString::fromLatin1(extra)).arg(maxLength);
    return new QRegularExpressionValidator(QRegularExpression(pattern), parent);
}

QComboBox *editableCombo(QWidget *parent, const char *name, const QStringList &items, int maxLength)
{
    auto *box = named(new QComboBox(parent), name);
    box->setEditable(true);
    box->addItems(items);
    box->setInsertPolicy(QComboBox::NoInsert);
    if (maxLength > 0)
        box->lineEdit()->setMaxLength(maxLength);
    return box;
}

// The tabs hold plain frames: their title is the tab's text.
QGroupBox *tabPage(QWidget *parent, const char *name)
{
    auto *page = named(new QGroupBox(parent), name);
    page->setFlat(true);
    return page;
}

// A row of widgets and spacings (an int is a gap), the rest of the row left empty.
QHBoxLayout *row(std::initializer_list<std::variant<QWidget *, int>> items)
{
    auto *line = new QHBoxLayout;
    for (const auto &item : items) {
        if (std::holds_alternative<int>(item))
            line->addSpacing(std::get<int>(item));
        else
            line->addWidget(std::get<QWidget *>(item));
    }
    line->addStretch(1);
    return line;
}

} // namespace

DevicesPage::DevicesPage(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TabSheet1"));
    commandTabs = named(new QTabWidget(this), "Tabs_commands");
    commandTabs->setDocumentMode(true);
    commandTabs->addTab(buildSearchGroup(), QString());
    commandTabs->addTab(buildBasicGroup(), QString());
    commandTabs->addTab(buildAdvancedGroup(), QString());
    commandTabs->setCornerWidget(buildSelectionCorner(), Qt::TopRightCorner);
    // Only as high as its tallest tab: the table below takes the rest.
    commandTabs->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(commandTabs);
    layout->addWidget(buildTableArea(), 1);
    retranslate();
}

QGroupBox *DevicesPage::buildSearchGroup()
{
    searchGroup = tabPage(this, "Group_search");
    auto *grid = new QGridLayout(searchGroup);
    fromAddressLabel = new QLabel(searchGroup);
    toAddressLabel = new QLabel(searchGroup);
    timeoutLabel = new QLabel(searchGroup);
    fromAddressBox = spinBox(searchGroup, "UD_address_min", 0, Settings::kAddressMax);
    toAddressBox = spinBox(searchGroup, "UD_address_max", 0, Settings::kAddressMax);
    timeoutBox = spinBox(searchGroup, "UD_timeout", Settings::kTimeoutMin, Settings::kTimeoutMax, 100);
    if (auto *edit = timeoutBox->findChild<QLineEdit *>())
        edit->setObjectName(QStringLiteral("Edit_timeout"));
    sendNkeFirstBox = named(new QCheckBox(searchGroup), "Check_nke");
    findPrimaryButton = named(new QPushButton(searchGroup), "Butt_find_primary");
    secondarySearchLabel = new QLabel(searchGroup);
    primarySearchLabel = new QLabel(searchGroup);
    searchIdEdit = named(new QLineEdit(searchGroup), "Edit_id");
    searchIdEdit->setMaxLength(8);
    searchIdEdit->setValidator(digitsOnly(searchIdEdit, 8, "F"));
    searchIdEdit->setMinimumWidth(searchIdEdit->fontMetrics().horizontalAdvance(QStringLiteral("FFFFFFFF0000")));
    findIdButton = named(new QPushButton(searchGroup), "Butt_find_id");
    findAllButton = named(new QPushButton(searchGroup), "Butt_find_all");
    progressBar = named(new QProgressBar(this), "ProgressBar1");
    progressBar->setRange(0, 250);
    progressBar->setVisible(false);
    progressBar->setTextVisible(true); // says what it counts: "address 37 of 0..250"

    // Primary search above secondary, their captions in one column; the
    // timeout, which both use, at the right.
    grid->addWidget(primarySearchLabel, 0, 0);
    grid->addLayout(row({fromAddressLabel, fromAddressBox, 8, toAddressLabel, toAddressBox, 8, sendNkeFirstBox,
                         findPrimaryButton, 16, timeoutLabel, timeoutBox}),
                    0, 1);
    grid->addWidget(secondarySearchLabel, 1, 0);
    grid->addLayout(row({searchIdEdit, findIdButton, findAllButton}), 1, 1);
    grid->setColumnStretch(1, 1);
    return searchGroup;
}

QGroupBox *DevicesPage::buildBasicGroup()
{
    basicGroup = tabPage(this, "Group_ops");
    auto *grid = new QGridLayout(basicGroup);
    resetButton = named(new QPushButton(basicGroup), "Butt_reset");
    newAddressLabel = new QLabel(basicGroup);
    newAddressBox = spinBox(basicGroup, "UD_new_address", 1, 250);
    if (auto *edit = newAddressBox->findChild<QLineEdit *>())
        edit->setObjectName(QStringLiteral("Edit_new_address"));
    setAddressButton = named(new QPushButton(basicGroup), "Butt_set_address");
    valueLabel = new QLabel(basicGroup);
    valueEdit = named(new QLineEdit(basicGroup), "Edit_liter");
    valueEdit->setMaxLength(8);
    valueEdit->setValidator(digitsOnly(valueEdit, 8));
    valueEdit->setMinimumWidth(valueEdit->fontMetrics().horizontalAdvance(QStringLiteral("000000000000")));
    valueUnitLabel = named(new QLabel(basicGroup), "Label_liter_unit");
    integerValueBox = named(new QCheckBox(basicGroup), "Check_value_gineers");
    setValueButton = named(new QPushButton(basicGroup), "Butt_modify_liters");

    grid->addWidget(newAddressLabel, 0, 0);
    grid->addLayout(row({newAddressBox, setAddressButton, 24, resetButton}), 0, 1);
    grid->addWidget(valueLabel, 1, 0);
    grid->addLayout(row({valueEdit, valueUnitLabel, setValueButton, integerValueBox}), 1, 1);
    grid->setColumnStretch(1, 1);
    return basicGroup;
}

QGroupBox *DevicesPage::buildAdvancedGroup()
{
    advancedGroup = tabPage(this, "Group_advanced");
    auto *grid = new QGridLayout(advancedGroup);
    mediumLabel = new QLabel(advancedGroup);
    unitLabel = new QLabel(advancedGroup);
    constantLabel = new QLabel(advancedGroup);
    baudLabel = new QLabel(advancedGroup);
    newIdLabel = new QLabel(advancedGroup);
    mediumCombo = editableCombo(advancedGroup, "Combo_medium",
                                {"Electricity", "Water", "Hot water", "Cold water", "H.C.A", "Heat meter", "Cold meter",
                                 "Gas", "Oil", "Pressure", "Other"},
                                0);
    unitCombo = editableCombo(advancedGroup, "Combo_unit", {"l", "Wh", "kJ", "N/A"}, 0);
    constantCombo = editableCombo(advancedGroup, "Combo_constant",
                                  {"0.001", "0.01", "0.1", "1", "10", "100", "1000", "10000"}, 5);
    baudCombo = editableCombo(advancedGroup, "Combo_set_baud", {"300", "2400", "9600"}, 4);
    baudCombo->lineEdit()->setValidator(digitsOnly(baudCombo, 4));
    relayBox = named(new QCheckBox(advancedGroup), "Check_gineers");
    setMediumButton = named(new QPushButton(advancedGroup), "Butt_set_medium");
    setUnitButton = named(new QPushButton(advancedGroup), "Butt_set_unit");
    setBaudButton = named(new QPushButton(advancedGroup), "Butt_set_baud");
    setIdButton = named(new QPushButton(advancedGroup), "Butt_set_id");
    newIdEdit = named(new QLineEdit(advancedGroup), "Edit_new_id");
    newIdEdit->setMaxLength(8);
    newIdEdit->setValidator(digitsOnly(newIdEdit, 8));
    newIdEdit->setMinimumWidth(newIdEdit->fontMetrics().horizontalAdvance(QStringLiteral("000000000000")));

    // Two columns of label, field and button; the unit's constant and relay
    // switch go with the unit.
    grid->addWidget(mediumLabel, 0, 0);
    grid->addWidget(mediumCombo, 0, 1);
    grid->addWidget(setMediumButton, 0, 2);
    grid->addWidget(baudLabel, 1, 0);
    grid->addWidget(baudCombo, 1, 1);
    grid->addWidget(setBaudButton, 1, 2);
    grid->setColumnMinimumWidth(3, 16);
    grid->addWidget(unitLabel, 0, 4);
    grid->addLayout(row({unitCombo, constantLabel, constantCombo, relayBox, setUnitButton}), 0, 5);
    grid->addWidget(newIdLabel, 1, 4);
    grid->addLayout(row({newIdEdit, setIdButton}), 1, 5);
    grid->setColumnStretch(5, 1);
    // While "Relay" is set the unit button writes the reading; no ID change then.
    connect(relayBox, &QCheckBox::toggled, this, [this](bool relay) {
        newIdEdit->setEnabled(!relay);
        setIdButton->setEnabled(!relay);
    });
    return advancedGroup;
}

// Beside the tabs, whichever is open: the Stop of a search or meter command,
// the meter the commands go to, and the switch that sends them to every meter.
QWidget *DevicesPage::buildSelectionCorner()
{
    auto *corner = new QWidget(this);
    stopSearchButton = named(new QPushButton(corner), "Button1");
    stopSearchButton->setVisible(false);
    broadcastBox = named(new QCheckBox(corner), "Check_broadcast");
    selectedIdLabel = named(new QLabel(corner), "Label_id");
    selectedAddressLabel = named(new QLabel(corner), "Label_addr");
    selectedIdLabel->setMinimumWidth(selectedIdLabel->fontMetrics().horizontalAdvance(QStringLiteral("ID:00000000")));
    selectedAddressLabel->setMinimumWidth(
        selectedAddressLabel->fontMetrics().horizontalAdvance(QStringLiteral("Addr.:000")));
    auto *line = new QHBoxLayout(corner);
    line->setContentsMargins(0, 0, 4, 0);
    line->addWidget(stopSearchButton);
    line->addSpacing(12);
    line->addWidget(selectedIdLabel);
    line->addWidget(selectedAddressLabel);
    line->addSpacing(12);
    line->addWidget(broadcastBox);
    return corner;
}

QWidget *DevicesPage::buildTableArea()
{
    auto *area = new QWidget(this);
    auto *layout = new QVBoxLayout(area);
    layout->setContentsMargins(0, 0, 0, 0);

    deviceGrid = named(new QTableView(area), "Grid_orvenna");
    deviceGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    deviceGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    deviceGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    deviceGrid->setContextMenuPolicy(Qt::CustomContextMenu);
    deviceGrid->verticalHeader()->hide();
    deviceGrid->verticalHeader()->setDefaultSectionSize(20);
    deviceGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    deviceGrid->horizontalHeader()->setStretchLastSection(true); // the table fills a wide window
    layout->addWidget(deviceGrid, 1);

    auto *buttons = new QHBoxLayout;
    readSelectedButton = named(new QPushButton(area), "Butt_readonce");
    readAllButton = named(new QPushButton(area), "Butt_readall");
    clearTableButton = named(new QPushButton(area), "Butt_clear_grid");
    loadButton = named(new QPushButton(area), "Butt_load_data");
    saveButton = named(new QPushButton(area), "Butt_save_data");
    historyButton = named(new QPushButton(area), "historyButton");
    autoAddressButton = named(new QPushButton(area), "BitBtn21");
    autoAddressFromLabel = new QLabel(area);
    autoAddressFirstBox = spinBox(area, "UD_AutoPrimary", 1, 249);
    if (auto *edit = autoAddressFirstBox->findChild<QLineEdit *>())
        edit->setObjectName(QStringLiteral("Edit_auto_primary"));
    buttons->addWidget(readSelectedButton);
    buttons->addWidget(readAllButton);
    buttons->addWidget(clearTableButton);
    buttons->addSpacing(12);
    buttons->addWidget(loadButton);
    buttons->addWidget(saveButton);
    buttons->addWidget(historyButton);
    buttons->addStretch(1);
    buttons->addWidget(autoAddressButton);
    buttons->addWidget(autoAddressFromLabel);
    buttons->addWidget(autoAddressFirstBox);
    layout->addLayout(buttons);
    return area;
}

void DevicesPage::setMeterCommandsShown(bool shown)
{
    for (QWidget *page : {static_cast<QWidget *>(basicGroup), static_cast<QWidget *>(advancedGroup)})
        commandTabs->setTabVisible(commandTabs->indexOf(page), shown);
    for (QWidget *w : std::initializer_list<QWidget *>{selectedIdLabel, selectedAddressLabel, broadcastBox})
        w->setVisible(shown);
}

bool DevicesPage::meterCommandsShown() const
{
    return commandTabs->isTabVisible(commandTabs->indexOf(basicGroup));
}

void DevicesPage::retranslate()
{
    // The captions' padding was for framed groups; tabs have their own.
    commandTabs->setTabText(commandTabs->indexOf(searchGroup), tr("   Search network    ").trimmed());
    commandTabs->setTabText(commandTabs->indexOf(basicGroup), tr("   Basic Config.   ").trimmed());
    commandTabs->setTabText(commandTabs->indexOf(advancedGroup), tr("   Advanced  Config.   ").simplified());
    fromAddressLabel->setText(tr("From address"));
    toAddressLabel->setText(tr("To address"));
    timeoutLabel->setText(tr("Timeout [ms]"));
    sendNkeFirstBox->setText(tr("Send NKE first"));
    secondarySearchLabel->setText(tr("By Secondary address:"));
    primarySearchLabel->setText(tr("By primary address:"));
    findIdButton->setText(tr("Find"));
    findAllButton->setText(tr("Find all"));
    stopSearchButton->setText(tr("Stop Secondary"));

    resetButton->setText(tr("Reset Status"));
    newAddressLabel->setText(tr("New address:"));
    setAddressButton->setText(tr("Set "));
    valueLabel->setText(tr("Set value to:"));
    //: The unit "Set value to:" writes in, beside its field.
    valueUnitLabel->setText(tr("litres"));
    valueUnitLabel->setToolTip(tr("The value is written in litres, whatever unit the meter shows."));
    integerValueBox->setText(tr("GIN"));
    setValueButton->setText(tr("Set"));

    mediumLabel->setText(tr("Medium:"));
    unitLabel->setText(tr("Unit:"));
    constantLabel->setText(tr("Const.:"));
    relayBox->setText(tr("Relay"));
    baudLabel->setText(tr("Baud rate:"));
    newIdLabel->setText(tr("New ID:"));
    setMediumButton->setText(tr("Set"));
    setUnitButton->setText(tr("Set"));
    setBaudButton->setText(tr("Set"));
    setIdButton->setText(tr("Set"));

    broadcastBox->setText(tr("work on broadcast (0xFE)"));
    readSelectedButton->setText(tr("Read selected"));
    clearTableButton->setText(tr("Clear table"));
    loadButton->setText(tr("Load"));
    saveButton->setText(tr("Save / Export"));
    historyButton->setText(tr("History..."));
    autoAddressFromLabel->setText(tr("from"));
    showSelection(m_selectedId, m_selectedAddress);
}

void DevicesPage::showSelection(const QString &id, const QString &address)
{
    m_selectedId = id;
    m_selectedAddress = address;
    selectedIdLabel->setText(tr("ID:") + id);
    selectedAddressLabel->setText(tr("Addr.:") + address);
}

void DevicesPage::setTableModel(QAbstractItemModel *model)
{
    deviceGrid->setModel(model);
    m_fitColumns = new QTimer(this);
    m_fitColumns->setSingleShot(true);
    m_fitColumns->setInterval(0);
    connect(m_fitColumns, &QTimer::timeout, this, &DevicesPage::fitColumns);
    const auto fitSoon = [this] { m_fitColumns->start(); };
    connect(model, &QAbstractItemModel::dataChanged, this, fitSoon);
    connect(model, &QAbstractItemModel::rowsInserted, this, fitSoon);
    connect(model, &QAbstractItemModel::modelReset, this, fitSoon);
    connect(model, &QAbstractItemModel::headerDataChanged, this, fitSoon);
    fitColumns();
}

void DevicesPage::fitColumns()
{
    widenColumnsToFit(deviceGrid);
}
