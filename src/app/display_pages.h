#pragma once
// The two pages of the local display/concentrator: "Local display TEV" (its
// table of meters, the write runs and settings) and "Get Readings" (the
// history table). Controls only; the main window wires them.

#include <QWidget>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableWidget;

class DisplayPage : public QWidget {
    Q_OBJECT
public:
    explicit DisplayPage(QWidget *parent = nullptr);
    void retranslate();

    QTableWidget *Grid_tev = nullptr;
    QPushButton *Butt_tev_read = nullptr, *Butt_tev_set = nullptr, *Butt_tev_delete = nullptr, *Butt_tev_delp = nullptr;
    QPushButton *BitBtn11 = nullptr, *Butt_tev_refresh = nullptr, *BitBtn15 = nullptr, *BitBtn16 = nullptr;
    QPushButton *BitBtn18 = nullptr, *Butt_tev_info = nullptr, *BitBtn1 = nullptr, *BitBtn2 = nullptr;
    QPushButton *BitBtn10 = nullptr, *BitBtn3 = nullptr, *BitBtn4 = nullptr, *BitBtn8 = nullptr, *BitBtn9 = nullptr;
    QPushButton *Butt_tev_cleartable = nullptr;
    QSpinBox *UD_tev_refresh = nullptr;
    QLabel *Label32 = nullptr;
    QCheckBox *Check_sort_address = nullptr, *Check_sort_user = nullptr, *Check_halvex = nullptr;
    QGroupBox *GroupBox3 = nullptr;
    QPlainTextEdit *Memo_info = nullptr;
    QProgressBar *ProgressBar1 = nullptr;

private:
    QPushButton *button(const char *name);
};

class ReadingsPage : public QWidget {
    Q_OBJECT
public:
    explicit ReadingsPage(QWidget *parent = nullptr);
    void retranslate();

    QTableWidget *Grid_historical = nullptr;
    QComboBox *Combo_months = nullptr;
    QPushButton *BitBtn13 = nullptr, *Butt_get_historical = nullptr, *BitBtn17 = nullptr;
    QPushButton *Butt_add_hist = nullptr, *Butt_delete_hist = nullptr, *Butt_clear_hist = nullptr,
                *Butt_sort_hist = nullptr;
    QCheckBox *Check_sort_hist_address = nullptr, *Check_sort_hist_user = nullptr;
    QProgressBar *ProgressBar2 = nullptr;

private:
    QPushButton *button(const char *name);
};

// The pair of boxes that acts as one choice: checking one clears the other,
// clearing one checks the other.
void pairBoxes(QCheckBox *a, QCheckBox *b);
