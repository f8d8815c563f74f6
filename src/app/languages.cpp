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
    int language = 1;
};

Installed &current()
{
    static Installed installed;
    return installed;
}

} // namespace

int normalized(int stored)
{
    return stored == 2 || stored == 3 ? stored : 1;
}

void install(int language)
{
    language = normalized(language);
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
    if (language != 1) {
        const QString code = language == 2 ? QStringLiteral("it") : QStringLiteral("pl");
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

int installed()
{
    return current().language;
}

} // namespace languages
