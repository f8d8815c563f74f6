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

    QTableWidget *meterGrid = nullptr;
    QPushButton *readDisplayButton = nullptr, *writeDisplayButton = nullptr, *deleteDeviceButton = nullptr,
                *zeroStartButton = nullptr;
    QPushButton *dateTimeButton = nullptr, *setRefreshButton = nullptr, *createSortTableButton = nullptr,
                *sortButton = nullptr;
    QPushButton *updateReadingsButton = nullptr, *getInfoButton = nullptr, *fromDeviceTableButton = nullptr,
                *importButton = nullptr;
    QPushButton *exportButton = nullptr, *addRowButton = nullptr, *deleteRowButton = nullptr,
                *selectAllButton = nullptr, *deselectAllButton = nullptr;
    QPushButton *clearTableButton = nullptr;
    QSpinBox *refreshTimeBox = nullptr;
    QLabel *refreshTimeLabel = nullptr;
    QCheckBox *sortByAddressBox = nullptr, *sortByUserNumberBox = nullptr, *ruxtModelBox = nullptr;
    QGroupBox *infoGroup = nullptr;
    QPlainTextEdit *infoText = nullptr;
    QProgressBar *progressBar = nullptr;
    QPushButton *stopButton = nullptr; // shown while a display operation runs

private:
    QPushButton *button(const char *name);
};

class ReadingsPage : public QWidget {
    Q_OBJECT
public:
    explicit ReadingsPage(QWidget *parent = nullptr);
    void retranslate();

    QTableWidget *historyGrid = nullptr;
    QComboBox *monthCombo = nullptr;
    QPushButton *getHistoryButton = nullptr, *getAllMemoryButton = nullptr, *exportButton = nullptr;
    QPushButton *addRowButton = nullptr, *deleteRowButton = nullptr, *clearTableButton = nullptr, *sortButton = nullptr;
    QPushButton *chartButton = nullptr; // the selected row's months as a chart
    QCheckBox *sortByAddressBox = nullptr, *sortByUserNumberBox = nullptr;
    QProgressBar *progressBar = nullptr;
    QPushButton *stopButton = nullptr; // shown while a display operation runs

private:
    QPushButton *button(const char *name);
};

// The pair of boxes that acts as one choice: checking one clears the other,
// clearing one checks the other.
void pairBoxes(QCheckBox *a, QCheckBox *b);
