#pragma once
// The "M-bus devices" page: search range and timeout, the two groups of meter
// commands, the device table with its buttons, and the selection labels.
// Controls only; the main window wires them to the operations.

#include <QWidget>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableWidget;

class DevicesPage : public QWidget {
    Q_OBJECT
public:
    explicit DevicesPage(QWidget *parent = nullptr);

    // Sets every caption in the current language.
    void retranslate();
    // The selected meter above the grid, kept over a language switch.
    void showSelection(const QString &id, const QString &address);

    // "   Search network    "
    QGroupBox *Group_search = nullptr;
    QLabel *Label6 = nullptr, *Label7 = nullptr, *Label8 = nullptr;
    QSpinBox *UD_address_min = nullptr, *UD_address_max = nullptr, *UD_timeout = nullptr;
    QCheckBox *Check_nke = nullptr;
    QPushButton *Butt_find_primary = nullptr;
    QLabel *Label16 = nullptr; // "By primary address:"
    QLabel *Label5 = nullptr; // "By Secondary address:"
    QLineEdit *Edit_id = nullptr;
    QPushButton *Butt_find_id = nullptr, *Butt_find_all = nullptr;
    QPushButton *Button1 = nullptr; // "Stop Secondary", shown while a wildcard search runs
    QProgressBar *ProgressBar1 = nullptr;

    // "   Basic Config.   "
    QGroupBox *Group_ops = nullptr;
    QPushButton *Butt_reset = nullptr;
    QLabel *Label14 = nullptr;
    QSpinBox *UD_new_address = nullptr;
    QPushButton *Butt_set_address = nullptr;
    QLabel *Label10 = nullptr;
    QLineEdit *Edit_liter = nullptr;
    QCheckBox *Check_value_gineers = nullptr;
    QPushButton *Butt_modify_liters = nullptr;

    // "   Advanced  Config.   "
    QGroupBox *Group_advanced = nullptr;
    QLabel *Label33 = nullptr, *Label34 = nullptr, *Label35 = nullptr, *Label13 = nullptr, *Label12 = nullptr;
    QComboBox *Combo_medium = nullptr, *Combo_unit = nullptr, *Combo_constant = nullptr, *Combo_set_baud = nullptr;
    QCheckBox *Check_gineers = nullptr;
    QPushButton *Butt_set_medium = nullptr, *Butt_set_unit = nullptr, *Butt_set_baud = nullptr, *Butt_set_id = nullptr;
    QLineEdit *Edit_new_id = nullptr;

    QCheckBox *Check_broadcast = nullptr;
    QLabel *Label_id = nullptr, *Label_addr = nullptr;

    QTableWidget *Grid_orvenna = nullptr;
    QPushButton *Butt_readonce = nullptr, *Butt_readall = nullptr, *Butt_clear_grid = nullptr;
    QPushButton *Butt_load_data = nullptr, *Butt_save_data = nullptr;
    QPushButton *BitBtn21 = nullptr;
    QLabel *Label15 = nullptr;
    QSpinBox *UD_AutoPrimary = nullptr;

private:
    QGroupBox *buildSearchGroup();
    QGroupBox *buildBasicGroup();
    QGroupBox *buildAdvancedGroup();
    QWidget *buildTableArea();

    QString m_selectedId, m_selectedAddress;
};
