#include "about_box.h"

#include "jpeg_image.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

TFAbout::TFAbout(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TFAbout"));
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

    Label_name = new QLabel(this);
    Label_name->setAlignment(Qt::AlignCenter);
    layout->addWidget(Label_name);
    Label_version = new QLabel(this);
    Label_version->setObjectName(QStringLiteral("Label_version"));
    Label_version->setAlignment(Qt::AlignCenter);
    layout->addWidget(Label_version);

    Button_ok = new QPushButton(this);
    connect(Button_ok, &QPushButton::clicked, this, &QDialog::hide);
    layout->addWidget(Button_ok, 0, Qt::AlignCenter);
    retranslate();
}

void TFAbout::retranslate()
{
    setWindowTitle(tr("Telvaro -> About"));
    Label_name->setText(tr("<b>Telvaro</b> - M-Bus configuration and meter-reading utility"));
    Label_version->setText(tr("Version %1").arg(QCoreApplication::applicationVersion()));
    Button_ok->setText(tr("OK"));
}

void TFAbout::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QDialog::changeEvent(event);
}
