// The three languages on the real windows, offscreen: every window walked in
// each language and letter mode after a switch through the menu, the
// catalogues against the code, the messages chosen when they are shown, and
// the language kept over a restart.

#include "about_box.h"
#include "devices_page.h"
#include "display_pages.h"
#include "full_report_window.h"
#include "history_window.h"
#include "main_window.h"
#include "ops/bus_session.h"
#include "ops/primary_scan.h"
#include "painted_rows.h"
#include "settings_dialog.h"
#include "sim_process.h"
#include "startup.h"
#include "users/account_file.h"
#include "users/login_window.h"
#include "users/users_window.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

const QString kTranslations = QStringLiteral(TELVARO_SOURCE_DIR "/src/app/translations/");

// Source text -> translation, for one catalogue (all contexts together).
struct Catalogue {
    QMultiHash<QString, QString> translations;
    QSet<QString> translated; // everything the catalogue shows in the language
    QStringList sameAsSource; // "Context|source" translated as the source (padding aside)
    int unfinished = 0;

    explicit Catalogue(const QString &path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return;
        QXmlStreamReader xml(&file);
        QString context, source;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == u"name") {
                context = xml.readElementText();
            } else if (xml.name() == u"source") {
                source = xml.readElementText();
            } else if (xml.name() == u"translation") {
                if (xml.attributes().value(QStringLiteral("type")) == QStringLiteral("unfinished"))
                    ++unfinished;
                // Plural forms are child elements: their texts run together here.
                const QString text = xml.readElementText(QXmlStreamReader::IncludeChildElements);
                translations.insert(source, text);
                translated.insert(text);
                if (text.simplified() == source.simplified())
                    sameAsSource << context + u'|' + source.simplified();
            }
        }
    }
    // An English text shown where the language has its own.
    bool leftInEnglish(const QString &text) const
    {
        const QStringList own = translations.values(text);
        return !own.isEmpty() && !own.contains(text) && !translated.contains(text);
    }
};

struct Shown {
    QString where;
    QString text;
    QWidget *widget = nullptr; // checked for clipping when visible
};

QList<Shown> textsOf(QWidget *window)
{
    QList<Shown> out{{window->metaObject()->className() + QStringLiteral(" title"), window->windowTitle()}};
    QList<QWidget *> widgets = window->findChildren<QWidget *>();
    widgets.prepend(window);
    for (QWidget *w : widgets) {
        const QString name = w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className())
                                                       : w->objectName();
        if (auto *b = qobject_cast<QAbstractButton *>(w))
            out << Shown{name, b->text(), w};
        else if (auto *l = qobject_cast<QLabel *>(w))
            out << Shown{name, l->text(), l->wordWrap() || l->textFormat() == Qt::RichText ? nullptr : w};
        else if (auto *g = qobject_cast<QGroupBox *>(w))
            out << Shown{name, g->title()};
        if (auto *tabs = qobject_cast<QTabWidget *>(w))
            for (int i = 0; i < tabs->count(); ++i)
                out << Shown{name + QStringLiteral(" tab"), tabs->tabText(i)};
        if (auto *grid = qobject_cast<QTableView *>(w))
            for (int c = 0; c < grid->model()->columnCount(); ++c)
                out << Shown{name + QStringLiteral(" header"), grid->model()->headerData(c, Qt::Horizontal).toString()};
        if (auto *menu = qobject_cast<QMenu *>(w)) {
            out << Shown{name, menu->title()};
            for (QAction *a : menu->actions())
                out << Shown{name + QStringLiteral(" item"), a->text()};
        }
    }
    return out;
}

// The Windows-1250 letters read as Latin-1: what a wrong code page shows.
bool looksLikeCodePage(const QString &text)
{
    static const QString wrong = QStringLiteral("\u00B9\u00E6\u00EA\u00B3\u00F1\u00BF\u009C\u009F");
    return std::any_of(text.begin(), text.end(), [](QChar c) { return wrong.contains(c); });
}

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

struct Program {
    explicit Program(const QByteArray &settings)
    {
        ini = dir.filePath(QStringLiteral("telvaro.ini"));
        accounts = dir.filePath(QStringLiteral("users.dat"));
        writeFile(ini, settings);
        accounts::Account admin;
        admin.name = QStringLiteral("tech");
        admin.password = QStringLiteral("tech123");
        admin.level = QStringLiteral("Administrator");
        admin.devices = admin.communication = admin.display = true;
        QFile(accounts).open(QIODevice::WriteOnly);
        accounts::addOrChange(accounts, admin, QDate(2026, 12, 7));
        startup = std::make_unique<Startup>(ini, accounts);
    }
    void logIn()
    {
        startup->show();
        startup->login().userNameEdit->setText(QStringLiteral("tech"));
        startup->login().passwordEdit->setText(QStringLiteral("tech123"));
        QTest::mouseClick(startup->login().enterButton, Qt::LeftButton);
    }
    MainWindow &window() { return startup->mainWindow(); }

    QTemporaryDir dir;
    QString ini, accounts;
    std::unique_ptr<Startup> startup;
};

// The LanguageChange events are posted, and each layout level that grows
// posts a request to the next one up.
void settle()
{
    for (int round = 0; round < 20; ++round)
        QCoreApplication::processEvents();
}

QAction *languageItem(MainWindow &w, Language language)
{
    return language == Language::Italian  ? w.italianAction
           : language == Language::Polish ? w.polishAction
                                          : w.englishAction;
}

// Every column title of the window's tables shows whole, and the accounts
// grid shows all its columns without scrolling.
QString cutColumn(QWidget *window)
{
    for (QTableView *table : window->findChildren<QTableView *>()) {
        const QHeaderView *header = table->horizontalHeader();
        if (!table->isVisible() || header->isHidden())
            continue;
        for (int c = 0; c < header->count(); ++c)
            if (!header->isSectionHidden(c) && header->sectionSize(c) < header->sectionSizeHint(c))
                return table->objectName() + QStringLiteral(" column ") + QString::number(c);
        if (table->objectName() == QLatin1String("Grid_users") && header->length() > table->viewport()->width())
            return table->objectName() + QStringLiteral(" scrolls");
    }
    return {};
}

// Rows of the device grid wholly in view, and whole lines the log shows.
int wholeRows(const QTableView *grid)
{
    int rows = 0;
    for (int row = 0; row < grid->model()->rowCount(); ++row)
        rows += grid->viewport()->rect().contains(grid->visualRect(grid->model()->index(row, 0)));
    return rows;
}
int logRoom(MainWindow &w)
{
    const QPlainTextEdit *log = w.logView;
    const int margins = 2 * int(log->document()->documentMargin());
    return (log->viewport()->height() - margins) / QFontMetrics(log->font()).lineSpacing();
}

} // namespace

class TstLanguages : public QObject {
    Q_OBJECT
private slots:
    void walk_data();
    void walk();
    void cataloguesMatchTheCode();
    void noEnglishLeftInTranslations();
    void deviceTableRoomAt1024x700();
    void messagesChosenWhenShown_data();
    void messagesChosenWhenShown();
    void runningCaptionsSurviveASwitch();
    void keptOverARestart();
};

void TstLanguages::walk_data()
{
    QTest::addColumn<Language>("language");
    QTest::addColumn<int>("encoding");
    QTest::newRow("Italian") << Language::Italian << 0;
    QTest::newRow("Italian, Unicode letters") << Language::Italian << 1;
    QTest::newRow("Polish") << Language::Polish << 0;
    QTest::newRow("Polish, Unicode letters") << Language::Polish << 1;
}

// Every text of every window, switched through the menu and back to English.
void TstLanguages::walk()
{
    QFETCH(Language, language);
    QFETCH(int, encoding);
    Program p("[Misc]\nLanguage=1\nEncoding=" + QByteArray::number(encoding)
              + "\n[Titles]\nCount=2\nTitle1=Energia casa\n");
    p.logIn();
    MainWindow &w = p.window();
    QVERIFY(w.isVisible());
    w.deviceTable().appendRow({"12345678", "7", "ZRI", "12.5"});
    for (int meter = 1; meter < 14; ++meter)
        w.deviceTable().appendRow({QString::number(20000000 + meter).toStdString(), std::to_string(meter)});
    const auto cellsOf = [&w] {
        QStringList cells;
        const QAbstractItemModel *grid = w.devices->deviceGrid->model();
        for (int c = 0; c < grid->columnCount(); ++c)
            cells << grid->index(0, c).data().toString();
        return cells;
    };
    const QStringList cellsBefore = cellsOf();
    w.settingsAction->trigger();
    w.usersAction->trigger();
    w.aboutAction->trigger();
    w.fullReport()->show();
    w.historyWindow()->showMeter(QStringLiteral("12345678"), {});
    const QList<QWidget *> windows{
        &w, w.settingsDialog(), w.usersWindow(), w.aboutBox(), w.fullReport(), &p.startup->login(), w.historyWindow()};
    w.resize(1024, 700); // the smallest screen the windows are made for

    const Catalogue english(kTranslations + (language == Language::Italian ? "telvaro_it.ts" : "telvaro_pl.ts"));
    for (Language step : {language, Language::English}) {
        languageItem(w, step)->trigger();
        settle();
        QCOMPARE(w.language(), step);
        QCOMPARE(w.englishAction->isChecked() + w.italianAction->isChecked() + w.polishAction->isChecked(), 1);
        for (QWidget *window : windows) {
            // Each page of a window in turn, so that its widgets have their real size.
            const QList<QTabWidget *> tabs = window->findChildren<QTabWidget *>();
            const int pages = tabs.isEmpty() ? 1 : tabs.first()->count();
            for (int page = 0; page < pages; ++page) {
                for (QTabWidget *tab : tabs)
                    tab->setCurrentIndex(std::min(page, tab->count() - 1));
                settle();
                for (const Shown &s : textsOf(window)) {
                    const QString where = s.where + QStringLiteral(": \"") + s.text + u'"';
                    if (step != Language::English)
                        QVERIFY2(!english.leftInEnglish(s.text), qPrintable(where + " is still English"));
                    else
                        QVERIFY2(!english.translated.contains(s.text) || english.translations.contains(s.text),
                                 qPrintable(where + " stayed translated"));
                    QVERIFY2(!(step == Language::Polish && looksLikeCodePage(s.text)),
                             qPrintable(where + " has code-page letters"));
                    if (s.widget && s.widget->isVisible())
                        QVERIFY2(s.widget->width() >= s.widget->sizeHint().width(), qPrintable(where + " is clipped"));
                }
                const QString cut = cutColumn(window);
                QVERIFY2(cut.isEmpty(), qPrintable(cut + " is cut"));
            }
        }
        // Every window fits a 1024x700 screen with its frame and title bar.
        for (QWidget *window : windows)
            QVERIFY2(window->minimumSizeHint().width() <= 1024 - 16 && window->minimumSizeHint().height() <= 700 - 40,
                     qPrintable(window->objectName() + " needs more than 1024x700"));
        QCOMPARE(cellsOf(), cellsBefore); // a switch never moves cells
        // A walk over the meters, as read-all makes it: only the row it is at shows selected, in view.
        w.pages->setCurrentWidget(w.devices);
        for (int row : {0, 13, 5}) {
            w.session().showSelectedMeter(*w.deviceTable().selectionAt(row));
            const QString shown = selectionShownTruly(w.devices->deviceGrid);
            QVERIFY2(shown.isEmpty(), qPrintable(shown));
        }
        QVERIFY(w.devices->deviceGrid->model()->headerData(4, Qt::Horizontal).toString().startsWith("Unit")
                || step != Language::English);
        const QString lastTitle = w.devices->deviceGrid->model()
                                      ->headerData(w.devices->deviceGrid->model()->columnCount() - 2, Qt::Horizontal)
                                      .toString();
        QCOMPARE(lastTitle, QStringLiteral("Energia casa")); // user titles are the user's
    }
}

// No text waits for a translation, and the catalogues know every text in the code.
void TstLanguages::cataloguesMatchTheCode()
{
    QTemporaryDir dir;
    for (const QString &name : {QStringLiteral("telvaro_it.ts"), QStringLiteral("telvaro_pl.ts")}) {
        QCOMPARE(Catalogue(kTranslations + name).unfinished, 0);
        QVERIFY(QFile::copy(kTranslations + name, dir.filePath(name)));
        QProcess lupdate;
        lupdate.setWorkingDirectory(QStringLiteral(TELVARO_SOURCE_DIR));
        lupdate.start(QStringLiteral(LUPDATE_PATH),
                      {QStringLiteral("-no-obsolete"), QStringLiteral("-locations"), QStringLiteral("none"),
                       QStringLiteral("src/app"), QStringLiteral("src/ops"), QStringLiteral("src/display"),
                       QStringLiteral("src/link"), QStringLiteral("src/archive"), QStringLiteral("-ts"),
                       dir.filePath(name)});
        QVERIFY(lupdate.waitForFinished(60000));
        const QString output = QString::fromLocal8Bit(lupdate.readAllStandardOutput() + lupdate.readAllStandardError());
        QVERIFY2(output.contains(QStringLiteral("(0 new and")), qPrintable(output));
        QVERIFY2(!output.contains(QStringLiteral("obsolete")), qPrintable(output));
    }
}

// A translation equal to its source is English left over, unless the text
// is one that stays the same by design (and listed so).
void TstLanguages::noEnglishLeftInTranslations()
{
    QFile file(kTranslations + QStringLiteral("kept_as_source.txt"));
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    QSet<QString> kept, used;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts))
        if (!line.startsWith(u'#'))
            kept.insert(line.section(u'|', 0, 0) + u'|' + line.section(u'|', 1).simplified());
    for (const QString &language : {QStringLiteral("it"), QStringLiteral("pl")}) {
        for (const QString &entry : Catalogue(kTranslations + "telvaro_" + language + ".ts").sameAsSource) {
            QVERIFY2(kept.contains(entry), qPrintable(language + ": " + entry + " is still English"));
            used.insert(entry);
        }
    }
    for (const QString &entry : kept)
        QVERIFY2(used.contains(entry), qPrintable(entry + " is listed but translated everywhere"));
}

// On a 1024x700 screen a twelve-meter bus is seen whole, five lines of the
// log below it; a taller window gives its height to the table, and the log's
// height, once set by hand, comes back at the next start.
void TstLanguages::deviceTableRoomAt1024x700()
{
    Program p("");
    p.logIn();
    MainWindow &w = p.window();
    for (int meter = 0; meter < 14; ++meter)
        w.deviceTable().appendRow({QString::number(30000000 + meter).toStdString(), std::to_string(meter + 1)});
    for (int line = 0; line < 20; ++line)
        w.addLine(QStringLiteral("RX 68 1F 1F 68 08 01 72 ").repeated(line % 5 + 1));
    w.resize(1024, 700);
    QTableView *grid = w.devices->deviceGrid;
    for (Language language : {Language::Italian, Language::Polish, Language::English}) {
        languageItem(w, language)->trigger();
        settle();
        QVERIFY2(wholeRows(grid) >= 12 && logRoom(w) >= 5,
                 qPrintable(QStringLiteral("%1 rows, %2 log lines").arg(wholeRows(grid)).arg(logRoom(w))));
    }
    const int tableHeight = grid->height(), logHeight = w.logSplitter->sizes().at(1);
    w.resize(1024, 900);
    settle();
    QCOMPARE(w.logSplitter->sizes().at(1), logHeight);
    QCOMPARE(grid->height(), tableHeight + 200);

    w.logSplitter->setSizes({w.logSplitter->sizes().at(0) - 60, logHeight + 60});
    emit w.logSplitter->splitterMoved(0, 1); // as a drag of the divider says it
    w.close();
    p.startup = std::make_unique<Startup>(p.ini, p.accounts);
    p.logIn();
    p.window().resize(1024, 900);
    settle();
    QCOMPARE(p.window().logSplitter->sizes().at(1), logHeight + 60);
}

void TstLanguages::messagesChosenWhenShown_data()
{
    QTest::addColumn<Language>("language");
    QTest::addColumn<QStringList>("expected");
    const QString autoText = QStringLiteral("This will address automatically ALL devices (primary), OK?");
    QTest::newRow("English") << Language::English
                             << QStringList{"Exit Confirmation|Are you sure you want to exit?",
                                            "Clear confirmation|Do you want to clear the table?",
                                            "Address confirmation|" + autoText,
                                            "Find",
                                            "Read all meters",
                                            "Auto address"};
    QTest::newRow("Italian") << Language::Italian
                             << QStringList{"Conferma uscita|Sei sicuro di voler uscire?",
                                            "Conferma cancellazione|Vuoi cancellare la tabella?",
                                            "Conferma indirizzamento|Verranno assegnati automaticamente gli "
                                            "indirizzi primari a TUTTI i dispositivi. Procedere?",
                                            "Trova",
                                            "Leggi tutti",
                                            "Auto indirizzo"};
    QTest::newRow("Polish") << Language::Polish
                            << QStringList{QString::fromUtf8("Potwierdzenie opuszczenia programu|Czy jesteś pewien, że "
                                                             "chcesz opuścić program?"),
                                           QString::fromUtf8("Potwierdzenie czyszczenia|Czy chcesz wyczyścić tabelę?"),
                                           QString::fromUtf8("Potwierdzenie adresowania|Spowoduje to automatyczne "
                                                             "nadanie adresów pierwotnych WSZYSTKIM urządzeniom. "
                                                             "Kontynuować?"),
                                           QString::fromUtf8("Znajdź"),
                                           "Odczytaj wszystkie",
                                           "Auto adresowanie"};
}

void TstLanguages::messagesChosenWhenShown()
{
    QFETCH(Language, language);
    QFETCH(QStringList, expected);
    Program p("[Misc]\nLanguage=3\n"); // started in another language, switched before asking
    p.logIn();
    MainWindow &w = p.window();
    languageItem(w, language)->trigger();
    QCoreApplication::processEvents();
    QStringList asked;
    w.askYesNo = [&](const QString &caption, const QString &text) {
        asked << caption + u'|' + text;
        return false;
    };
    w.askYesNoCancel = [&](const QString &caption, const QString &text) {
        asked << caption + u'|' + text;
        return QMessageBox::Cancel;
    };
    w.exitAction->trigger();
    w.clearTableAsked();
    w.autoAddressOrStop();
    asked << w.devices->findPrimaryButton->text() << w.devices->readAllButton->text()
          << w.devices->autoAddressButton->text();
    QCOMPARE(asked, expected);
    QVERIFY(w.isVisible()); // every question was answered No or Cancel
}

// A scan runs: neither a switch nor a window activation brings back "Find".
void TstLanguages::runningCaptionsSurviveASwitch()
{
    SimProcess sim(SimProcess::demoBus());
    QVERIFY2(sim.isReady(), "mbus-sim did not start");
    Program p("[Mbus]\nSearchFrom=200\nSearchTo=250\nTimeout=300\n[Com port]\nName=" + sim.link().toLocal8Bit()
              + "\nSpeed=2400\nParity=Even\n");
    p.logIn();
    MainWindow &w = p.window();
    w.askYesNo = [](const QString &, const QString &) { return true; };
    w.askYesNoCancel = [](const QString &, const QString &) { return QMessageBox::No; };
    w.findOrStop();
    QVERIFY(w.scan().running());
    const std::pair<Language, QString> stops[] = {
        {Language::Polish, "Zatrzymaj"}, {Language::Italian, "Ferma"}, {Language::English, "Stop"}};
    for (const auto &[language, stop] : stops) {
        languageItem(w, language)->trigger();
        QCoreApplication::processEvents();
        QEvent activate(QEvent::WindowActivate);
        QCoreApplication::sendEvent(&w, &activate);
        QCOMPARE(w.devices->findPrimaryButton->text(), stop);
        QVERIFY(w.devices->findPrimaryButton->isEnabled());
        QVERIFY(!w.devices->readAllButton->isEnabled());
    }
    w.findOrStop();
    QTRY_VERIFY(!w.scan().running());
    QCOMPARE(w.devices->findPrimaryButton->text(), QStringLiteral("Find"));
}

// The language chosen is written at close and greets the next login.
void TstLanguages::keptOverARestart()
{
    Program p("");
    p.logIn();
    p.window().polishAction->trigger();
    p.window().close();
    p.startup = std::make_unique<Startup>(p.ini, p.accounts);
    QCOMPARE(p.startup->login().windowTitle(), QStringLiteral("Logowanie Telvaro"));
    QCOMPARE(p.startup->login().enterButton->text(), QStringLiteral("OK"));
    QVERIFY(p.window().polishAction->isChecked());
    QCOMPARE(p.window().fileMenu->title(), QStringLiteral("&Plik"));
    QList<Shown> texts = textsOf(&p.startup->login());
    QVERIFY(std::any_of(texts.begin(), texts.end(),
                        [](const Shown &s) { return s.text == QString::fromUtf8("Nazwa użytkownika:"); }));
}

QTEST_MAIN(TstLanguages)
#include "tst_languages.moc"
