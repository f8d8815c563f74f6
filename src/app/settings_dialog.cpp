#include "settings_dialog.h"

#include "archive/archive_probe.h"
#include "config/ini_file.h"
#include "link/port_list.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFileDialog>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
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

SettingsDialog::SettingsDialog(Settings &live, QString settingsPath, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint),
      m_live(live),
      m_path(std::move(settingsPath))
{
    setObjectName(QStringLiteral("TSettings"));
    setModal(false);
    showWarning = [this](const QString &caption, const QString &text) { QMessageBox::warning(this, caption, text); };

    pages = new QTabWidget(this);
    pages->setObjectName(QStringLiteral("PageControl1"));
    pages->addTab(buildPortPage(), QString());
    pages->addTab(buildTitlesPage(), QString());
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(pages);
    layout->setSizeConstraint(QLayout::SetMinimumSize); // never smaller than its texts

    // Enter in a field must not press a button behind the user's back.
    for (QPushButton *button :
         {portApplyButton, portCancelButton, titlesApplyButton, titlesCloseButton, openPortButton})
        button->setAutoDefault(false);
    connect(portCancelButton, &QPushButton::clicked, this, &QDialog::hide);
    connect(titlesCloseButton, &QPushButton::clicked, this, &QDialog::hide);
    connect(portApplyButton, &QPushButton::clicked, this, &SettingsDialog::applyPortPage);
    connect(titlesApplyButton, &QPushButton::clicked, this, &SettingsDialog::applyTitlesPage);

    wireRules();
    wireLiveCopy();
    wireArchive();
    retranslate();
    reload();
}

void SettingsDialog::wireArchive()
{
    askArchiveFile = [this](const QString &current) {
        return QFileDialog::getSaveFileName(this, tr("Readings archive"), current, tr("SQLite archive (*.sqlite)"),
                                            nullptr, QFileDialog::DontConfirmOverwrite);
    };
    connect(archiveBrowseButton, &QPushButton::clicked, this, [this] {
        const QString file = askArchiveFile(archiveLocationEdit->text());
        if (!file.isEmpty())
            archiveLocationEdit->setText(file);
    });
    // Asked on a thread of its own: a server may take seconds to answer.
    connect(archiveTestButton, &QPushButton::clicked, this, [this] {
        archiveTestButton->setEnabled(false);
        archiveTestLabel->setText(tr("Looking at the archive..."));
        archiveTestLabel->setVisible(true);
        archive::probeArchiveLater(archiveLocationEdit->text().trimmed(), this, [this](const archive::ProbeResult &r) {
            archiveTestButton->setEnabled(true);
            if (r.missing)
                archiveTestLabel->setText(
                    tr("%1 is not there yet: it is made at the first reading.").arg(r.shownLocation));
            else if (!r.usable)
                archiveTestLabel->setText(r.error);
            else if (r.writable)
                archiveTestLabel->setText(
                    tr("%1 can be used: %n reading(s) in it.", nullptr, int(r.readings)).arg(r.shownLocation));
            else
                archiveTestLabel->setText(
                    tr("%1 can only be read: %n reading(s) in it.", nullptr, int(r.readings)).arg(r.shownLocation));
        });
    });
}

QLineEdit *SettingsDialog::titleEdit(int index) const
{
    return index >= 0 && index < kTitleFields ? m_titleEdits[std::size_t(index)] : nullptr;
}

void SettingsDialog::wireRules()
{
    for (QCheckBox *box : {converterRouteBox, gatewayClientRouteBox, listenRouteBox})
        connect(box, &QCheckBox::toggled, this, [this, box](bool on) { routeBoxToggled(box, on); });

    // Automatic reading on a gateway's arrival: display or M-Bus, or neither.
    connect(autoReadDisplayBox, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            autoReadMbusBox->setChecked(false);
    });
    connect(autoReadMbusBox, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            autoReadDisplayBox->setChecked(false);
    });
    // The secondary search runs in exactly one digit order.
    connect(msbFirstBox, &QCheckBox::toggled, this, [this](bool on) { lsbFirstBox->setChecked(!on); });
    connect(lsbFirstBox, &QCheckBox::toggled, this, [this](bool on) { msbFirstBox->setChecked(!on); });

    connect(secondaryMainBox, &QCheckBox::toggled, secondaryMainEdit, &QWidget::setEnabled);
    connect(titleCountBox, &QSpinBox::valueChanged, this, &SettingsDialog::enableTitleFields);
}

// Every control of the first page feeds the live settings the moment it changes.
void SettingsDialog::wireLiveCopy()
{
    for (QComboBox *box : {portNameCombo, speedCombo, parityCombo})
        connect(box, &QComboBox::currentTextChanged, this, &SettingsDialog::copyToLive);
    for (QCheckBox *box : {rtsBox, dtrBox, converterRouteBox, gatewayClientRouteBox, listenRouteBox, autoOpenBox,
                           autoReadDisplayBox, autoReadMbusBox, msbFirstBox, lsbFirstBox, globalInitBox, use5BBox,
                           unicodeBox, fastReadsBox, allTelegramsBox, archiveBox, standardTimingBox})
        connect(box, &QCheckBox::toggled, this, &SettingsDialog::copyToLive);
    for (QLineEdit *edit : {remoteIpEdit, remotePortEdit, networkNumberEdit, listenPortEdit, exportSeparatorEdit,
                            vantirGenerationEdit, archiveLocationEdit})
        connect(edit, &QLineEdit::textChanged, this, &SettingsDialog::copyToLive);
    for (QSpinBox *box : {ethernetTimeoutBox, retriesBox, timingMarginBox})
        connect(box, &QSpinBox::valueChanged, this, &SettingsDialog::copyToLive);
}

void SettingsDialog::copyToLive()
{
    Settings &s = m_live;
    s.com.name = portNameCombo->currentText();
    s.com.speed = speedCombo->currentText();
    s.com.parity = parityCombo->currentText();
    s.com.rts = rtsBox->isChecked();
    s.com.dtr = dtrBox->isChecked();
    s.route.useConverter = converterRouteBox->isChecked();
    s.route.useGatewayClient = gatewayClientRouteBox->isChecked();
    s.route.useListen = listenRouteBox->isChecked();
    s.remoteIp = remoteIpEdit->text();
    s.remotePort = remotePortEdit->text();
    s.ethTimeout = ethernetTimeoutBox->value();
    s.netNumber = networkNumberEdit->text();
    s.listenPort = listenPortEdit->text();
    s.autoOpen = autoOpenBox->isChecked();
    s.autoDisplay = autoReadDisplayBox->isChecked();
    s.autoMbus = autoReadMbusBox->isChecked();
    s.retry = retriesBox->value();
    s.exportSeparator = exportSeparatorEdit->text();
    s.msbSearch = msbFirstBox->isChecked();
    s.lsbSearch = lsbFirstBox->isChecked();
    s.globalInit = globalInitBox->isChecked();
    s.use5B = use5BBox->isChecked();
    s.encodingUnicode = unicodeBox->isChecked();
    s.vantirGenerationCode = vantirGenerationEdit->text();
    s.fastReads = fastReadsBox->isChecked();
    s.allTelegrams = allTelegramsBox->isChecked();
    s.archiveOn = archiveBox->isChecked();
    s.archiveLocation = archiveLocationEdit->text().trimmed();
    s.standardTiming = standardTimingBox->isChecked();
    s.timingMarginMs = timingMarginBox->value();
}

// A box that becomes checked clears the other two first, so their own handling
// runs before the groups are set: whatever was checked before, the groups end
// up matching the one route now chosen (none checked: the serial route).
void SettingsDialog::routeBoxToggled(QCheckBox *box, bool checked)
{
    if (checked) {
        for (QCheckBox *other : {converterRouteBox, gatewayClientRouteBox, listenRouteBox})
            if (other != box)
                other->setChecked(false);
    }
    updateRouteGroups();
}

void SettingsDialog::updateRouteGroups()
{
    remoteGroup->setEnabled(converterRouteBox->isChecked() || gatewayClientRouteBox->isChecked());
    listenGroup->setEnabled(listenRouteBox->isChecked());
}

void SettingsDialog::enableTitleFields()
{
    const int count = titleCountBox->value();
    for (int i = 0; i < kTitleFields; ++i)
        m_titleEdits[std::size_t(i)]->setEnabled(i < count);
}

void SettingsDialog::showPortPage(const Settings &stored)
{
    showComboText(portNameCombo, stored.com.name);
    showComboText(speedCombo, stored.com.speed);
    showComboText(parityCombo, stored.com.parity);
    rtsBox->setChecked(stored.com.rts);
    dtrBox->setChecked(stored.com.dtr);
    // In this order a file with several routes set ends with the one the
    // dispatch would take: listen before gateway client before converter.
    converterRouteBox->setChecked(stored.route.useConverter);
    gatewayClientRouteBox->setChecked(stored.route.useGatewayClient);
    remoteIpEdit->setText(stored.remoteIp);
    remotePortEdit->setText(stored.remotePort);
    ethernetTimeoutBox->setValue(stored.ethTimeout);
    networkNumberEdit->setText(stored.netNumber);
    listenRouteBox->setChecked(stored.route.useListen);
    listenPortEdit->setText(stored.listenPort);
    autoOpenBox->setChecked(stored.autoOpen);
    autoReadDisplayBox->setChecked(stored.autoDisplay);
    autoReadMbusBox->setChecked(stored.autoMbus);
    retriesBox->setValue(stored.retry);
    exportSeparatorEdit->setText(stored.exportSeparator);
    msbFirstBox->setChecked(stored.msbSearch);
    lsbFirstBox->setChecked(stored.lsbSearch);
    globalInitBox->setChecked(stored.globalInit);
    use5BBox->setChecked(stored.use5B);
    unicodeBox->setChecked(stored.encodingUnicode);
    fastReadsBox->setChecked(stored.fastReads);
    allTelegramsBox->setChecked(stored.allTelegrams);
    archiveBox->setChecked(stored.archiveOn);
    archiveLocationEdit->setText(stored.archiveLocation);
    standardTimingBox->setChecked(stored.standardTiming);
    timingMarginBox->setValue(stored.timingMarginMs);
    vantirGenerationEdit->setText(stored.vantirGenerationCode);
    updateRouteGroups();
    copyToLive(); // controls that did not change still hold the file's value
}

void SettingsDialog::showTitlesPage(const Settings &stored)
{
    titleCountBox->setValue(stored.titleCount);
    for (int i = 0; i < kTitleFields; ++i)
        m_titleEdits[std::size_t(i)]->setText(stored.titles[std::size_t(i)]);
    secondaryMainBox->setChecked(stored.secondaryMain);
    secondaryMainEdit->setText(stored.titles[kTitleFields]);
    secondaryMainEdit->setEnabled(secondaryMainBox->isChecked());
    enableTitleFields();
}

void SettingsDialog::reload()
{
    IniFile ini(m_path);
    ini.load(); // an absent or unreadable file gives every default
    const Settings stored = loadSettings(ini, m_live.dir);
    {
        // A USB adapter plugged in since the last showing is listed too.
        const QSignalBlocker quiet(portNameCombo);
        portNameCombo->clear();
        portNameCombo->addItems(availableSerialPorts());
    }
    showPortPage(stored);
    showTitlesPage(stored);
}

bool SettingsDialog::save(const std::function<void(IniFile &)> &write)
{
    IniFile ini(m_path);
    ini.load();
    write(ini);
    if (ini.save())
        return true;
    showWarning(tr("Saving settings"), tr("Settings will not be saved, no write permission"));
    return false;
}

bool SettingsDialog::applyPortPage()
{
    const bool saved = save([this](IniFile &ini) { writePortPageKeys(ini, m_live); });
    emit applied();
    hide();
    return saved;
}

bool SettingsDialog::applyTitlesPage()
{
    Settings page = m_live;
    page.titleCount = titleCountBox->value();
    for (int i = 0; i < kTitleFields; ++i)
        page.titles[std::size_t(i)] = m_titleEdits[std::size_t(i)]->text().left(Settings::kTitleLength);
    page.titles[kTitleFields] = secondaryMainEdit->text().left(Settings::kTitleLength);
    page.secondaryMain = secondaryMainBox->isChecked();
    const bool saved = save([&page](IniFile &ini) { writeTitlesPageKeys(ini, page); });

    const bool changed = page.secondaryMain != m_live.secondaryMain;
    m_live.titleCount = page.titleCount;
    m_live.titles = page.titles;
    m_live.secondaryMain = page.secondaryMain;
    emit titlesApplied(changed);
    hide();
    return saved;
}

void SettingsDialog::setPortFieldsEnabled(bool enabled)
{
    m_portOpen = !enabled;
    for (QWidget *field : std::initializer_list<QWidget *>{portNameCombo, speedCombo, parityCombo})
        field->setEnabled(enabled);
    openPortButton->setText(m_portOpen ? tr("Disconnect") : tr("Connect to port"));
}

void SettingsDialog::centreOnScreen()
{
    const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

void SettingsDialog::showEvent(QShowEvent *event)
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

void SettingsDialog::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QDialog::changeEvent(event);
}
