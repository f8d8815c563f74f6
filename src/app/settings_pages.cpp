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
constexpr const char *kHost = "0-9A-Za-z.:\\[\\]\\-";

} // namespace

QLabel *SettingsDialog::label(QWidget *parent, const char *source)
{
    auto *text = new QLabel(parent);
    m_labels.emplace_back(text, source);
    return text;
}

QWidget *SettingsDialog::buildPortPage()
{
    portPage = named(new QWidget(this), "TabSheet1");

    auto *port = new QGroupBox(portPage);
    portNameCombo = editableCombo(port, "Combo_com_name", {}, kPortNameLength); // listed on each showing
    // Room for a path under /dev/serial/by-id, not just "COM1"; a width fixed
    // before the first showing, so the dialog opens at its final size.
    portNameCombo->setMinimumContentsLength(40);
    portNameCombo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    speedCombo = editableCombo(port, "Combo_com_speed", {"300", "2400", "4800", "9600", "19200"}, 6);
    parityCombo = editableCombo(port, "Combo_com_parity", {"None", "Even", "Odd", "Mark", "Space"}, 5);
    rtsBox = checkBox(port, "Check_rts");
    dtrBox = checkBox(port, "Check_dtr");
    openPortButton = button(port, "Butt_open_port");
    openPortButton->setVisible(false);
    auto *portForm = new QFormLayout(port);
    portForm->addRow(label(port, QT_TR_NOOP("Name")), portNameCombo);
    portForm->addRow(label(port, QT_TR_NOOP("Speed")), speedCombo);
    portForm->addRow(label(port, QT_TR_NOOP("Parity")), parityCombo);
    auto *lines = new QHBoxLayout;
    lines->addWidget(rtsBox);
    lines->addWidget(dtrBox);
    lines->addStretch(1);
    portForm->addRow(lines);

    converterRouteBox = checkBox(portPage, "Check_xport");
    gatewayClientRouteBox = checkBox(portPage, "Check_velk_server");
    remoteGroup = named(new QGroupBox(portPage), "GroupBox4");
    // An IPv4 or IPv6 address, or a host name.
    remoteIpEdit = lineEdit(remoteGroup, "Edit_lanxp_ip", 253, kHost);
    remotePortEdit = lineEdit(remoteGroup, "Edit_lanxp_port", 5, kDigits);
    ethernetTimeoutBox = upDown(remoteGroup, "UD_eth_timeout", "Edit_eth_timeout", 20, 999, &ethernetTimeoutEdit);
    networkNumberEdit = lineEdit(remoteGroup, "Edit_net_number", 15, kDotted);
    auto *remoteForm = new QFormLayout(remoteGroup);
    remoteForm->addRow(label(remoteGroup, QT_TR_NOOP("Remote IP number:")), remoteIpEdit);
    remoteForm->addRow(label(remoteGroup, QT_TR_NOOP("Remote port:")), remotePortEdit);
    remoteForm->addRow(label(remoteGroup, QT_TR_NOOP("Ethernet timeout")),
                       withUnit(ethernetTimeoutBox, label(remoteGroup, QT_TR_NOOP("x10ms"))));
    remoteForm->addRow(label(remoteGroup, QT_TR_NOOP("Network number")), networkNumberEdit);

    listenRouteBox = checkBox(portPage, "Check_ethernet");
    listenGroup = named(new QGroupBox(portPage), "GroupBox3");
    listenPortEdit = lineEdit(listenGroup, "Edit_tcp_port", 5, kDigits);
    autoOpenBox = checkBox(listenGroup, "Check_open_tcp");
    autoReadDisplayBox = checkBox(listenGroup, "Check_autotev");
    autoReadMbusBox = checkBox(listenGroup, "Check_autombus");
    auto *listenForm = new QFormLayout(listenGroup);
    listenForm->addRow(label(listenGroup, QT_TR_NOOP("Port to listen:")), listenPortEdit);
    listenForm->addRow(autoOpenBox);
    listenForm->addRow(autoReadDisplayBox);
    listenForm->addRow(autoReadMbusBox);

    auto *reading = new QGroupBox(portPage);
    retriesBox = upDown(reading, "UD_retry_read", "Edit_retry_read", 0, 9, &retriesEdit);
    exportSeparatorEdit = lineEdit(reading, "Edit_export_separator", 1);
    exportSeparatorEdit->setMaximumWidth(exportSeparatorEdit->fontMetrics().horizontalAdvance(u'M') * 4);
    vantirGenerationEdit = lineEdit(reading, "Edit_genCode", 2, kDigits);
    vantirGenerationEdit->setMaximumWidth(vantirGenerationEdit->fontMetrics().horizontalAdvance(u'0') * 6);
    secondarySearchGroup = named(new QGroupBox(reading), "Group_secondary_search");
    msbFirstBox = checkBox(secondarySearchGroup, "Check_MSB");
    lsbFirstBox = checkBox(secondarySearchGroup, "Check_LSB");
    msbFirstBox->setChecked(true); // exactly one of the two, from the start
    auto *order = new QHBoxLayout(secondarySearchGroup);
    order->addWidget(msbFirstBox);
    order->addWidget(lsbFirstBox);
    order->addStretch(1);
    globalInitBox = checkBox(reading, "Global_init");
    use5BBox = checkBox(reading, "Check_5B");
    unicodeBox = checkBox(reading, "Check_unicode");
    fastReadsBox = checkBox(reading, "Check_fast_reads");
    allTelegramsBox = checkBox(reading, "Check_all_telegrams");
    standardTimingBox = checkBox(reading, "Check_standard_timing");
    timingMarginBox = named(new QSpinBox(reading), "UD_timing_margin");
    timingMarginBox->setRange(0, 1000);
    timingMarginBox->setSuffix(QStringLiteral(" ms"));
    auto *readingGrid = new QGridLayout(reading);
    readingGrid->addWidget(label(reading, QT_TR_NOOP("Retries")), 0, 0);
    readingGrid->addWidget(retriesBox, 0, 1, Qt::AlignLeft);
    readingGrid->addWidget(label(reading, QT_TR_NOOP("Export separator:")), 1, 0);
    readingGrid->addWidget(exportSeparatorEdit, 1, 1, Qt::AlignLeft);
    readingGrid->addWidget(secondarySearchGroup, 2, 0, 1, 2);
    readingGrid->addWidget(globalInitBox, 3, 0, 1, 2);
    readingGrid->addWidget(use5BBox, 4, 0, 1, 2);
    readingGrid->addWidget(unicodeBox, 5, 0, 1, 2);
    readingGrid->addWidget(fastReadsBox, 6, 0, 1, 2);
    readingGrid->addWidget(allTelegramsBox, 7, 0, 1, 2);
    auto *timing = new QHBoxLayout;
    timing->addWidget(standardTimingBox);
    timing->addWidget(label(reading, QT_TR_NOOP("margin")));
    timing->addWidget(timingMarginBox);
    timing->addStretch(1);
    readingGrid->addLayout(timing, 8, 0, 1, 2);
    readingGrid->addWidget(label(reading, QT_TR_NOOP("Generation code of VANTIR, decimal")), 9, 0, 1, 2);
    readingGrid->addWidget(vantirGenerationEdit, 10, 0, 1, 2, Qt::AlignLeft);
    readingGrid->setColumnStretch(1, 1);

    // The readings archive: on or off, where (a file or a server), and a test.
    archiveGroup = named(new QGroupBox(portPage), "Group_archive");
    archiveBox = checkBox(archiveGroup, "Check_archive");
    archiveLocationEdit = lineEdit(archiveGroup, "Edit_archive", 1024);
    archiveBrowseButton = named(new QPushButton(archiveGroup), "Butt_archive_browse");
    archiveTestButton = named(new QPushButton(archiveGroup), "Butt_archive_test");
    archiveTestLabel = named(new QLabel(archiveGroup), "Label_archive_test");
    archiveTestLabel->setWordWrap(true);
    archiveTestLabel->setVisible(false); // until there is an answer to show
    auto *archiveButtons = new QHBoxLayout;
    archiveButtons->addStretch(1);
    archiveButtons->addWidget(archiveBrowseButton);
    archiveButtons->addWidget(archiveTestButton);
    auto *archiveLayout = new QVBoxLayout(archiveGroup);
    archiveLayout->addWidget(archiveBox);
    archiveLayout->addWidget(archiveLocationEdit);
    archiveLayout->addLayout(archiveButtons);
    archiveLayout->addWidget(archiveTestLabel);

    portCancelButton = button(portPage, "BitBtn2");
    portApplyButton = button(portPage, "BitBtn1");

    auto *left = new QVBoxLayout;
    left->addWidget(port);
    left->addWidget(converterRouteBox);
    left->addWidget(gatewayClientRouteBox);
    left->addWidget(remoteGroup);
    left->addWidget(archiveGroup);
    left->addStretch(1);
    auto *right = new QVBoxLayout;
    right->addWidget(listenRouteBox);
    right->addWidget(listenGroup);
    right->addWidget(reading);
    right->addStretch(1);
    auto *columns = new QHBoxLayout;
    columns->addLayout(left, 3);
    columns->addLayout(right, 2);
    auto *page = new QVBoxLayout(portPage);
    page->addLayout(columns, 1);
    page->addLayout(buttonRow(portCancelButton, portApplyButton));
    return portPage;
}

QWidget *SettingsDialog::buildTitlesPage()
{
    titlesPage = named(new QWidget(this), "TabSheet2");

    auto *titles = new QGroupBox(titlesPage);
    titleCountBox = upDown(titles, "UD_addValues", "EditAddValues", 0, kTitleFields, &titleCountEdit);
    auto *grid = new QGridLayout(titles);
    grid->addWidget(label(titles, QT_TR_NOOP("Additional Values")), 0, 0, 1, 2);
    grid->addWidget(label(titles, QT_TR_NOOP("to decode:")), 1, 0);
    grid->addWidget(titleCountBox, 1, 1, Qt::AlignLeft);
    QLineEdit **fields[kTitleFields] = {&title1Edit,  &title2Edit,  &title3Edit, &title4Edit, &title5Edit,
                                        &title6Edit,  &title7Edit,  &title8Edit, &title9Edit, &title10Edit,
                                        &title11Edit, &title12Edit, &title13Edit};
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
    // A taller page leaves its room below the fields, not between the rows:
    // every label stays beside its field.
    grid->setRowStretch(kTitleFields + 2, 1);

    auto *secondary = new QGroupBox(titlesPage);
    secondaryMainBox = checkBox(secondary, "Check_secMain");
    secondaryMainEdit = lineEdit(secondary, "Edit_secMain", Settings::kTitleLength);
    secondaryMainEdit->setEnabled(false);
    auto *explained = new QVBoxLayout(secondary);
    explained->addWidget(secondaryMainBox);
    for (const char *line : {QT_TR_NOOP("Some devices give"), QT_TR_NOOP("more than 1 Main value"),
                             QT_TR_NOOP("Check this option, if that"), QT_TR_NOOP("is the case ")})
        explained->addWidget(label(secondary, line));
    explained->addWidget(secondaryMainEdit);
    explained->addStretch(1);

    titlesCloseButton = button(titlesPage, "BitBtn4");
    titlesApplyButton = button(titlesPage, "BitBtn3");

    auto *columns = new QHBoxLayout;
    columns->addWidget(titles, 1);
    columns->addWidget(secondary, 1);
    auto *page = new QVBoxLayout(titlesPage);
    page->addLayout(columns, 1);
    page->addLayout(buttonRow(titlesCloseButton, titlesApplyButton));
    return titlesPage;
}

void SettingsDialog::retranslate()
{
    setWindowTitle(tr("Telvaro -> Settings"));
    pages->setTabText(pages->indexOf(portPage), tr("   Communication settings   "));
    pages->setTabText(pages->indexOf(titlesPage), tr("   Additional m-bus information   "));

    rtsBox->setText(tr("RTS control"));
    dtrBox->setText(tr("DTR control"));
    openPortButton->setText(m_portOpen ? tr("Disconnect") : tr("Connect to port"));
    converterRouteBox->setText(tr("Use TCP/IP option "));
    gatewayClientRouteBox->setText(tr("Use VELK-2 server"));
    remoteGroup->setTitle(tr("   Remote connection settings   "));
    listenRouteBox->setText(tr("Use VELK-2 or DRAV-4"));
    listenGroup->setTitle(tr("   Ethernet settings   "));
    autoOpenBox->setText(tr("Auto open and listen"));
    autoReadDisplayBox->setText(tr("Auto Read Display"));
    autoReadMbusBox->setText(tr("Auto Read M-bus"));
    secondarySearchGroup->setTitle(tr("Secondary Search"));
    msbFirstBox->setText(tr("MSB"));
    lsbFirstBox->setText(tr("LSB"));
    globalInitBox->setText(tr("Global Initialization"));
    use5BBox->setText(tr("5B"));
    unicodeBox->setText(tr("Unicode/CP852"));
    fastReadsBox->setText(tr("Complete reply early"));
    fastReadsBox->setToolTip(tr("Take a reply as soon as it is a whole frame instead of one response timeout "
                                "after the request"));
    allTelegramsBox->setText(tr("Read all telegrams"));
    archiveGroup->setTitle(tr("Readings archive"));
    archiveBox->setText(tr("Keep every reading in the archive"));
    archiveLocationEdit->setPlaceholderText(tr("the default file, or a file or postgresql://user@host/database"));
    archiveBrowseButton->setText(tr("File..."));
    archiveTestButton->setText(tr("Test"));
    standardTimingBox->setText(tr("Standard bus timing"));
    standardTimingBox->setToolTip(tr("On the serial port, an answer that has not begun within 330 bit times + 50 ms "
                                     "(plus the margin) of the request counts as silence; one that began is over "
                                     "when the line falls quiet"));
    allTelegramsBox->setToolTip(tr("Ask a meter for its next telegram while its reply announces more records"));
    portCancelButton->setText(tr("Close")); // the same word on both pages: it hides the dialog, nothing is applied
    portApplyButton->setText(tr("Apply"));

    secondaryMainBox->setText(tr("Secondary Main"));
    titlesCloseButton->setText(tr("Close"));
    titlesApplyButton->setText(tr("Apply"));

    for (const auto &[text, source] : m_labels)
        text->setText(tr(source));
}
