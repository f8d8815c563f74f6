#include "program_paths.h"

#include "safe_write.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace program_paths {

QString programDir()
{
    return QCoreApplication::applicationDirPath();
}

bool isInstalledDir(const QString &dir)
{
    return QDir::cleanPath(dir).startsWith(QLatin1String("/usr/"));
}

QString settingsFile()
{
    const QString name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName() + QStringLiteral(".ini");
    const QString beside = QDir(programDir()).filePath(name);
    const QFileInfo besideInfo(beside);
    if (!isInstalledDir(programDir())
        && (besideInfo.exists() ? besideInfo.isWritable() : QFileInfo(programDir()).isWritable()))
        return beside;
    const QString configDir = QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
                                  .filePath(QStringLiteral("Telvaro"));
    makePrivateFolder(configDir);
    const QString inConfig = QDir(configDir).filePath(name);
    // First run of an installed program: start from the shipped file, if any.
    if (!QFileInfo::exists(inConfig) && besideInfo.exists() && QFile::copy(beside, inConfig))
        QFile::setPermissions(inConfig, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return inConfig;
}

QString defaultDataDir()
{
    return (isInstalledDir(programDir()) ? QDir::homePath() : programDir()) + QLatin1Char('/');
}

} // namespace program_paths
