#pragma once

#include <QDialog>

class QLabel;

// "Telvaro -> About": name, version and the picture.
class TFAbout : public QDialog {
    Q_OBJECT
public:
    explicit TFAbout(QWidget *parent = nullptr);

    QLabel *Image1 = nullptr;
    QLabel *Label_version = nullptr;
};
