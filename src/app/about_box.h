#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// "Telvaro -> About": name, version and the picture.
class TFAbout : public QDialog {
    Q_OBJECT
public:
    explicit TFAbout(QWidget *parent = nullptr);
    void retranslate();

    QLabel *Image1 = nullptr;
    QLabel *Label_name = nullptr;
    QLabel *Label_version = nullptr;
    QPushButton *Button_ok = nullptr;

protected:
    void changeEvent(QEvent *event) override;
};
