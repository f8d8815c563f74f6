#include "about_box.h"

#include "jpeg_image.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

AboutBox::AboutBox(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TFAbout"));
    auto *layout = new QVBoxLayout(this);

    pictureLabel = new QLabel(this);
    pictureLabel->setObjectName(QStringLiteral("Image1"));
    pictureLabel->setAlignment(Qt::AlignCenter);
    QFile picture(QStringLiteral(":/telvaro/about.jpg"));
    if (picture.open(QIODevice::ReadOnly)) {
        const QImage image = decodeJpeg(picture.readAll());
        if (!image.isNull())
            pictureLabel->setPixmap(QPixmap::fromImage(image));
    }
    layout->addWidget(pictureLabel);

    nameLabel = new QLabel(this);
    nameLabel->setAlignment(Qt::AlignCenter);
    layout->addWidget(nameLabel);
    versionLabel = new QLabel(this);
    versionLabel->setObjectName(QStringLiteral("Label_version"));
    versionLabel->setAlignment(Qt::AlignCenter);
    layout->addWidget(versionLabel);

    okButton = new QPushButton(this);
    connect(okButton, &QPushButton::clicked, this, &QDialog::hide);
    layout->addWidget(okButton, 0, Qt::AlignCenter);
    retranslate();
}

void AboutBox::retranslate()
{
    setWindowTitle(tr("Telvaro -> About"));
    nameLabel->setText(tr("<b>Telvaro</b> - M-Bus configuration and meter-reading utility"));
    versionLabel->setText(tr("Version %1").arg(QCoreApplication::applicationVersion()));
    okButton->setText(tr("OK"));
}

void AboutBox::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QDialog::changeEvent(event);
}
