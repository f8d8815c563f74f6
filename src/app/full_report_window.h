#pragma once
// "Detailed m-bus report": every record of a meter read with "Read Full",
// appended until the user clears it.

#include <QWidget>

#include <functional>

class QPlainTextEdit;
class QPushButton;

class FullReportWindow : public QWidget {
    Q_OBJECT
public:
    explicit FullReportWindow(QWidget *parent = nullptr);

    // Appends a report and shows the window, centred on the main window the first time.
    void appendReport(const QStringList &lines);
    QStringList lines() const;
    bool saveTo(const QString &path);
    void retranslate();

    // The save dialog; tests replace it.
    std::function<QString()> askSaveName;

    QPlainTextEdit *reportText = nullptr;
    QPushButton *clearButton = nullptr, *saveButton = nullptr, *closeButton = nullptr; // "Clear", "Save", "Close"

protected:
    void changeEvent(QEvent *event) override;

private:
    void onSave();
    bool m_placed = false;
};
