#pragma once
// The "M-bus devices" page: the search and the two groups of meter commands
// as tabs of one compact strip (the selected meter and the broadcast switch
// beside its tabs), below it the device table with its buttons. The strip
// stays a few lines high so that the table has the room. Controls only; the
// main window wires them to the operations.

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
class QTabWidget;
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

    // The command tabs: search, basic and advanced configuration.
    QTabWidget *commandTabs = nullptr;
    // Shows or hides the tabs that change meters (and the selection beside them).
    void setMeterCommandsShown(bool shown);
    bool meterCommandsShown() const;

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
    QPushButton *stopSearchButton = nullptr; // beside the tabs: "Stop Secondary" or "Stop" while one runs
    QProgressBar *progressBar = nullptr;     // the main window shows it in its status bar

    // "   Basic Config.   "
    QGroupBox *basicGroup = nullptr;
    QPushButton *resetButton = nullptr;
    QLabel *newAddressLabel = nullptr;
    QSpinBox *newAddressBox = nullptr;
    QPushButton *setAddressButton = nullptr;
    QLabel *valueLabel = nullptr;
    QLineEdit *valueEdit = nullptr;
    QLabel *valueUnitLabel = nullptr; // the unit the value is written in: litres
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
    QWidget *buildSelectionCorner();
    QWidget *buildTableArea();
    void fitColumns();

    QString m_selectedId, m_selectedAddress;
    QTimer *m_fitColumns = nullptr; // one fit for a burst of changes
};
