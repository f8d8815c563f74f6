#include "about_box.h"

#include "jpeg_image.h"

#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

TFAbout::TFAbout(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TFAbout"));
    setWindowTitle(QStringLiteral("Telvaro -> About"));
    auto *layout = new QVBoxLayout(this);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setAlignment(Qt::AlignCenter);
    QFile picture(QStringLiteral(":/telvaro/about.jpg"));
    if (picture.open(QIODevice::ReadOnly)) {
        const QImage image = decodeJpeg(picture.readAll());
        if (!image.isNull())
            Image1->setPixmap(QPixmap::fromImage(image));
    }
    layout->addWidget(Image1);

    auto *name = new QLabel(QStringLiteral("<b>Telvaro</b> - M-Bus configuration and meter-reading utility"), this);
    name->setAlignment(Qt::AlignCenter);
    layout->addWidget(name);
    Label_version = new QLabel(QStringLiteral("Version ") + QCoreApplication::applicationVersion(), this);
    Label_version->setObjectName(QStringLiteral("Label_version"));
    Label_version->setAlignment(Qt::AlignCenter);
    layout->addWidget(Label_version);

    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    connect(ok, &QPushButton::clicked, this, &QDialog::hide);
    layout->addWidget(ok, 0, Qt::AlignCenter);
}
