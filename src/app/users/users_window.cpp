#include "users_window.h"

#include "account_file.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDate>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
constexpr int kColumns = 6;
const QString kYes = QStringLiteral("Yes");
} // namespace

UsersWindow::UsersWindow(QString accountFile, QWidget *parent)
    : QWidget(parent, Qt::Window), m_accountFile(std::move(accountFile))
{
    setObjectName(QStringLiteral("TFUsers"));
    showMessage = [this](const QString &caption, const QString &text) {
        QMessageBox::information(this, caption, text);
    };
    showError = [this](const QString &caption, const QString &text) { QMessageBox::critical(this, caption, text); };

    const auto edit = [this](const char *name, int maxLength, bool password) {
        auto *e = new QLineEdit(this);
        e->setObjectName(QString::fromLatin1(name));
        e->setMaxLength(maxLength);
        if (password)
            e->setEchoMode(QLineEdit::Password);
        return e;
    };
    userNameEdit = edit("Edit_user", 10, false);
    passwordEdit = edit("Edit_pass1", 10, true);
    repeatPasswordEdit = edit("Edit_pass2", 10, true);
    levelCombo = new QComboBox(this);
    levelCombo->setObjectName(QStringLiteral("Combo_access"));
    levelCombo->addItems({QStringLiteral("Administrator"), QStringLiteral("Setup"), QStringLiteral("Operator")});
    levelCombo->setCurrentIndex(-1);
    const auto check = [this](const char *name) {
        auto *c = new QCheckBox(this);
        c->setObjectName(QString::fromLatin1(name));
        return c;
    };
    devicesRightBox = check("Check_dev");
    communicationRightBox = check("Check_comm");
    displayRightBox = check("Check_display");
    requireLoginBox = check("Check_require");
    const auto button = [this](const char *name) {
        auto *b = new QPushButton(this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    addOrChangeButton = button("Butt_add");
    deleteButton = button("Butt_delete");
    exitButton = button("Butt_end");
    userGrid = new QTableWidget(0, kColumns, this);
    userGrid->setObjectName(QStringLiteral("Grid_users"));
    userGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    userGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    userGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    userGrid->verticalHeader()->hide();
    // Every column as wide as its texts, in every language; the grid as wide as its columns.
    userGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    userGrid->horizontalHeader()->setStretchLastSection(true);
    userNameLabel = new QLabel(this);
    passwordLabel = new QLabel(this);
    repeatPasswordLabel = new QLabel(this);
    levelLabel = new QLabel(this);
    readOnlyLabel = new QLabel(this);
    readOnlyLabel->setObjectName(QStringLiteral("readOnlyLabel"));
    readOnlyLabel->setWordWrap(true);
    readOnlyLabel->hide();

    auto *form = new QGridLayout;
    form->addWidget(userNameLabel, 0, 0);
    form->addWidget(userNameEdit, 0, 1);
    form->addWidget(passwordLabel, 1, 0);
    form->addWidget(passwordEdit, 1, 1);
    form->addWidget(repeatPasswordLabel, 2, 0);
    form->addWidget(repeatPasswordEdit, 2, 1);
    form->addWidget(levelLabel, 3, 0);
    form->addWidget(levelCombo, 3, 1);
    form->addWidget(devicesRightBox, 4, 0, 1, 2);
    form->addWidget(communicationRightBox, 5, 0, 1, 2);
    form->addWidget(displayRightBox, 6, 0, 1, 2);
    form->addWidget(requireLoginBox, 7, 0, 1, 2);
    form->setRowStretch(8, 1);
    auto *top = new QHBoxLayout;
    top->addLayout(form);
    top->addWidget(userGrid, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(addOrChangeButton);
    buttons->addWidget(deleteButton);
    buttons->addWidget(exitButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(readOnlyLabel);
    layout->addLayout(buttons);
    resize(760, 360);

    connect(addOrChangeButton, &QPushButton::clicked, this, &UsersWindow::addOrChange);
    connect(deleteButton, &QPushButton::clicked, this, &UsersWindow::deleteSelected);
    connect(exitButton, &QPushButton::clicked, this, &QWidget::close);
    connect(userGrid, &QTableWidget::cellClicked, this, [this](int row, int) { selectRow(row); });
    connect(userGrid, &QTableWidget::currentCellChanged, this, [this](int row, int, int, int) { selectRow(row); });
    retranslate();
}

void UsersWindow::retranslate()
{
    setWindowTitle(tr("Users and accounts"));
    userNameLabel->setText(tr("Username:"));
    passwordLabel->setText(tr("Password:"));
    repeatPasswordLabel->setText(tr("Repeat password:"));
    levelLabel->setText(tr("Access level:"));
    devicesRightBox->setText(tr("Allow setting devices"));
    communicationRightBox->setText(tr("Allow setting communication"));
    displayRightBox->setText(tr("Allow setting display"));
    requireLoginBox->setText(tr("Require login"));
    addOrChangeButton->setText(tr("Add/Change"));
    deleteButton->setText(tr("Delete"));
    exitButton->setText(tr("Exit"));
    readOnlyLabel->setText(
        tr("The account file %1 is read-only: its accounts are shown, but cannot be changed here.").arg(m_accountFile));
    userGrid->setHorizontalHeaderLabels(
        {tr("User"), tr("Access"), tr("Date reg."), tr("m-bus"), tr("Comm"), tr("Display")});
    fitGrid();
}

void UsersWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        list();
    QWidget::changeEvent(event);
}

bool UsersWindow::list()
{
    const accounts::AccountList accountList = accounts::readAccounts(m_accountFile);
    if (accountList.status != accounts::AccountList::Status::Ok) {
        showError(windowTitle(), QStringLiteral("Missing account file"));
        return false;
    }
    m_readOnly = accountList.readOnly;
    readOnlyLabel->setVisible(m_readOnly);
    addOrChangeButton->setEnabled(!m_readOnly);
    deleteButton->setEnabled(!m_readOnly);
    userGrid->setRowCount(0);
    for (const accounts::Account &a : accountList.accounts) {
        const int row = userGrid->rowCount();
        userGrid->insertRow(row);
        const QStringList cells{a.name,
                                a.level,
                                a.registered,
                                a.devices ? kYes : QStringLiteral("No"),
                                a.communication ? kYes : QStringLiteral("No"),
                                a.display ? kYes : QStringLiteral("No")};
        for (int c = 0; c < kColumns; ++c)
            userGrid->setItem(row, c, new QTableWidgetItem(cells[c]));
    }
    retranslate();
    fitGrid();
    return true;
}

void UsersWindow::fitGrid()
{
    QHeaderView *header = userGrid->horizontalHeader();
    int width = 2 * userGrid->frameWidth() + userGrid->verticalScrollBar()->sizeHint().width();
    const QAbstractItemView *view = userGrid; // where the size hint is public
    for (int c = 0; c < header->count(); ++c)
        width += std::max(header->sectionSizeHint(c), view->sizeHintForColumn(c));
    userGrid->setMinimumWidth(width);
}

void UsersWindow::selectRow(int row)
{
    if (row < 0 || row >= userGrid->rowCount())
        return;
    const auto text = [this, row](int column) {
        const QTableWidgetItem *item = userGrid->item(row, column);
        return item ? item->text() : QString();
    };
    userNameEdit->setText(text(0));
    levelCombo->setCurrentIndex(levelCombo->findText(text(1)));
    devicesRightBox->setChecked(text(3) == kYes);
    communicationRightBox->setChecked(text(4) == kYes);
    displayRightBox->setChecked(text(5) == kYes);
}

void UsersWindow::clearFields()
{
    userNameEdit->clear();
    passwordEdit->clear();
    repeatPasswordEdit->clear();
    levelCombo->setCurrentIndex(-1);
}

void UsersWindow::addOrChange()
{
    const QString caption = windowTitle();
    if (m_readOnly) {
        showError(QStringLiteral("Account error"), readOnlyLabel->text());
        return;
    }
    if (userNameEdit->text().isEmpty()) {
        showMessage(caption, QStringLiteral("Enter username"));
        return;
    }
    if (passwordEdit->text().isEmpty() || repeatPasswordEdit->text().isEmpty()) {
        showMessage(caption, QStringLiteral("Enter password (both fields)"));
        return;
    }
    if (levelCombo->currentText().isEmpty()) {
        showMessage(caption, QStringLiteral("Select access level for this user"));
        return;
    }
    if (passwordEdit->text() != repeatPasswordEdit->text()) {
        showMessage(caption, QStringLiteral("Passwords does not match!"));
        return;
    }
    accounts::Account account;
    account.name = userNameEdit->text();
    account.password = passwordEdit->text();
    account.level = levelCombo->currentText();
    account.devices = devicesRightBox->isChecked();
    account.communication = communicationRightBox->isChecked();
    account.display = displayRightBox->isChecked();
    const accounts::AccountResult result = accounts::addOrChange(m_accountFile, account, QDate::currentDate());
    if (!result.ok) {
        showError(QStringLiteral("Account error"), result.message);
        return;
    }
    clearFields();
    list();
}

void UsersWindow::deleteSelected()
{
    if (m_readOnly) {
        showError(QStringLiteral("Account error"), readOnlyLabel->text());
        return;
    }
    const accounts::AccountResult result = accounts::removeAccount(m_accountFile, userNameEdit->text());
    if (!result.ok && !result.message.isEmpty())
        showMessage(windowTitle(), result.message);
    list();
}

void UsersWindow::closeEvent(QCloseEvent *event)
{
    clearFields();
    devicesRightBox->setChecked(false);
    communicationRightBox->setChecked(false);
    displayRightBox->setChecked(false);
    QWidget::closeEvent(event);
}
