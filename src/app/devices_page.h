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
class QAbstractItemModel;
class QTableView;
class QTimer;

class DevicesPage : public QWidget {
    Q_OBJECT
public:
    explicit DevicesPage(QWidget *parent = nullptr);

    // Sets every caption in the current language.
    void retranslate();
    // The selected meter above the grid, kept over a language switch.
    void showSelection(const QString &id, const QString &address);
    // The grid shows the model; its columns grow to their contents whenever
    // it changes (never cutting a value), and the user may widen them.
    void setTableModel(QAbstractItemModel *model);

    // "   Search network    "
    QGroupBox *searchGroup = nullptr;
    QLabel *fromAddressLabel = nullptr, *toAddressLabel = nullptr, *timeoutLabel = nullptr;
    QSpinBox *fromAddressBox = nullptr, *toAddressBox = nullptr, *timeoutBox = nullptr;
    QCheckBox *sendNkeFirstBox = nullptr;
    QPushButton *findPrimaryButton = nullptr;
    QLabel *primarySearchLabel = nullptr;   // "By primary address:"
    QLabel *secondarySearchLabel = nullptr; // "By Secondary address:"
    QLineEdit *searchIdEdit = nullptr;
    QPushButton *findIdButton = nullptr, *findAllButton = nullptr;
    QPushButton *stopSearchButton = nullptr; // "Stop Secondary", shown while a wildcard search runs
    QProgressBar *progressBar = nullptr;

    // "   Basic Config.   "
    QGroupBox *basicGroup = nullptr;
    QPushButton *resetButton = nullptr;
    QLabel *newAddressLabel = nullptr;
    QSpinBox *newAddressBox = nullptr;
    QPushButton *setAddressButton = nullptr;
    QLabel *valueLabel = nullptr;
    QLineEdit *valueEdit = nullptr;
    QCheckBox *integerValueBox = nullptr;
    QPushButton *setValueButton = nullptr;

    // "   Advanced  Config.   "
    QGroupBox *advancedGroup = nullptr;
    QLabel *mediumLabel = nullptr, *unitLabel = nullptr, *constantLabel = nullptr, *baudLabel = nullptr,
           *newIdLabel = nullptr;
    QComboBox *mediumCombo = nullptr, *unitCombo = nullptr, *constantCombo = nullptr, *baudCombo = nullptr;
    QCheckBox *relayBox = nullptr;
    QPushButton *setMediumButton = nullptr, *setUnitButton = nullptr, *setBaudButton = nullptr, *setIdButton = nullptr;
    QLineEdit *newIdEdit = nullptr;

    QCheckBox *broadcastBox = nullptr;
    QLabel *selectedIdLabel = nullptr, *selectedAddressLabel = nullptr;

    QTableView *deviceGrid = nullptr;
    QPushButton *readSelectedButton = nullptr, *readAllButton = nullptr, *clearTableButton = nullptr;
    QPushButton *loadButton = nullptr, *saveButton = nullptr;
    QPushButton *historyButton = nullptr; // the selected meter's readings from the archive
    QPushButton *autoAddressButton = nullptr;
    QLabel *autoAddressFromLabel = nullptr;
    QSpinBox *autoAddressFirstBox = nullptr;

private:
    QGroupBox *buildSearchGroup();
    QGroupBox *buildBasicGroup();
    QGroupBox *buildAdvancedGroup();
    QWidget *buildTableArea();
    void fitColumns();

    QString m_selectedId, m_selectedAddress;
    QTimer *m_fitColumns = nullptr; // one fit for a burst of changes
};
