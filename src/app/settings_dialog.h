#pragma once
// "Telvaro -> Settings": the link and reading settings, and the titles of the
// additional decoded values. The first page's controls are the live copy: every
// change goes into the shared Settings at once, and the program reads it at the
// moment of use. "Apply" writes the file. The titles page takes effect only
// through its own "Apply".

#include "config/settings.h"

#include <QDialog>

#include <array>
#include <functional>
#include <utility>
#include <vector>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;

class TSettings : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTitleFields = 13;
    static constexpr int kPortNameLength = 64; // Linux device paths, not five-letter COM names

    TSettings(Settings &live, QString settingsPath, QWidget *parent = nullptr);

    // Re-reads the file into every control of both pages, discarding changes
    // not applied. Runs at creation and on every showing.
    void reload();
    // "Apply" of the first page: writes its keys (warning when the file cannot
    // be written), emits applied() and hides. Returns whether the file was written.
    bool applyPortPage();
    // "Apply" of the titles page: writes its keys, copies count, titles and the
    // secondary-main option into the live settings, emits titlesApplied() and hides.
    bool applyTitlesPage();

    // Sets every caption in the current language.
    void retranslate();

    // Edit1 .. Edit13 by index 0..12; nullptr outside.
    QLineEdit *titleEdit(int index) const;

    // Message box hook; tests replace it.
    std::function<void(const QString &caption, const QString &text)> showWarning;

    QTabWidget *PageControl1 = nullptr;

    // "   Communication settings   "
    QWidget *TabSheet1 = nullptr;
    QComboBox *Combo_com_name = nullptr, *Combo_com_speed = nullptr, *Combo_com_parity = nullptr;
    QCheckBox *Check_rts = nullptr, *Check_dtr = nullptr;
    QCheckBox *Check_xport = nullptr, *Check_velk_server = nullptr;
    QGroupBox *GroupBox4 = nullptr; // remote connection: converter and gateway-client routes
    QLineEdit *Edit_lanxp_ip = nullptr, *Edit_lanxp_port = nullptr;
    QSpinBox *UD_eth_timeout = nullptr;
    QLineEdit *Edit_eth_timeout = nullptr; // the up-down's own field, read-only
    QLineEdit *Edit_net_number = nullptr;
    QCheckBox *Check_ethernet = nullptr;
    QGroupBox *GroupBox3 = nullptr; // listening socket: listen route
    QLineEdit *Edit_tcp_port = nullptr;
    QCheckBox *Check_open_tcp = nullptr, *Check_autotev = nullptr, *Check_autombus = nullptr;
    QSpinBox *UD_retry_read = nullptr;
    QLineEdit *Edit_retry_read = nullptr;
    QLineEdit *Edit_export_separator = nullptr;
    QGroupBox *Group_secondary_search = nullptr;
    QCheckBox *Check_MSB = nullptr, *Check_LSB = nullptr;
    QCheckBox *Global_init = nullptr, *Check_5B = nullptr, *Check_unicode = nullptr;
    QCheckBox *Check_fast_reads = nullptr, *Check_all_telegrams = nullptr;
    QLineEdit *Edit_genCode = nullptr;
    QPushButton *BitBtn2 = nullptr, *BitBtn1 = nullptr; // "Cancel", "Apply"
    QPushButton *Butt_open_port = nullptr;              // hidden; its caption follows the port

    // "   Additional m-bus information   "
    QWidget *TabSheet2 = nullptr;
    QSpinBox *UD_addValues = nullptr;
    QLineEdit *EditAddValues = nullptr;
    QLineEdit *Edit1 = nullptr, *Edit2 = nullptr, *Edit3 = nullptr, *Edit4 = nullptr, *Edit5 = nullptr,
              *Edit6 = nullptr, *Edit7 = nullptr, *Edit8 = nullptr, *Edit9 = nullptr, *Edit10 = nullptr,
              *Edit11 = nullptr, *Edit12 = nullptr, *Edit13 = nullptr;
    QCheckBox *Check_secMain = nullptr;
    QLineEdit *Edit_secMain = nullptr;
    QPushButton *BitBtn4 = nullptr, *BitBtn3 = nullptr; // "Close", "Apply"

signals:
    // The first page was applied (whether or not the file could be written).
    void applied();
    // The titles page was applied; the flag says whether the secondary-main
    // option now differs from what the live settings had before.
    void titlesApplied(bool secondaryMainChanged);

public slots:
    // The port fields cannot change while the port is open.
    void setPortFieldsEnabled(bool enabled);

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    QWidget *buildPortPage();
    QWidget *buildTitlesPage();
    QLabel *label(QWidget *parent, const char *source);
    void wireRules();
    void wireLiveCopy();

    void showPortPage(const Settings &stored);
    void showTitlesPage(const Settings &stored);
    void copyToLive();
    void routeBoxToggled(QCheckBox *box, bool checked);
    void updateRouteGroups();
    void enableTitleFields();
    bool save(const std::function<void(IniFile &)> &write);
    void centreOnScreen();

    Settings &m_live;
    QString m_path;
    bool m_portOpen = false;
    std::array<QLineEdit *, kTitleFields> m_titleEdits{};
    // Labels and their English source texts, for retranslate().
    std::vector<std::pair<QLabel *, const char *>> m_labels;
};
