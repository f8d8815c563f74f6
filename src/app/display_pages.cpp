#include "display_pages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

void pairBoxes(QCheckBox *a, QCheckBox *b)
{
    QObject::connect(a, &QCheckBox::toggled, b, [b](bool on) { b->setChecked(!on); });
    QObject::connect(b, &QCheckBox::toggled, a, [a](bool on) { a->setChecked(!on); });
}

namespace {

QProgressBar *progressBar(QWidget *parent, const char *name)
{
    auto *bar = new QProgressBar(parent);
    bar->setObjectName(QString::fromLatin1(name));
    bar->setTextVisible(false);
    bar->setMaximumHeight(12);
    QSizePolicy keepRoom = bar->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true);
    bar->setSizePolicy(keepRoom);
    bar->setVisible(false);
    return bar;
}

} // namespace

QPushButton *DisplayPage::button(const char *name)
{
    auto *b = new QPushButton(this);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

DisplayPage::DisplayPage(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TabSheet3"));
    Grid_tev = new QTableWidget(1, 14, this);
    Grid_tev->setObjectName(QStringLiteral("Grid_tev"));
    Butt_tev_read = button("Butt_tev_read");
    Butt_tev_set = button("Butt_tev_set");
    Butt_tev_delete = button("Butt_tev_delete");
    Butt_tev_delp = button("Butt_tev_delp");
    BitBtn11 = button("BitBtn11");
    Butt_tev_refresh = button("Butt_tev_refresh");
    BitBtn15 = button("BitBtn15");
    BitBtn16 = button("BitBtn16");
    BitBtn18 = button("BitBtn18");
    Butt_tev_info = button("Butt_tev_info");
    BitBtn1 = button("BitBtn1");
    BitBtn2 = button("BitBtn2");
    BitBtn10 = button("BitBtn10");
    BitBtn3 = button("BitBtn3");
    BitBtn4 = button("BitBtn4");
    BitBtn8 = button("BitBtn8");
    BitBtn9 = button("BitBtn9");
    Butt_tev_cleartable = button("Butt_tev_cleartable");
    UD_tev_refresh = new QSpinBox(this);
    UD_tev_refresh->setObjectName(QStringLiteral("UD_tev_refresh"));
    UD_tev_refresh->setRange(4, 12);
    if (auto *edit = UD_tev_refresh->findChild<QLineEdit *>())
        edit->setObjectName(QStringLiteral("Edit_tev_refresh"));
    Label32 = new QLabel(this);
    Check_sort_address = new QCheckBox(this);
    Check_sort_address->setObjectName(QStringLiteral("Check_sort_address"));
    Check_sort_user = new QCheckBox(this);
    Check_sort_user->setObjectName(QStringLiteral("Check_sort_user"));
    Check_sort_user->setChecked(true);
    pairBoxes(Check_sort_address, Check_sort_user);
    Check_halvex = new QCheckBox(this);
    Check_halvex->setObjectName(QStringLiteral("Check_halvex"));
    GroupBox3 = new QGroupBox(this);
    GroupBox3->setObjectName(QStringLiteral("GroupBox3"));
    Memo_info = new QPlainTextEdit(GroupBox3);
    Memo_info->setObjectName(QStringLiteral("Memo_info"));
    Memo_info->setReadOnly(true);
    Memo_info->setLineWrapMode(QPlainTextEdit::NoWrap);
    auto *infoLayout = new QVBoxLayout(GroupBox3);
    infoLayout->addWidget(Memo_info);
    infoLayout->addWidget(Butt_tev_info);
    ProgressBar1 = progressBar(this, "ProgressBar1");

    // Left: the display itself; right: its general info.
    auto *runs = new QGridLayout;
    runs->addWidget(Butt_tev_read, 0, 0);
    runs->addWidget(Butt_tev_set, 0, 1);
    runs->addWidget(Butt_tev_delete, 1, 0);
    runs->addWidget(Butt_tev_delp, 1, 1);
    runs->addWidget(BitBtn11, 2, 0);
    runs->addWidget(BitBtn18, 2, 1);
    auto *refresh = new QHBoxLayout;
    refresh->addWidget(Label32);
    refresh->addWidget(UD_tev_refresh);
    refresh->addWidget(Butt_tev_refresh);
    refresh->addStretch(1);
    runs->addLayout(refresh, 3, 0, 1, 2);
    auto *sorting = new QHBoxLayout;
    sorting->addWidget(BitBtn15);
    sorting->addWidget(BitBtn16);
    sorting->addWidget(Check_sort_address);
    sorting->addWidget(Check_sort_user);
    sorting->addStretch(1);
    runs->addLayout(sorting, 4, 0, 1, 2);
    runs->addWidget(Check_halvex, 5, 0);
    runs->addWidget(ProgressBar1, 6, 0, 1, 2);
    auto *top = new QHBoxLayout;
    top->addLayout(runs);
    top->addWidget(GroupBox3, 1);

    auto *tableButtons = new QHBoxLayout;
    for (QPushButton *b : {BitBtn1, BitBtn2, BitBtn10, BitBtn3, BitBtn4, BitBtn8, BitBtn9, Butt_tev_cleartable})
        tableButtons->addWidget(b);
    tableButtons->addStretch(1);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(Grid_tev, 1);
    layout->addLayout(tableButtons);
    retranslate();
}

void DisplayPage::retranslate()
{
    Butt_tev_read->setText(tr("Read data from TEV-K40"));
    Butt_tev_delete->setText(tr("Delete selected device/row"));
    Butt_tev_delp->setText(tr("Zero start value"));
    BitBtn11->setText(tr("Date and Time"));
    Butt_tev_refresh->setText(tr("Set Refresh time"));
    BitBtn15->setText(tr("Create sort table"));
    BitBtn16->setText(tr("Sort"));
    BitBtn18->setText(tr("Update readings "));
    Butt_tev_info->setText(tr("Get info"));
    BitBtn1->setText(tr("Get data from m-bus devices"));
    BitBtn2->setText(tr("Import"));
    BitBtn10->setText(tr("Export"));
    BitBtn3->setText(tr("Add row"));
    BitBtn4->setText(tr("Delete row"));
    BitBtn8->setText(tr("Select all"));
    BitBtn9->setText(tr("Deselect all"));
    Butt_tev_cleartable->setText(tr("Clear table"));
    Label32->setText(tr("Set display refresh time, s"));
    Check_sort_address->setText(tr("by address"));
    Check_sort_user->setText(tr("by user numb."));
    Check_halvex->setText(tr("RUX-T"));
    GroupBox3->setTitle(tr("   General info   "));
}

QPushButton *ReadingsPage::button(const char *name)
{
    auto *b = new QPushButton(this);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

ReadingsPage::ReadingsPage(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TabSheet4"));
    Grid_historical = new QTableWidget(1, 22, this);
    Grid_historical->setObjectName(QStringLiteral("Grid_historical"));
    Combo_months = new QComboBox(this);
    Combo_months->setObjectName(QStringLiteral("Combo_months"));
    Combo_months->addItems({"ALL", "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"});
    BitBtn13 = button("BitBtn13");
    Butt_get_historical = button("Butt_get_historical");
    BitBtn17 = button("BitBtn17");
    Butt_add_hist = button("Butt_add_hist");
    Butt_delete_hist = button("Butt_delete_hist");
    Butt_clear_hist = button("Butt_clear_hist");
    Butt_sort_hist = button("Butt_sort_hist");
    Check_sort_hist_address = new QCheckBox(this);
    Check_sort_hist_address->setObjectName(QStringLiteral("Check_sort_hist_address"));
    Check_sort_hist_user = new QCheckBox(this);
    Check_sort_hist_user->setObjectName(QStringLiteral("Check_sort_hist_user"));
    // Both start clear; once one is chosen they act as one choice.
    QObject::connect(Check_sort_hist_address, &QCheckBox::clicked, Check_sort_hist_user,
                     [this](bool on) { Check_sort_hist_user->setChecked(!on); });
    QObject::connect(Check_sort_hist_user, &QCheckBox::clicked, Check_sort_hist_address,
                     [this](bool on) { Check_sort_hist_address->setChecked(!on); });
    ProgressBar2 = progressBar(this, "ProgressBar2");

    auto *top = new QHBoxLayout;
    top->addWidget(Combo_months);
    top->addWidget(BitBtn13);
    top->addWidget(Butt_get_historical);
    top->addSpacing(16);
    top->addWidget(Butt_sort_hist);
    top->addWidget(Check_sort_hist_address);
    top->addWidget(Check_sort_hist_user);
    top->addStretch(1);
    auto *bottom = new QHBoxLayout;
    for (QPushButton *b : {BitBtn17, Butt_add_hist, Butt_delete_hist, Butt_clear_hist})
        bottom->addWidget(b);
    bottom->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(ProgressBar2);
    layout->addWidget(Grid_historical, 1);
    layout->addLayout(bottom);
    retranslate();
}

void ReadingsPage::retranslate()
{
    BitBtn13->setText(tr("Get  historical values"));
    Butt_get_historical->setText(tr("Get all memory data"));
    BitBtn17->setText(tr("Export"));
    Butt_add_hist->setText(tr("Add row"));
    Butt_delete_hist->setText(tr("Delete row"));
    Butt_clear_hist->setText(tr("Clear table"));
    Butt_sort_hist->setText(tr("Sort table"));
    Check_sort_hist_address->setText(tr("by address"));
    Check_sort_hist_user->setText(tr("by user number"));
}
