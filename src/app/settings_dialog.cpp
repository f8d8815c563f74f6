#include "settings_dialog.h"

#include "config/ini_file.h"
#include "link/port_list.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

// An editable drop-down opens at its current index, so a stored text that is
// one of the items must select that item, not only show its text.
void showComboText(QComboBox *box, const QString &text)
{
    const int index = box->findText(text);
    if (index >= 0) {
        box->setCurrentIndex(index);
        return;
    }
    box->setCurrentIndex(-1);
    box->setEditText(text);
}

} // namespace

TSettings::TSettings(Settings &live, QString settingsPath, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint),
      m_live(live), m_path(std::move(settingsPath))
{
    setObjectName(QStringLiteral("TSettings"));
    setModal(false);
    showWarning = [this](const QString &caption, const QString &text) { QMessageBox::warning(this, caption, text); };

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->addTab(buildPortPage(), QString());
    PageControl1->addTab(buildTitlesPage(), QString());
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(PageControl1);
    layout->setSizeConstraint(QLayout::SetMinimumSize); // never smaller than its texts

    // Enter in a field must not press a button behind the user's back.
    for (QPushButton *button : {BitBtn1, BitBtn2, BitBtn3, BitBtn4, Butt_open_port})
        button->setAutoDefault(false);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::hide);
    connect(BitBtn4, &QPushButton::clicked, this, &QDialog::hide);
    connect(BitBtn1, &QPushButton::clicked, this, &TSettings::applyPortPage);
    connect(BitBtn3, &QPushButton::clicked, this, &TSettings::applyTitlesPage);

    wireRules();
    wireLiveCopy();
    retranslate();
    reload();
}

QLineEdit *TSettings::titleEdit(int index) const
{
    return index >= 0 && index < kTitleFields ? m_titleEdits[std::size_t(index)] : nullptr;
}

void TSettings::wireRules()
{
    for (QCheckBox *box : {Check_xport, Check_velk_server, Check_ethernet})
        connect(box, &QCheckBox::toggled, this, [this, box](bool on) { routeBoxToggled(box, on); });

    // Automatic reading on a gateway's arrival: display or M-Bus, or neither.
    connect(Check_autotev, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            Check_autombus->setChecked(false);
    });
    connect(Check_autombus, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            Check_autotev->setChecked(false);
    });
    // The secondary search runs in exactly one digit order.
    connect(Check_MSB, &QCheckBox::toggled, this, [this](bool on) { Check_LSB->setChecked(!on); });
    connect(Check_LSB, &QCheckBox::toggled, this, [this](bool on) { Check_MSB->setChecked(!on); });

    connect(Check_secMain, &QCheckBox::toggled, Edit_secMain, &QWidget::setEnabled);
    connect(UD_addValues, &QSpinBox::valueChanged, this, &TSettings::enableTitleFields);
}

// Every control of the first page feeds the live settings the moment it changes.
void TSettings::wireLiveCopy()
{
    for (QComboBox *box : {Combo_com_name, Combo_com_speed, Combo_com_parity})
        connect(box, &QComboBox::currentTextChanged, this, &TSettings::copyToLive);
    for (QCheckBox *box : {Check_rts, Check_dtr, Check_xport, Check_velk_server, Check_ethernet, Check_open_tcp,
                           Check_autotev, Check_autombus, Check_MSB, Check_LSB, Global_init, Check_5B, Check_unicode,
                           Check_fast_reads, Check_all_telegrams})
        connect(box, &QCheckBox::toggled, this, &TSettings::copyToLive);
    for (QLineEdit *edit : {Edit_lanxp_ip, Edit_lanxp_port, Edit_net_number, Edit_tcp_port, Edit_export_separator,
                            Edit_genCode})
        connect(edit, &QLineEdit::textChanged, this, &TSettings::copyToLive);
    for (QSpinBox *box : {UD_eth_timeout, UD_retry_read})
        connect(box, &QSpinBox::valueChanged, this, &TSettings::copyToLive);
}

void TSettings::copyToLive()
{
    Settings &s = m_live;
    s.com.name = Combo_com_name->currentText();
    s.com.speed = Combo_com_speed->currentText();
    s.com.parity = Combo_com_parity->currentText();
    s.com.rts = Check_rts->isChecked();
    s.com.dtr = Check_dtr->isChecked();
    s.route.useLanxp = Check_xport->isChecked();
    s.route.velkServer = Check_velk_server->isChecked();
    s.route.useEthernet = Check_ethernet->isChecked();
    s.remoteIp = Edit_lanxp_ip->text();
    s.remotePort = Edit_lanxp_port->text();
    s.ethTimeout = UD_eth_timeout->value();
    s.netNumber = Edit_net_number->text();
    s.listenPort = Edit_tcp_port->text();
    s.autoOpen = Check_open_tcp->isChecked();
    s.autoDisplay = Check_autotev->isChecked();
    s.autoMbus = Check_autombus->isChecked();
    s.retry = UD_retry_read->value();
    s.exportSeparator = Edit_export_separator->text();
    s.msbSearch = Check_MSB->isChecked();
    s.lsbSearch = Check_LSB->isChecked();
    s.globalInit = Global_init->isChecked();
    s.use5B = Check_5B->isChecked();
    s.encodingUnicode = Check_unicode->isChecked();
    s.genCode = Edit_genCode->text();
    s.fastReads = Check_fast_reads->isChecked();
    s.allTelegrams = Check_all_telegrams->isChecked();
}

// A box that becomes checked clears the other two first, so their own handling
// runs before the groups are set: whatever was checked before, the groups end
// up matching the one route now chosen (none checked: the serial route).
void TSettings::routeBoxToggled(QCheckBox *box, bool checked)
{
    if (checked) {
        for (QCheckBox *other : {Check_xport, Check_velk_server, Check_ethernet})
            if (other != box)
                other->setChecked(false);
    }
    updateRouteGroups();
}

void TSettings::updateRouteGroups()
{
    GroupBox4->setEnabled(Check_xport->isChecked() || Check_velk_server->isChecked());
    GroupBox3->setEnabled(Check_ethernet->isChecked());
}

void TSettings::enableTitleFields()
{
    const int count = UD_addValues->value();
    for (int i = 0; i < kTitleFields; ++i)
        m_titleEdits[std::size_t(i)]->setEnabled(i < count);
}

void TSettings::showPortPage(const Settings &stored)
{
    showComboText(Combo_com_name, stored.com.name);
    showComboText(Combo_com_speed, stored.com.speed);
    showComboText(Combo_com_parity, stored.com.parity);
    Check_rts->setChecked(stored.com.rts);
    Check_dtr->setChecked(stored.com.dtr);
    // In this order a file with several routes set ends with the one the
    // dispatch would take: listen before gateway client before converter.
    Check_xport->setChecked(stored.route.useLanxp);
    Check_velk_server->setChecked(stored.route.velkServer);
    Edit_lanxp_ip->setText(stored.remoteIp);
    Edit_lanxp_port->setText(stored.remotePort);
    UD_eth_timeout->setValue(stored.ethTimeout);
    Edit_net_number->setText(stored.netNumber);
    Check_ethernet->setChecked(stored.route.useEthernet);
    Edit_tcp_port->setText(stored.listenPort);
    Check_open_tcp->setChecked(stored.autoOpen);
    Check_autotev->setChecked(stored.autoDisplay);
    Check_autombus->setChecked(stored.autoMbus);
    UD_retry_read->setValue(stored.retry);
    Edit_export_separator->setText(stored.exportSeparator);
    Check_MSB->setChecked(stored.msbSearch);
    Check_LSB->setChecked(stored.lsbSearch);
    Global_init->setChecked(stored.globalInit);
    Check_5B->setChecked(stored.use5B);
    Check_unicode->setChecked(stored.encodingUnicode);
    Check_fast_reads->setChecked(stored.fastReads);
    Check_all_telegrams->setChecked(stored.allTelegrams);
    Edit_genCode->setText(stored.genCode);
    updateRouteGroups();
    copyToLive(); // controls that did not change still hold the file's value
}

void TSettings::showTitlesPage(const Settings &stored)
{
    UD_addValues->setValue(stored.titleCount);
    for (int i = 0; i < kTitleFields; ++i)
        m_titleEdits[std::size_t(i)]->setText(stored.titles[std::size_t(i)]);
    Check_secMain->setChecked(stored.secondaryMain);
    Edit_secMain->setText(stored.titles[kTitleFields]);
    Edit_secMain->setEnabled(Check_secMain->isChecked());
    enableTitleFields();
}

void TSettings::reload()
{
    IniFile ini(m_path);
    ini.load(); // an absent or unreadable file gives every default
    const Settings stored = loadSettings(ini, m_live.dir);
    {
        // A USB adapter plugged in since the last showing is listed too.
        const QSignalBlocker quiet(Combo_com_name);
        Combo_com_name->clear();
        Combo_com_name->addItems(availableSerialPorts());
    }
    showPortPage(stored);
    showTitlesPage(stored);
}

bool TSettings::save(const std::function<void(IniFile &)> &write)
{
    IniFile ini(m_path);
    ini.load();
    write(ini);
    if (ini.save())
        return true;
    showWarning(tr("Saving settings"), tr("Settings will not be saved, no write permission"));
    return false;
}

bool TSettings::applyPortPage()
{
    const bool saved = save([this](IniFile &ini) { writePortPageKeys(ini, m_live); });
    emit applied();
    hide();
    return saved;
}

bool TSettings::applyTitlesPage()
{
    Settings page = m_live;
    page.titleCount = UD_addValues->value();
    for (int i = 0; i < kTitleFields; ++i)
        page.titles[std::size_t(i)] = m_titleEdits[std::size_t(i)]->text().left(Settings::kTitleLength);
    page.titles[kTitleFields] = Edit_secMain->text().left(Settings::kTitleLength);
    page.secondaryMain = Check_secMain->isChecked();
    const bool saved = save([&page](IniFile &ini) { writeTitlesPageKeys(ini, page); });

    const bool changed = page.secondaryMain != m_live.secondaryMain;
    m_live.titleCount = page.titleCount;
    m_live.titles = page.titles;
    m_live.secondaryMain = page.secondaryMain;
    emit titlesApplied(changed);
    hide();
    return saved;
}

void TSettings::setPortFieldsEnabled(bool enabled)
{
    m_portOpen = !enabled;
    for (QWidget *field : std::initializer_list<QWidget *>{Combo_com_name, Combo_com_speed, Combo_com_parity})
        field->setEnabled(enabled);
    Butt_open_port->setText(m_portOpen ? tr("Disconnect") : tr("Connect to port"));
}

void TSettings::centreOnScreen()
{
    const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

void TSettings::showEvent(QShowEvent *event)
{
    // A window restored by the window manager keeps what was typed; only a
    // showing by the program reloads.
    if (!event->spontaneous()) {
        reload();
        // The children are polished only now and may ask for more room than
        // the size the dialog was given; take it before centring.
        layout()->activate();
        centreOnScreen();
    }
    QDialog::showEvent(event);
}

void TSettings::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QDialog::changeEvent(event);
}
