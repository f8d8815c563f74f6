#include "full_report_window.h"

#include "config/safe_write.h"

#include <QEvent>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QVBoxLayout>

FullReportWindow::FullReportWindow(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowMinMaxButtonsHint | Qt::WindowTitleHint | Qt::CustomizeWindowHint)
{
    setObjectName(QStringLiteral("TFormFullMbus"));
    reportText = new QPlainTextEdit(this);
    reportText->setObjectName(QStringLiteral("Memo_fullMbus"));
    reportText->setReadOnly(true);
    // Long record lines wrap instead of running off the right edge.
    reportText->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    reportText->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    reportText->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    clearButton = new QPushButton(this);
    clearButton->setObjectName(QStringLiteral("BitBtn1"));
    saveButton = new QPushButton(this);
    saveButton->setObjectName(QStringLiteral("BitBtn2"));
    closeButton = new QPushButton(this);
    closeButton->setObjectName(QStringLiteral("BitBtn3"));

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(clearButton);
    buttons->addWidget(saveButton);
    buttons->addWidget(closeButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(reportText, 1);
    layout->addLayout(buttons);

    askSaveName = [this] {
        QFileDialog dialog(this, tr("Save report"), QString(), tr("TXT files (*.txt)"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("txt"));
        return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().first()
                                                                                       : QString();
    };
    connect(clearButton, &QPushButton::clicked, reportText, &QPlainTextEdit::clear);
    connect(saveButton, &QPushButton::clicked, this, &FullReportWindow::onSave);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    // Room for a record line of about 100 characters where the screen has it.
    const int wanted = reportText->fontMetrics().horizontalAdvance(QString(100, u'0')) + 60;
    const QRect screen = parent && parent->screen() ? parent->screen()->availableGeometry() : QRect(0, 0, 1024, 700);
    resize(std::min(wanted, screen.width() * 9 / 10), std::min(560, screen.height() * 8 / 10));
    retranslate();
}

void FullReportWindow::retranslate()
{
    setWindowTitle(tr("Detailed m-bus report"));
    clearButton->setText(tr("Clear"));
    saveButton->setText(tr("Save"));
    closeButton->setText(tr("Close"));
}

void FullReportWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}

void FullReportWindow::appendReport(const QStringList &lines)
{
    for (const QString &line : lines)
        reportText->appendPlainText(line);
    reportText->verticalScrollBar()->setValue(reportText->verticalScrollBar()->maximum());
    if (!m_placed && parentWidget()) {
        move(parentWidget()->geometry().center() - rect().center());
        m_placed = true;
    }
    show();
    raise();
}

QStringList FullReportWindow::lines() const
{
    if (reportText->document()->isEmpty())
        return {};
    return reportText->toPlainText().split(u'\n');
}

bool FullReportWindow::saveTo(const QString &path)
{
    QByteArray content;
    for (const QString &line : lines())
        content += line.toUtf8() + '\n';
    QString error;
    if (writeFileSafely(path, content, &error))
        return true;
    reportText->appendPlainText(QStringLiteral("Exception saving to file - ") + error);
    return false;
}

void FullReportWindow::onSave()
{
    const QString name = askSaveName();
    if (!name.isEmpty())
        saveTo(name);
}
