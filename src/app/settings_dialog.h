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

class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTitleFields = 13;
    static constexpr int kPortNameLength = 4096; // a whole Linux path (PATH_MAX), /dev/serial/by-id/... included

    SettingsDialog(Settings &live, QString settingsPath, QWidget *parent = nullptr);

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

    // title1Edit .. title13Edit by index 0..12; nullptr outside.
    QLineEdit *titleEdit(int index) const;

    // Message box hook; tests replace it.
    std::function<void(const QString &caption, const QString &text)> showWarning;

    QTabWidget *pages = nullptr;

    // "   Communication settings   "
    QWidget *portPage = nullptr;
    QComboBox *portNameCombo = nullptr, *speedCombo = nullptr, *parityCombo = nullptr;
    QCheckBox *rtsBox = nullptr, *dtrBox = nullptr;
    QCheckBox *converterRouteBox = nullptr, *gatewayClientRouteBox = nullptr;
    QGroupBox *remoteGroup = nullptr; // remote connection: converter and gateway-client routes
    QLineEdit *remoteIpEdit = nullptr, *remotePortEdit = nullptr;
    QSpinBox *ethernetTimeoutBox = nullptr;
    QLineEdit *ethernetTimeoutEdit = nullptr; // the up-down's own field, read-only
    QLineEdit *networkNumberEdit = nullptr;
    QCheckBox *listenRouteBox = nullptr;
    QGroupBox *listenGroup = nullptr; // listening socket: listen route
    QLineEdit *listenPortEdit = nullptr;
    QCheckBox *autoOpenBox = nullptr, *autoReadDisplayBox = nullptr, *autoReadMbusBox = nullptr;
    QSpinBox *retriesBox = nullptr;
    QLineEdit *retriesEdit = nullptr;
    QLineEdit *exportSeparatorEdit = nullptr;
    QGroupBox *secondarySearchGroup = nullptr;
    QCheckBox *msbFirstBox = nullptr, *lsbFirstBox = nullptr;
    QCheckBox *globalInitBox = nullptr, *use5BBox = nullptr, *unicodeBox = nullptr;
    QCheckBox *fastReadsBox = nullptr, *allTelegramsBox = nullptr, *archiveBox = nullptr;
    QCheckBox *standardTimingBox = nullptr;
    QSpinBox *timingMarginBox = nullptr;
    // The archive: a file or a postgresql:// URL (empty: the default file),
    // a chooser for the file, and "Test" with its answer below.
    QGroupBox *archiveGroup = nullptr;
    QLineEdit *archiveLocationEdit = nullptr;
    QPushButton *archiveBrowseButton = nullptr, *archiveTestButton = nullptr;
    QLabel *archiveTestLabel = nullptr;
    std::function<QString(const QString &current)> askArchiveFile; // the file chooser; tests replace it
    QLineEdit *vantirGenerationEdit = nullptr;
    QPushButton *portCancelButton = nullptr, *portApplyButton = nullptr; // "Cancel", "Apply"
    QPushButton *openPortButton = nullptr;                               // hidden; its caption follows the port

    // "   Additional m-bus information   "
    QWidget *titlesPage = nullptr;
    QSpinBox *titleCountBox = nullptr;
    QLineEdit *titleCountEdit = nullptr;
    QLineEdit *title1Edit = nullptr, *title2Edit = nullptr, *title3Edit = nullptr, *title4Edit = nullptr,
              *title5Edit = nullptr, *title6Edit = nullptr, *title7Edit = nullptr, *title8Edit = nullptr,
              *title9Edit = nullptr, *title10Edit = nullptr, *title11Edit = nullptr, *title12Edit = nullptr,
              *title13Edit = nullptr;
    QCheckBox *secondaryMainBox = nullptr;
    QLineEdit *secondaryMainEdit = nullptr;
    QPushButton *titlesCloseButton = nullptr, *titlesApplyButton = nullptr; // "Close", "Apply"

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
    void wireArchive();

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
