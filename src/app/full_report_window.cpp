#include "full_report_window.h"

#include "config/safe_write.h"

#include <QEvent>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

TFormFullMbus::TFormFullMbus(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint | Qt::WindowMinMaxButtonsHint | Qt::WindowTitleHint
                          | Qt::CustomizeWindowHint)
{
    setObjectName(QStringLiteral("TFormFullMbus"));
    Memo_fullMbus = new QPlainTextEdit(this);
    Memo_fullMbus->setObjectName(QStringLiteral("Memo_fullMbus"));
    Memo_fullMbus->setReadOnly(true);
    Memo_fullMbus->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo_fullMbus->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    BitBtn1 = new QPushButton(this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn2 = new QPushButton(this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn3 = new QPushButton(this);
    BitBtn3->setObjectName(QStringLiteral("BitBtn3"));

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    buttons->addWidget(BitBtn3);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Memo_fullMbus, 1);
    layout->addLayout(buttons);

    askSaveName = [this] {
        QFileDialog dialog(this, tr("Save report"), QString(), tr("TXT files (*.txt)"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("txt"));
        return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().first()
                                                                                       : QString();
    };
    connect(BitBtn1, &QPushButton::clicked, Memo_fullMbus, &QPlainTextEdit::clear);
    connect(BitBtn2, &QPushButton::clicked, this, &TFormFullMbus::onSave);
    connect(BitBtn3, &QPushButton::clicked, this, &QWidget::close);
    resize(640, 520);
    retranslate();
}

void TFormFullMbus::retranslate()
{
    setWindowTitle(tr("Detailed m-bus report"));
    BitBtn1->setText(tr("Clear"));
    BitBtn2->setText(tr("Save"));
    BitBtn3->setText(tr("Close"));
}

void TFormFullMbus::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}

void TFormFullMbus::appendReport(const QStringList &lines)
{
    for (const QString &line : lines)
        Memo_fullMbus->appendPlainText(line);
    Memo_fullMbus->verticalScrollBar()->setValue(Memo_fullMbus->verticalScrollBar()->maximum());
    if (!m_placed && parentWidget()) {
        move(parentWidget()->geometry().center() - rect().center());
        m_placed = true;
    }
    show();
    raise();
}

QStringList TFormFullMbus::lines() const
{
    if (Memo_fullMbus->document()->isEmpty())
        return {};
    return Memo_fullMbus->toPlainText().split(u'\n');
}

bool TFormFullMbus::saveTo(const QString &path)
{
    QByteArray content;
    for (const QString &line : lines())
        content += line.toUtf8() + '\n';
    QString error;
    if (writeFileSafely(path, content, &error))
        return true;
    Memo_fullMbus->appendPlainText(QStringLiteral("Exception saving to file - ") + error);
    return false;
}

void TFormFullMbus::onSave()
{
    const QString name = askSaveName();
    if (!name.isEmpty())
        saveTo(name);
}
