#include "devices_page.h"

#include "column_fit.h"
#include "config/settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
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
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

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

} // namespace

DevicesPage::DevicesPage(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TabSheet1"));
    auto *groups = new QHBoxLayout;
    groups->addWidget(buildSearchGroup());
    groups->addWidget(buildBasicGroup());
    groups->addWidget(buildAdvancedGroup());
    groups->addStretch(1); // a wide window widens the table, not the command boxes
    searchGroup->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(groups);
    layout->addWidget(buildTableArea(), 1);
    retranslate();
}

QGroupBox *DevicesPage::buildSearchGroup()
{
    searchGroup = named(new QGroupBox(this), "Group_search");
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
    findIdButton = named(new QPushButton(searchGroup), "Butt_find_id");
    findAllButton = named(new QPushButton(searchGroup), "Butt_find_all");
    stopSearchButton = named(new QPushButton(searchGroup), "Button1");
    stopSearchButton->setVisible(false);
    progressBar = named(new QProgressBar(searchGroup), "ProgressBar1");
    progressBar->setRange(0, 250);
    progressBar->setVisible(false);
    progressBar->setTextVisible(true); // says what it counts: "address 37 of 0..250"
    QSizePolicy keepRoom = progressBar->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true); // the groups do not jump when it shows
    progressBar->setSizePolicy(keepRoom);

    // Primary search on the left, secondary on the right, the timeout below both.
    auto *divider = new QFrame(searchGroup);
    divider->setFrameShape(QFrame::VLine);
    divider->setFrameShadow(QFrame::Sunken);
    grid->addWidget(primarySearchLabel, 0, 0, 1, 2);
    grid->addWidget(fromAddressLabel, 1, 0);
    grid->addWidget(fromAddressBox, 1, 1);
    grid->addWidget(toAddressLabel, 2, 0);
    grid->addWidget(toAddressBox, 2, 1);
    grid->addWidget(sendNkeFirstBox, 3, 0, 1, 2);
    grid->addWidget(findPrimaryButton, 4, 0, 1, 2);
    grid->addWidget(divider, 0, 2, 5, 1);
    grid->addWidget(secondarySearchLabel, 0, 3, 1, 2);
    grid->addWidget(searchIdEdit, 1, 3, 1, 2);
    // One above the other: side by side they would not fit a 1024-pixel screen in Polish.
    grid->addWidget(findIdButton, 2, 3, 1, 2);
    grid->addWidget(findAllButton, 3, 3, 1, 2);
    grid->addWidget(stopSearchButton, 4, 3, 1, 2);
    auto *timeout = new QHBoxLayout;
    timeout->addWidget(timeoutLabel);
    timeout->addWidget(timeoutBox);
    timeout->addStretch(1);
    grid->addLayout(timeout, 5, 0, 1, 5);
    grid->addWidget(progressBar, 6, 0, 1, 5);
    grid->setRowStretch(7, 1);
    return searchGroup;
}

QGroupBox *DevicesPage::buildBasicGroup()
{
    basicGroup = named(new QGroupBox(this), "Group_ops");
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
    integerValueBox = named(new QCheckBox(basicGroup), "Check_value_gineers");
    setValueButton = named(new QPushButton(basicGroup), "Butt_modify_liters");

    grid->addWidget(resetButton, 0, 0, 1, 3);
    grid->addWidget(newAddressLabel, 1, 0);
    grid->addWidget(newAddressBox, 1, 1);
    grid->addWidget(setAddressButton, 1, 2);
    grid->addWidget(valueLabel, 2, 0);
    grid->addWidget(valueEdit, 2, 1);
    grid->addWidget(setValueButton, 2, 2);
    grid->addWidget(integerValueBox, 3, 1);
    grid->setRowStretch(4, 1);
    return basicGroup;
}

QGroupBox *DevicesPage::buildAdvancedGroup()
{
    advancedGroup = named(new QGroupBox(this), "Group_advanced");
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

    grid->addWidget(mediumLabel, 0, 0);
    grid->addWidget(mediumCombo, 0, 1, 1, 3);
    grid->addWidget(setMediumButton, 0, 4);
    grid->addWidget(unitLabel, 1, 0);
    grid->addWidget(unitCombo, 1, 1);
    grid->addWidget(constantLabel, 1, 2);
    grid->addWidget(constantCombo, 1, 3);
    grid->addWidget(setUnitButton, 1, 4);
    grid->addWidget(relayBox, 2, 1, 1, 3);
    grid->addWidget(baudLabel, 3, 0);
    grid->addWidget(baudCombo, 3, 1, 1, 3);
    grid->addWidget(setBaudButton, 3, 4);
    grid->addWidget(newIdLabel, 4, 0);
    grid->addWidget(newIdEdit, 4, 1, 1, 3);
    grid->addWidget(setIdButton, 4, 4);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    // While "Relay" is set the unit button writes the reading; no ID change then.
    connect(relayBox, &QCheckBox::toggled, this, [this](bool relay) {
        newIdEdit->setEnabled(!relay);
        setIdButton->setEnabled(!relay);
    });
    return advancedGroup;
}

QWidget *DevicesPage::buildTableArea()
{
    auto *area = new QWidget(this);
    auto *layout = new QVBoxLayout(area);
    layout->setContentsMargins(0, 0, 0, 0);

    auto *selection = new QHBoxLayout;
    broadcastBox = named(new QCheckBox(area), "Check_broadcast");
    selectedIdLabel = named(new QLabel(area), "Label_id");
    selectedAddressLabel = named(new QLabel(area), "Label_addr");
    selectedIdLabel->setMinimumWidth(120);
    selectedAddressLabel->setMinimumWidth(90);
    selection->addWidget(selectedIdLabel);
    selection->addWidget(selectedAddressLabel);
    selection->addStretch(1);
    selection->addWidget(broadcastBox);
    layout->addLayout(selection);

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

void DevicesPage::retranslate()
{
    searchGroup->setTitle(tr("   Search network    "));
    fromAddressLabel->setText(tr("From address"));
    toAddressLabel->setText(tr("To address"));
    timeoutLabel->setText(tr("Timeout [ms]"));
    sendNkeFirstBox->setText(tr("Send NKE first"));
    secondarySearchLabel->setText(tr("By Secondary address:"));
    primarySearchLabel->setText(tr("By primary address:"));
    findIdButton->setText(tr("Find"));
    findAllButton->setText(tr("Find all"));
    stopSearchButton->setText(tr("Stop Secondary"));

    basicGroup->setTitle(tr("   Basic Config.   "));
    resetButton->setText(tr("Reset Status"));
    newAddressLabel->setText(tr("New address:"));
    setAddressButton->setText(tr("Set "));
    valueLabel->setText(tr("Set value to:"));
    integerValueBox->setText(tr("GIN"));
    setValueButton->setText(tr("Set"));

    advancedGroup->setTitle(tr("   Advanced  Config.   "));
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
