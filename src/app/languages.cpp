#include "languages.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <array>
#include <memory>

namespace languages {

namespace {

struct Installed {
    std::unique_ptr<QTranslator> ours;
    std::unique_ptr<QTranslator> qt;
    Language language = Language::English;
};

Installed &current()
{
    static Installed installed;
    return installed;
}

} // namespace

Language fromStored(int stored)
{
    switch (stored) {
    case 2:
        return Language::Italian;
    case 3:
        return Language::Polish;
    default:
        return Language::English;
    }
}

int toStored(Language language)
{
    switch (language) {
    case Language::Italian:
        return 2;
    case Language::Polish:
        return 3;
    case Language::English:
        break;
    }
    return 1;
}

void install(Language language)
{
    Installed &now = current();
    if (language == now.language)
        return; // nothing to change, and no needless LanguageChange
    if (now.ours)
        QCoreApplication::removeTranslator(now.ours.get());
    if (now.qt)
        QCoreApplication::removeTranslator(now.qt.get());
    now.ours.reset();
    now.qt.reset();
    now.language = language;
    if (language != Language::English) {
        const QString code = language == Language::Italian ? QStringLiteral("it") : QStringLiteral("pl");
        auto qt = std::make_unique<QTranslator>();
        if (qt->load(QStringLiteral("qtbase_") + code, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
            QCoreApplication::installTranslator(qt.get());
            now.qt = std::move(qt);
        }
        auto ours = std::make_unique<QTranslator>();
        if (ours->load(QStringLiteral(":/i18n/telvaro_") + code)) {
            QCoreApplication::installTranslator(ours.get());
            now.ours = std::move(ours);
        }
    }
}

std::vector<std::string> inEveryLanguage(const char *context, const char *source)
{
    static const auto catalogues = [] {
        std::array<std::unique_ptr<QTranslator>, 2> loaded;
        const char *codes[] = {"it", "pl"};
        for (std::size_t i = 0; i < loaded.size(); ++i) {
            loaded[i] = std::make_unique<QTranslator>();
            if (!loaded[i]->load(QStringLiteral(":/i18n/telvaro_") + QLatin1String(codes[i])))
                loaded[i].reset();
        }
        return loaded;
    }();
    std::vector<std::string> out{QCoreApplication::translate(context, source).toStdString(), source};
    for (const auto &catalogue : catalogues) {
        const QString text = catalogue ? catalogue->translate(context, source) : QString();
        if (!text.isEmpty())
            out.push_back(text.toStdString());
    }
    return out;
}

decode::csv::ColumnTitles columnTitles(const char *context, const std::vector<const char *> &sources)
{
    decode::csv::ColumnTitles titles;
    for (const char *source : sources)
        titles.push_back(inEveryLanguage(context, source));
    return titles;
}

QStringList currentTitles(const decode::csv::ColumnTitles &titles)
{
    QStringList out;
    for (const std::vector<std::string> &column : titles)
        out << (column.empty() ? QString() : QString::fromStdString(column.front()));
    return out;
}

} // namespace languages
