#include "devices_page.h"

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
#include <QTableWidget>
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
    groups->addWidget(buildAdvancedGroup(), 1);
    groups->addStretch(0); // takes the room when the command groups are hidden (no devices right)
    Group_search->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(groups);
    layout->addWidget(buildTableArea(), 1);
    retranslate();
}

QGroupBox *DevicesPage::buildSearchGroup()
{
    Group_search = named(new QGroupBox(this), "Group_search");
    auto *grid = new QGridLayout(Group_search);
    Label6 = new QLabel(Group_search);
    Label7 = new QLabel(Group_search);
    Label8 = new QLabel(Group_search);
    UD_address_min = spinBox(Group_search, "UD_address_min", 0, Settings::kAddressMax);
    UD_address_max = spinBox(Group_search, "UD_address_max", 0, Settings::kAddressMax);
    UD_timeout = spinBox(Group_search, "UD_timeout", Settings::kTimeoutMin, Settings::kTimeoutMax, 100);
    if (auto *edit = UD_timeout->findChild<QLineEdit *>())
        edit->setObjectName(QStringLiteral("Edit_timeout"));
    Check_nke = named(new QCheckBox(Group_search), "Check_nke");
    Butt_find_primary = named(new QPushButton(Group_search), "Butt_find_primary");
    Label5 = new QLabel(Group_search);
    Label16 = new QLabel(Group_search);
    Edit_id = named(new QLineEdit(Group_search), "Edit_id");
    Edit_id->setMaxLength(8);
    Edit_id->setValidator(digitsOnly(Edit_id, 8, "F"));
    Butt_find_id = named(new QPushButton(Group_search), "Butt_find_id");
    Butt_find_all = named(new QPushButton(Group_search), "Butt_find_all");
    Button1 = named(new QPushButton(Group_search), "Button1");
    Button1->setVisible(false);
    ProgressBar1 = named(new QProgressBar(Group_search), "ProgressBar1");
    ProgressBar1->setRange(0, 250);
    ProgressBar1->setVisible(false);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setMaximumHeight(12);
    QSizePolicy keepRoom = ProgressBar1->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true); // the groups do not jump when it shows
    ProgressBar1->setSizePolicy(keepRoom);

    // Primary search on the left, secondary on the right, the timeout below both.
    auto *divider = new QFrame(Group_search);
    divider->setFrameShape(QFrame::VLine);
    divider->setFrameShadow(QFrame::Sunken);
    grid->addWidget(Label16, 0, 0, 1, 2);
    grid->addWidget(Label6, 1, 0);
    grid->addWidget(UD_address_min, 1, 1);
    grid->addWidget(Label7, 2, 0);
    grid->addWidget(UD_address_max, 2, 1);
    grid->addWidget(Check_nke, 3, 0, 1, 2);
    grid->addWidget(Butt_find_primary, 4, 0, 1, 2);
    grid->addWidget(divider, 0, 2, 5, 1);
    grid->addWidget(Label5, 0, 3, 1, 2);
    grid->addWidget(Edit_id, 1, 3, 1, 2);
    grid->addWidget(Butt_find_id, 2, 3);
    grid->addWidget(Butt_find_all, 2, 4);
    grid->addWidget(Button1, 4, 3, 1, 2);
    auto *timeout = new QHBoxLayout;
    timeout->addWidget(Label8);
    timeout->addWidget(UD_timeout);
    timeout->addStretch(1);
    grid->addLayout(timeout, 5, 0, 1, 5);
    grid->addWidget(ProgressBar1, 6, 0, 1, 5);
    grid->setRowStretch(7, 1);
    return Group_search;
}

QGroupBox *DevicesPage::buildBasicGroup()
{
    Group_ops = named(new QGroupBox(this), "Group_ops");
    auto *grid = new QGridLayout(Group_ops);
    Butt_reset = named(new QPushButton(Group_ops), "Butt_reset");
    Label14 = new QLabel(Group_ops);
    UD_new_address = spinBox(Group_ops, "UD_new_address", 1, 250);
    if (auto *edit = UD_new_address->findChild<QLineEdit *>())
        edit->setObjectName(QStringLiteral("Edit_new_address"));
    Butt_set_address = named(new QPushButton(Group_ops), "Butt_set_address");
    Label10 = new QLabel(Group_ops);
    Edit_liter = named(new QLineEdit(Group_ops), "Edit_liter");
    Edit_liter->setMaxLength(8);
    Edit_liter->setValidator(digitsOnly(Edit_liter, 8));
    Check_value_gineers = named(new QCheckBox(Group_ops), "Check_value_gineers");
    Butt_modify_liters = named(new QPushButton(Group_ops), "Butt_modify_liters");

    grid->addWidget(Butt_reset, 0, 0, 1, 3);
    grid->addWidget(Label14, 1, 0);
    grid->addWidget(UD_new_address, 1, 1);
    grid->addWidget(Butt_set_address, 1, 2);
    grid->addWidget(Label10, 2, 0);
    grid->addWidget(Edit_liter, 2, 1);
    grid->addWidget(Butt_modify_liters, 2, 2);
    grid->addWidget(Check_value_gineers, 3, 1);
    grid->setRowStretch(4, 1);
    return Group_ops;
}

QGroupBox *DevicesPage::buildAdvancedGroup()
{
    Group_advanced = named(new QGroupBox(this), "Group_advanced");
    auto *grid = new QGridLayout(Group_advanced);
    Label33 = new QLabel(Group_advanced);
    Label34 = new QLabel(Group_advanced);
    Label35 = new QLabel(Group_advanced);
    Label13 = new QLabel(Group_advanced);
    Label12 = new QLabel(Group_advanced);
    Combo_medium = editableCombo(Group_advanced, "Combo_medium",
                                 {"Electricity", "Water", "Hot water", "Cold water", "H.C.A", "Heat meter", "Cold meter",
                                  "Gas", "Oil", "Pressure", "Other"},
                                 0);
    Combo_unit = editableCombo(Group_advanced, "Combo_unit", {"l", "Wh", "kJ", "N/A"}, 0);
    Combo_constant = editableCombo(Group_advanced, "Combo_constant",
                                   {"0.001", "0.01", "0.1", "1", "10", "100", "1000", "10000"}, 5);
    Combo_set_baud = editableCombo(Group_advanced, "Combo_set_baud", {"300", "2400", "9600"}, 4);
    Combo_set_baud->lineEdit()->setValidator(digitsOnly(Combo_set_baud, 4));
    Check_gineers = named(new QCheckBox(Group_advanced), "Check_gineers");
    Butt_set_medium = named(new QPushButton(Group_advanced), "Butt_set_medium");
    Butt_set_unit = named(new QPushButton(Group_advanced), "Butt_set_unit");
    Butt_set_baud = named(new QPushButton(Group_advanced), "Butt_set_baud");
    Butt_set_id = named(new QPushButton(Group_advanced), "Butt_set_id");
    Edit_new_id = named(new QLineEdit(Group_advanced), "Edit_new_id");
    Edit_new_id->setMaxLength(8);
    Edit_new_id->setValidator(digitsOnly(Edit_new_id, 8));

    grid->addWidget(Label33, 0, 0);
    grid->addWidget(Combo_medium, 0, 1, 1, 3);
    grid->addWidget(Butt_set_medium, 0, 4);
    grid->addWidget(Label34, 1, 0);
    grid->addWidget(Combo_unit, 1, 1);
    grid->addWidget(Label35, 1, 2);
    grid->addWidget(Combo_constant, 1, 3);
    grid->addWidget(Butt_set_unit, 1, 4);
    grid->addWidget(Check_gineers, 2, 1, 1, 3);
    grid->addWidget(Label13, 3, 0);
    grid->addWidget(Combo_set_baud, 3, 1, 1, 3);
    grid->addWidget(Butt_set_baud, 3, 4);
    grid->addWidget(Label12, 4, 0);
    grid->addWidget(Edit_new_id, 4, 1, 1, 3);
    grid->addWidget(Butt_set_id, 4, 4);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    // While "Relay" is set the unit button writes the reading; no ID change then.
    connect(Check_gineers, &QCheckBox::toggled, this, [this](bool relay) {
        Edit_new_id->setEnabled(!relay);
        Butt_set_id->setEnabled(!relay);
    });
    return Group_advanced;
}

QWidget *DevicesPage::buildTableArea()
{
    auto *area = new QWidget(this);
    auto *layout = new QVBoxLayout(area);
    layout->setContentsMargins(0, 0, 0, 0);

    auto *selection = new QHBoxLayout;
    Check_broadcast = named(new QCheckBox(area), "Check_broadcast");
    Label_id = named(new QLabel(area), "Label_id");
    Label_addr = named(new QLabel(area), "Label_addr");
    Label_id->setMinimumWidth(120);
    Label_addr->setMinimumWidth(90);
    selection->addWidget(Label_id);
    selection->addWidget(Label_addr);
    selection->addStretch(1);
    selection->addWidget(Check_broadcast);
    layout->addLayout(selection);

    Grid_orvenna = named(new QTableWidget(0, 10, area), "Grid_orvenna");
    Grid_orvenna->setSelectionBehavior(QAbstractItemView::SelectRows);
    Grid_orvenna->setSelectionMode(QAbstractItemView::SingleSelection);
    Grid_orvenna->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid_orvenna->setContextMenuPolicy(Qt::CustomContextMenu);
    Grid_orvenna->verticalHeader()->hide();
    Grid_orvenna->verticalHeader()->setDefaultSectionSize(20);
    Grid_orvenna->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    layout->addWidget(Grid_orvenna, 1);

    auto *buttons = new QHBoxLayout;
    Butt_readonce = named(new QPushButton(area), "Butt_readonce");
    Butt_readall = named(new QPushButton(area), "Butt_readall");
    Butt_clear_grid = named(new QPushButton(area), "Butt_clear_grid");
    Butt_load_data = named(new QPushButton(area), "Butt_load_data");
    Butt_save_data = named(new QPushButton(area), "Butt_save_data");
    BitBtn21 = named(new QPushButton(area), "BitBtn21");
    Label15 = new QLabel(area);
    UD_AutoPrimary = spinBox(area, "UD_AutoPrimary", 1, 249);
    if (auto *edit = UD_AutoPrimary->findChild<QLineEdit *>())
        edit->setObjectName(QStringLiteral("Edit_auto_primary"));
    buttons->addWidget(Butt_readonce);
    buttons->addWidget(Butt_readall);
    buttons->addWidget(Butt_clear_grid);
    buttons->addSpacing(12);
    buttons->addWidget(Butt_load_data);
    buttons->addWidget(Butt_save_data);
    buttons->addStretch(1);
    buttons->addWidget(BitBtn21);
    buttons->addWidget(Label15);
    buttons->addWidget(UD_AutoPrimary);
    layout->addLayout(buttons);
    return area;
}

void DevicesPage::retranslate()
{
    Group_search->setTitle(tr("   Search network    "));
    Label6->setText(tr("From address"));
    Label7->setText(tr("To address"));
    Label8->setText(tr("Timeout [ms]"));
    Check_nke->setText(tr("Send NKE first"));
    Label5->setText(tr("By Secondary address:"));
    Label16->setText(tr("By primary address:"));
    Butt_find_id->setText(tr("Find"));
    Butt_find_all->setText(tr("Find all"));
    Button1->setText(tr("Stop Secondary"));

    Group_ops->setTitle(tr("   Basic Config.   "));
    Butt_reset->setText(tr("Reset Status"));
    Label14->setText(tr("New address:"));
    Butt_set_address->setText(tr("Set "));
    Label10->setText(tr("Set value to:"));
    Check_value_gineers->setText(tr("GIN"));
    Butt_modify_liters->setText(tr("Set"));

    Group_advanced->setTitle(tr("   Advanced  Config.   "));
    Label33->setText(tr("Medium:"));
    Label34->setText(tr("Unit:"));
    Label35->setText(tr("Const.:"));
    Check_gineers->setText(tr("Relay"));
    Label13->setText(tr("Baud rate:"));
    Label12->setText(tr("New ID:"));
    Butt_set_medium->setText(tr("Set"));
    Butt_set_unit->setText(tr("Set"));
    Butt_set_baud->setText(tr("Set"));
    Butt_set_id->setText(tr("Set"));

    Check_broadcast->setText(tr("work on broadcast (0xFE)"));
    Butt_readonce->setText(tr("Read selected"));
    Butt_clear_grid->setText(tr("Clear table"));
    Butt_load_data->setText(tr("Load"));
    Butt_save_data->setText(tr("Save / Export"));
    Label15->setText(tr("from"));
    showSelection(m_selectedId, m_selectedAddress);
}

void DevicesPage::showSelection(const QString &id, const QString &address)
{
    m_selectedId = id;
    m_selectedAddress = address;
    Label_id->setText(tr("ID:") + id);
    Label_addr->setText(tr("Addr.:") + address);
}
