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
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
constexpr int kColumns = 6;
const QString kYes = QStringLiteral("Yes");
} // namespace

TFUsers::TFUsers(QString accountFile, QWidget *parent)
    : QWidget(parent, Qt::Window), m_accountFile(std::move(accountFile))
{
    setObjectName(QStringLiteral("TFUsers"));
    showMessage = [this](const QString &caption, const QString &text) { QMessageBox::information(this, caption, text); };
    showError = [this](const QString &caption, const QString &text) { QMessageBox::critical(this, caption, text); };

    const auto edit = [this](const char *name, int maxLength, bool password) {
        auto *e = new QLineEdit(this);
        e->setObjectName(QString::fromLatin1(name));
        e->setMaxLength(maxLength);
        if (password)
            e->setEchoMode(QLineEdit::Password);
        return e;
    };
    Edit_user = edit("Edit_user", 10, false);
    Edit_pass1 = edit("Edit_pass1", 10, true);
    Edit_pass2 = edit("Edit_pass2", 10, true);
    Combo_access = new QComboBox(this);
    Combo_access->setObjectName(QStringLiteral("Combo_access"));
    Combo_access->addItems({QStringLiteral("Administrator"), QStringLiteral("Setup"), QStringLiteral("Operator")});
    Combo_access->setCurrentIndex(-1);
    const auto check = [this](const char *name) {
        auto *c = new QCheckBox(this);
        c->setObjectName(QString::fromLatin1(name));
        return c;
    };
    Check_dev = check("Check_dev");
    Check_comm = check("Check_comm");
    Check_display = check("Check_display");
    Check_require = check("Check_require");
    const auto button = [this](const char *name) {
        auto *b = new QPushButton(this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    Butt_add = button("Butt_add");
    Butt_delete = button("Butt_delete");
    Butt_end = button("Butt_end");
    Grid_users = new QTableWidget(0, kColumns, this);
    Grid_users->setObjectName(QStringLiteral("Grid_users"));
    Grid_users->setSelectionBehavior(QAbstractItemView::SelectRows);
    Grid_users->setSelectionMode(QAbstractItemView::SingleSelection);
    Grid_users->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid_users->verticalHeader()->hide();
    Grid_users->horizontalHeader()->setStretchLastSection(true);
    Label1 = new QLabel(this);
    Label2 = new QLabel(this);
    Label3 = new QLabel(this);
    Label4 = new QLabel(this);

    auto *form = new QGridLayout;
    form->addWidget(Label1, 0, 0);
    form->addWidget(Edit_user, 0, 1);
    form->addWidget(Label2, 1, 0);
    form->addWidget(Edit_pass1, 1, 1);
    form->addWidget(Label3, 2, 0);
    form->addWidget(Edit_pass2, 2, 1);
    form->addWidget(Label4, 3, 0);
    form->addWidget(Combo_access, 3, 1);
    form->addWidget(Check_dev, 4, 0, 1, 2);
    form->addWidget(Check_comm, 5, 0, 1, 2);
    form->addWidget(Check_display, 6, 0, 1, 2);
    form->addWidget(Check_require, 7, 0, 1, 2);
    form->setRowStretch(8, 1);
    auto *top = new QHBoxLayout;
    top->addLayout(form);
    top->addWidget(Grid_users, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Butt_add);
    buttons->addWidget(Butt_delete);
    buttons->addWidget(Butt_end);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);
    resize(760, 360);

    connect(Butt_add, &QPushButton::clicked, this, &TFUsers::addOrChange);
    connect(Butt_delete, &QPushButton::clicked, this, &TFUsers::deleteSelected);
    connect(Butt_end, &QPushButton::clicked, this, &QWidget::close);
    connect(Grid_users, &QTableWidget::cellClicked, this, [this](int row, int) { selectRow(row); });
    connect(Grid_users, &QTableWidget::currentCellChanged, this, [this](int row, int, int, int) { selectRow(row); });
    retranslate();
}

void TFUsers::retranslate()
{
    setWindowTitle(tr("Users and accounts"));
    Label1->setText(tr("Username:"));
    Label2->setText(tr("Password:"));
    Label3->setText(tr("Repeat password:"));
    Label4->setText(tr("Access level:"));
    Check_dev->setText(tr("Allow setting devices"));
    Check_comm->setText(tr("Allow setting communication"));
    Check_display->setText(tr("Allow setting display"));
    Check_require->setText(tr("Require login"));
    Butt_add->setText(tr("Add/Change"));
    Butt_delete->setText(tr("Delete"));
    Butt_end->setText(tr("Exit"));
    Grid_users->setHorizontalHeaderLabels(
        {tr("User"), tr("Access"), tr("Date reg."), tr("m-bus"), tr("Comm"), tr("Display")});
}

void TFUsers::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        list();
    QWidget::changeEvent(event);
}

bool TFUsers::list()
{
    const accounts::AccountList accountList = accounts::readAccounts(m_accountFile);
    if (accountList.status != accounts::AccountList::Status::Ok) {
        showError(windowTitle(), QStringLiteral("Missing account file"));
        return false;
    }
    Grid_users->setRowCount(0);
    for (const accounts::Account &a : accountList.accounts) {
        const int row = Grid_users->rowCount();
        Grid_users->insertRow(row);
        const QStringList cells{a.name,
                                a.level,
                                a.registered,
                                a.devices ? kYes : QStringLiteral("No"),
                                a.communication ? kYes : QStringLiteral("No"),
                                a.display ? kYes : QStringLiteral("No")};
        for (int c = 0; c < kColumns; ++c)
            Grid_users->setItem(row, c, new QTableWidgetItem(cells[c]));
    }
    retranslate();
    return true;
}

void TFUsers::selectRow(int row)
{
    if (row < 0 || row >= Grid_users->rowCount())
        return;
    const auto text = [this, row](int column) {
        const QTableWidgetItem *item = Grid_users->item(row, column);
        return item ? item->text() : QString();
    };
    Edit_user->setText(text(0));
    Combo_access->setCurrentIndex(Combo_access->findText(text(1)));
    Check_dev->setChecked(text(3) == kYes);
    Check_comm->setChecked(text(4) == kYes);
    Check_display->setChecked(text(5) == kYes);
}

void TFUsers::clearFields()
{
    Edit_user->clear();
    Edit_pass1->clear();
    Edit_pass2->clear();
    Combo_access->setCurrentIndex(-1);
}

void TFUsers::addOrChange()
{
    const QString caption = windowTitle();
    if (Edit_user->text().isEmpty()) {
        showMessage(caption, QStringLiteral("Enter username"));
        return;
    }
    if (Edit_pass1->text().isEmpty() || Edit_pass2->text().isEmpty()) {
        showMessage(caption, QStringLiteral("Enter password (both fields)"));
        return;
    }
    if (Combo_access->currentText().isEmpty()) {
        showMessage(caption, QStringLiteral("Select access level for this user"));
        return;
    }
    if (Edit_pass1->text() != Edit_pass2->text()) {
        showMessage(caption, QStringLiteral("Passwords does not match!"));
        return;
    }
    accounts::Account account;
    account.name = Edit_user->text();
    account.password = Edit_pass1->text();
    account.level = Combo_access->currentText();
    account.devices = Check_dev->isChecked();
    account.communication = Check_comm->isChecked();
    account.display = Check_display->isChecked();
    const accounts::AccountResult result = accounts::addOrChange(m_accountFile, account, QDate::currentDate());
    if (!result.ok) {
        showError(QStringLiteral("Account error"), result.message);
        return;
    }
    clearFields();
    list();
}

void TFUsers::deleteSelected()
{
    const accounts::AccountResult result = accounts::removeAccount(m_accountFile, Edit_user->text());
    if (!result.ok && !result.message.isEmpty())
        showMessage(windowTitle(), result.message);
    list();
}

void TFUsers::closeEvent(QCloseEvent *event)
{
    clearFields();
    Check_dev->setChecked(false);
    Check_comm->setChecked(false);
    Check_display->setChecked(false);
    QWidget::closeEvent(event);
}
