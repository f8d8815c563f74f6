#include "languages.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

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

} // namespace languages
