#include "settings_dialog.h"

#include "config/ini_file.h"
#include "link/port_list.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

TSettings::TSettings(Settings &live, QString settingsPath, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint),
      m_live(live), m_path(std::move(settingsPath))
{
    setObjectName(QStringLiteral("TSettings"));
    setWindowTitle(QStringLiteral("Telvaro -> Settings"));
    showWarning = [this](const QString &caption, const QString &text) { QMessageBox::warning(this, caption, text); };

    const auto combo = [this](const char *name, const QStringList &items, int maxLength) {
        auto *box = new QComboBox(this);
        box->setObjectName(QString::fromLatin1(name));
        box->setEditable(true);
        box->addItems(items);
        box->lineEdit()->setMaxLength(maxLength);
        return box;
    };
    // Linux device paths are longer than the five characters of a COM name.
    Combo_com_name = combo("Combo_com_name", availableSerialPorts(), 64);
    Combo_com_speed = combo("Combo_com_speed", {"300", "2400", "4800", "9600", "19200"}, 6);
    Combo_com_parity = combo("Combo_com_parity", {"None", "Even", "Odd", "Mark", "Space"}, 5);
    Check_rts = new QCheckBox(QStringLiteral("RTS control"), this);
    Check_rts->setObjectName(QStringLiteral("Check_rts"));
    Check_dtr = new QCheckBox(QStringLiteral("DTR control"), this);
    Check_dtr->setObjectName(QStringLiteral("Check_dtr"));

    auto *port = new QGroupBox(QStringLiteral("   Communication settings   "), this);
    auto *form = new QFormLayout(port);
    form->addRow(QStringLiteral("Name"), Combo_com_name);
    form->addRow(QStringLiteral("Speed"), Combo_com_speed);
    form->addRow(QStringLiteral("Parity"), Combo_com_parity);
    form->addRow(Check_rts);
    form->addRow(Check_dtr);

    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("BitBtn2"));
    auto *applyButton = new QPushButton(QStringLiteral("Apply"), this);
    applyButton->setObjectName(QStringLiteral("BitBtn1"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cancel);
    buttons->addWidget(applyButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(port);
    layout->addLayout(buttons);
    connect(cancel, &QPushButton::clicked, this, &QDialog::hide);
    connect(applyButton, &QPushButton::clicked, this, [this] {
        apply();
        hide();
    });

    // Live copy: the program uses what the controls hold at the moment of use.
    connect(Combo_com_name, &QComboBox::currentTextChanged, this, [this](const QString &t) { m_live.com.name = t; });
    connect(Combo_com_speed, &QComboBox::currentTextChanged, this, [this](const QString &t) { m_live.com.speed = t; });
    connect(Combo_com_parity, &QComboBox::currentTextChanged, this, [this](const QString &t) { m_live.com.parity = t; });
    connect(Check_rts, &QCheckBox::toggled, this, [this](bool on) { m_live.com.rts = on; });
    connect(Check_dtr, &QCheckBox::toggled, this, [this](bool on) { m_live.com.dtr = on; });
    showSettings();
}

void TSettings::showSettings()
{
    const ComPortSettings com = m_live.com; // setting one control writes back into m_live
    Combo_com_name->setCurrentText(com.name);
    Combo_com_speed->setCurrentText(com.speed);
    Combo_com_parity->setCurrentText(com.parity);
    Check_rts->setChecked(com.rts);
    Check_dtr->setChecked(com.dtr);
}

void TSettings::reload()
{
    IniFile ini(m_path);
    ini.load();
    const Settings stored = loadSettings(ini, m_live.dir);
    m_live.com = stored.com;
    showSettings();
}

bool TSettings::apply()
{
    IniFile ini(m_path);
    ini.load();
    writeComPortKeys(ini, m_live);
    if (ini.save())
        return true;
    showWarning(QStringLiteral("Saving settings"), QStringLiteral("Settings will not be saved, no write permission"));
    return false;
}

void TSettings::setPortFieldsEnabled(bool enabled)
{
    for (QWidget *field : {static_cast<QWidget *>(Combo_com_name), static_cast<QWidget *>(Combo_com_speed),
                           static_cast<QWidget *>(Combo_com_parity)})
        field->setEnabled(enabled);
}

void TSettings::showEvent(QShowEvent *event)
{
    reload();
    QDialog::showEvent(event);
}
