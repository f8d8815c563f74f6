// The two pages of the settings dialog: their controls, limits, input filters,
// layouts and captions.

#include "settings_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

template <typename T>
T *named(T *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QLineEdit *lineEdit(QWidget *parent, const char *name, int maxLength, const char *allowed = nullptr)
{
    auto *edit = named(new QLineEdit(parent), name);
    edit->setMaxLength(maxLength);
    if (allowed) {
        const QString pattern = QStringLiteral("[%1]{0,%2}").arg(QString::fromLatin1(allowed)).arg(maxLength);
        edit->setValidator(new QRegularExpressionValidator(QRegularExpression(pattern), edit));
    }
    return edit;
}

// An up-down whose number cannot be typed, only stepped.
QSpinBox *upDown(QWidget *parent, const char *name, const char *editName, int lo, int hi, QLineEdit **edit)
{
    auto *box = named(new QSpinBox(parent), name);
    box->setRange(lo, hi);
    *edit = box->findChild<QLineEdit *>();
    if (*edit) {
        (*edit)->setObjectName(QString::fromLatin1(editName));
        (*edit)->setReadOnly(true);
    }
    return box;
}

QComboBox *editableCombo(QWidget *parent, const char *name, const QStringList &items, int maxLength)
{
    auto *box = named(new QComboBox(parent), name);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->addItems(items);
    box->lineEdit()->setMaxLength(maxLength);
    return box;
}

QCheckBox *checkBox(QWidget *parent, const char *name)
{
    return named(new QCheckBox(parent), name);
}

QPushButton *button(QWidget *parent, const char *name)
{
    return named(new QPushButton(parent), name);
}

QHBoxLayout *buttonRow(QPushButton *left, QPushButton *right)
{
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(left);
    row->addWidget(right);
    return row;
}

// A field with a short text after it ("x10ms").
QHBoxLayout *withUnit(QWidget *field, QLabel *unit)
{
    auto *row = new QHBoxLayout;
    row->addWidget(field);
    row->addWidget(unit);
    row->addStretch(1);
    return row;
}

constexpr const char *kDigits = "0-9";
constexpr const char *kDotted = "0-9.";

} // namespace

QLabel *TSettings::label(QWidget *parent, const char *source)
{
    auto *text = new QLabel(parent);
    m_labels.emplace_back(text, source);
    return text;
}

QWidget *TSettings::buildPortPage()
{
    TabSheet1 = named(new QWidget(this), "TabSheet1");

    auto *port = new QGroupBox(TabSheet1);
    Combo_com_name = editableCombo(port, "Combo_com_name", {}, kPortNameLength); // listed on each showing
    // Room for a path under /dev/serial/by-id, not just "COM1"; a width fixed
    // before the first showing, so the dialog opens at its final size.
    Combo_com_name->setMinimumContentsLength(40);
    Combo_com_name->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    Combo_com_speed = editableCombo(port, "Combo_com_speed", {"300", "2400", "4800", "9600", "19200"}, 6);
    Combo_com_parity = editableCombo(port, "Combo_com_parity", {"None", "Even", "Odd", "Mark", "Space"}, 5);
    Check_rts = checkBox(port, "Check_rts");
    Check_dtr = checkBox(port, "Check_dtr");
    Butt_open_port = button(port, "Butt_open_port");
    Butt_open_port->setVisible(false);
    auto *portForm = new QFormLayout(port);
    portForm->addRow(label(port, QT_TR_NOOP("Name")), Combo_com_name);
    portForm->addRow(label(port, QT_TR_NOOP("Speed")), Combo_com_speed);
    portForm->addRow(label(port, QT_TR_NOOP("Parity")), Combo_com_parity);
    auto *lines = new QHBoxLayout;
    lines->addWidget(Check_rts);
    lines->addWidget(Check_dtr);
    lines->addStretch(1);
    portForm->addRow(lines);

    Check_xport = checkBox(TabSheet1, "Check_xport");
    Check_velk_server = checkBox(TabSheet1, "Check_velk_server");
    GroupBox4 = named(new QGroupBox(TabSheet1), "GroupBox4");
    Edit_lanxp_ip = lineEdit(GroupBox4, "Edit_lanxp_ip", 15, kDotted);
    Edit_lanxp_port = lineEdit(GroupBox4, "Edit_lanxp_port", 5, kDigits);
    UD_eth_timeout = upDown(GroupBox4, "UD_eth_timeout", "Edit_eth_timeout", 20, 999, &Edit_eth_timeout);
    Edit_net_number = lineEdit(GroupBox4, "Edit_net_number", 15, kDotted);
    auto *remoteForm = new QFormLayout(GroupBox4);
    remoteForm->addRow(label(GroupBox4, QT_TR_NOOP("Remote IP number:")), Edit_lanxp_ip);
    remoteForm->addRow(label(GroupBox4, QT_TR_NOOP("Remote port:")), Edit_lanxp_port);
    remoteForm->addRow(label(GroupBox4, QT_TR_NOOP("Ethernet timeout")),
                       withUnit(UD_eth_timeout, label(GroupBox4, QT_TR_NOOP("x10ms"))));
    remoteForm->addRow(label(GroupBox4, QT_TR_NOOP("Network number")), Edit_net_number);

    Check_ethernet = checkBox(TabSheet1, "Check_ethernet");
    GroupBox3 = named(new QGroupBox(TabSheet1), "GroupBox3");
    Edit_tcp_port = lineEdit(GroupBox3, "Edit_tcp_port", 5, kDigits);
    Check_open_tcp = checkBox(GroupBox3, "Check_open_tcp");
    Check_autotev = checkBox(GroupBox3, "Check_autotev");
    Check_autombus = checkBox(GroupBox3, "Check_autombus");
    auto *listenForm = new QFormLayout(GroupBox3);
    listenForm->addRow(label(GroupBox3, QT_TR_NOOP("Port to listen:")), Edit_tcp_port);
    listenForm->addRow(Check_open_tcp);
    listenForm->addRow(Check_autotev);
    listenForm->addRow(Check_autombus);

    auto *reading = new QGroupBox(TabSheet1);
    UD_retry_read = upDown(reading, "UD_retry_read", "Edit_retry_read", 0, 9, &Edit_retry_read);
    Edit_export_separator = lineEdit(reading, "Edit_export_separator", 1);
    Edit_export_separator->setMaximumWidth(Edit_export_separator->fontMetrics().horizontalAdvance(u'M') * 4);
    Edit_genCode = lineEdit(reading, "Edit_genCode", 2, kDigits);
    Edit_genCode->setMaximumWidth(Edit_genCode->fontMetrics().horizontalAdvance(u'0') * 6);
    Group_secondary_search = named(new QGroupBox(reading), "Group_secondary_search");
    Check_MSB = checkBox(Group_secondary_search, "Check_MSB");
    Check_LSB = checkBox(Group_secondary_search, "Check_LSB");
    Check_MSB->setChecked(true); // exactly one of the two, from the start
    auto *order = new QHBoxLayout(Group_secondary_search);
    order->addWidget(Check_MSB);
    order->addWidget(Check_LSB);
    order->addStretch(1);
    Global_init = checkBox(reading, "Global_init");
    Check_5B = checkBox(reading, "Check_5B");
    Check_unicode = checkBox(reading, "Check_unicode");
    Check_fast_reads = checkBox(reading, "Check_fast_reads");
    Check_all_telegrams = checkBox(reading, "Check_all_telegrams");
    auto *readingGrid = new QGridLayout(reading);
    readingGrid->addWidget(label(reading, QT_TR_NOOP("Retries")), 0, 0);
    readingGrid->addWidget(UD_retry_read, 0, 1, Qt::AlignLeft);
    readingGrid->addWidget(label(reading, QT_TR_NOOP("Export separator:")), 1, 0);
    readingGrid->addWidget(Edit_export_separator, 1, 1, Qt::AlignLeft);
    readingGrid->addWidget(Group_secondary_search, 2, 0, 1, 2);
    readingGrid->addWidget(Global_init, 3, 0, 1, 2);
    readingGrid->addWidget(Check_5B, 4, 0, 1, 2);
    readingGrid->addWidget(Check_unicode, 5, 0, 1, 2);
    readingGrid->addWidget(Check_fast_reads, 6, 0, 1, 2);
    readingGrid->addWidget(Check_all_telegrams, 7, 0, 1, 2);
    readingGrid->addWidget(label(reading, QT_TR_NOOP("Generation code of VANTIR, decimal")), 8, 0, 1, 2);
    readingGrid->addWidget(Edit_genCode, 9, 0, 1, 2, Qt::AlignLeft);
    readingGrid->setColumnStretch(1, 1);

    BitBtn2 = button(TabSheet1, "BitBtn2");
    BitBtn1 = button(TabSheet1, "BitBtn1");

    auto *left = new QVBoxLayout;
    left->addWidget(port);
    left->addWidget(Check_xport);
    left->addWidget(Check_velk_server);
    left->addWidget(GroupBox4);
    left->addStretch(1);
    auto *right = new QVBoxLayout;
    right->addWidget(Check_ethernet);
    right->addWidget(GroupBox3);
    right->addWidget(reading);
    right->addStretch(1);
    auto *columns = new QHBoxLayout;
    columns->addLayout(left, 3);
    columns->addLayout(right, 2);
    auto *page = new QVBoxLayout(TabSheet1);
    page->addLayout(columns, 1);
    page->addLayout(buttonRow(BitBtn2, BitBtn1));
    return TabSheet1;
}

QWidget *TSettings::buildTitlesPage()
{
    TabSheet2 = named(new QWidget(this), "TabSheet2");

    auto *titles = new QGroupBox(TabSheet2);
    UD_addValues = upDown(titles, "UD_addValues", "EditAddValues", 0, kTitleFields, &EditAddValues);
    auto *grid = new QGridLayout(titles);
    grid->addWidget(label(titles, QT_TR_NOOP("Additional Values")), 0, 0, 1, 2);
    grid->addWidget(label(titles, QT_TR_NOOP("to decode:")), 1, 0);
    grid->addWidget(UD_addValues, 1, 1, Qt::AlignLeft);
    QLineEdit **fields[kTitleFields] = {&Edit1, &Edit2, &Edit3, &Edit4,  &Edit5,  &Edit6, &Edit7,
                                        &Edit8, &Edit9, &Edit10, &Edit11, &Edit12, &Edit13};
    static const char *const kTitleLabels[kTitleFields] = {
        QT_TR_NOOP("Title 1"), QT_TR_NOOP("Title 2"),  QT_TR_NOOP("Title 3"),  QT_TR_NOOP("Title 4"),
        QT_TR_NOOP("Title 5"), QT_TR_NOOP("Title 6"),  QT_TR_NOOP("Title 7"),  QT_TR_NOOP("Title 8"),
        QT_TR_NOOP("Title 9"), QT_TR_NOOP("Title 10"), QT_TR_NOOP("Title 11"), QT_TR_NOOP("Title 12"),
        QT_TR_NOOP("Title 13")};
    for (int i = 0; i < kTitleFields; ++i) {
        const QByteArray name = "Edit" + QByteArray::number(i + 1);
        auto *edit = lineEdit(titles, name.constData(), Settings::kTitleLength);
        *fields[i] = edit;
        m_titleEdits[std::size_t(i)] = edit;
        grid->addWidget(label(titles, kTitleLabels[i]), i + 2, 0);
        grid->addWidget(edit, i + 2, 1);
    }
    grid->setColumnStretch(1, 1);

    auto *secondary = new QGroupBox(TabSheet2);
    Check_secMain = checkBox(secondary, "Check_secMain");
    Edit_secMain = lineEdit(secondary, "Edit_secMain", Settings::kTitleLength);
    Edit_secMain->setEnabled(false);
    auto *explained = new QVBoxLayout(secondary);
    explained->addWidget(Check_secMain);
    for (const char *line : {QT_TR_NOOP("Some devices give"), QT_TR_NOOP("more than 1 Main value"),
                             QT_TR_NOOP("Check this option, if that"), QT_TR_NOOP("is the case ")})
        explained->addWidget(label(secondary, line));
    explained->addWidget(Edit_secMain);
    explained->addStretch(1);

    BitBtn4 = button(TabSheet2, "BitBtn4");
    BitBtn3 = button(TabSheet2, "BitBtn3");

    auto *columns = new QHBoxLayout;
    columns->addWidget(titles, 1);
    columns->addWidget(secondary, 1);
    auto *page = new QVBoxLayout(TabSheet2);
    page->addLayout(columns, 1);
    page->addLayout(buttonRow(BitBtn4, BitBtn3));
    return TabSheet2;
}

void TSettings::retranslate()
{
    setWindowTitle(tr("Telvaro -> Settings"));
    PageControl1->setTabText(PageControl1->indexOf(TabSheet1), tr("   Communication settings   "));
    PageControl1->setTabText(PageControl1->indexOf(TabSheet2), tr("   Additional m-bus information   "));

    Check_rts->setText(tr("RTS control"));
    Check_dtr->setText(tr("DTR control"));
    Butt_open_port->setText(m_portOpen ? tr("Disconnect") : tr("Connect to port"));
    Check_xport->setText(tr("Use TCP/IP option "));
    Check_velk_server->setText(tr("Use VELK-2 server"));
    GroupBox4->setTitle(tr("   Remote connection settings   "));
    Check_ethernet->setText(tr("Use VELK-2 or DRAV-4"));
    GroupBox3->setTitle(tr("   Ethernet settings   "));
    Check_open_tcp->setText(tr("Auto open and listen"));
    Check_autotev->setText(tr("Auto Read Display"));
    Check_autombus->setText(tr("Auto Read M-bus"));
    Group_secondary_search->setTitle(tr("Secondary Search"));
    Check_MSB->setText(tr("MSB"));
    Check_LSB->setText(tr("LSB"));
    Global_init->setText(tr("Global Initialization"));
    Check_5B->setText(tr("5B"));
    Check_unicode->setText(tr("Unicode/CP852"));
    Check_fast_reads->setText(tr("Complete reply early"));
    Check_fast_reads->setToolTip(tr("Take a reply as soon as it is a whole frame instead of one response timeout "
                                    "after the request"));
    Check_all_telegrams->setText(tr("Read all telegrams"));
    Check_all_telegrams->setToolTip(tr("Ask a meter for its next telegram while its reply announces more records"));
    BitBtn2->setText(tr("Cancel"));
    BitBtn1->setText(tr("Apply"));

    Check_secMain->setText(tr("Secondary Main"));
    BitBtn4->setText(tr("Close"));
    BitBtn3->setText(tr("Apply"));

    for (const auto &[text, source] : m_labels)
        text->setText(tr(source));
}
