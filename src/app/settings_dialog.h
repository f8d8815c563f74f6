#pragma once
// "Telvaro -> Settings": the link settings. Its controls are the live copy:
// every change is in effect at once; "Apply" writes the file.

#include "config/settings.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QComboBox;

class TSettings : public QDialog {
    Q_OBJECT
public:
    TSettings(Settings &live, QString settingsPath, QWidget *parent = nullptr);

    // Re-reads the file into the controls, discarding changes not applied.
    void reload();
    // "Apply": writes the keys; false (after the warning) when the file cannot be written.
    bool apply();

    std::function<void(const QString &caption, const QString &text)> showWarning;

    QComboBox *Combo_com_name = nullptr, *Combo_com_speed = nullptr, *Combo_com_parity = nullptr;
    QCheckBox *Check_rts = nullptr, *Check_dtr = nullptr;

public slots:
    // The port fields cannot change while the port is open.
    void setPortFieldsEnabled(bool enabled);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void showSettings();

    Settings &m_live;
    QString m_path;
};
