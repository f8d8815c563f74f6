#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// "Telvaro -> About": name, version and the picture.
class AboutBox : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(QWidget *parent = nullptr);
    void retranslate();

    QLabel *pictureLabel = nullptr;
    QLabel *nameLabel = nullptr;
    QLabel *versionLabel = nullptr;
    QPushButton *okButton = nullptr;

protected:
    void changeEvent(QEvent *event) override;
};
