#include "syncengine/SyncEngineSettings.h"

#include "syncengine/SyncEngineLog.h"

#include "platform/Paths.h"
#include "platform/PropertyList.h"

#include <QDir>
#include <QFileInfo>

#include <optional>

namespace platform::syncengine {

QString settingsPath()
{
    return QDir(paths::applicationSupportDirectory()).filePath(QLatin1String(kSettingsFileName));
}

namespace {

// The stored settings; nothing when a file is there but cannot be read.
std::optional<QVariantMap> readStored()
{
    const QString path = settingsPath();
    if (!QFileInfo::exists(path))
        return QVariantMap();
    QString error;
    const QVariant settings = plist::readFile(path, &error);
    if (settings.typeId() != QMetaType::QVariantMap) {
        logLine(QStringLiteral("The sync settings at %1 could not be read (%2); the defaults apply")
                    .arg(path, error.isEmpty() ? QStringLiteral("not a dictionary") : error));
        return std::nullopt;
    }
    return settings.toMap();
}

} // namespace

QVariantMap readSettings()
{
    return readStored().value_or(QVariantMap());
}

bool writeSettings(const QVariantMap& settings)
{
    QDir().mkpath(QFileInfo(settingsPath()).path());
    QString error;
    if (plist::writeFile(settingsPath(), settings, &error))
        return true;
    logLine(QStringLiteral("The sync settings could not be written: %1").arg(error));
    return false;
}

bool ensureMassChangeGuardDefaults()
{
    std::optional<QVariantMap> settings = readStored();
    // A damaged file is left for the user to see; the defaults apply.
    if (!settings)
        return false;
    if (settings->contains(QLatin1String(kAirbagThreshold)))
        return true;
    settings->insert(QLatin1String(kAirbagThreshold), kDefaultAirbagThreshold);
    return writeSettings(*settings);
}

} // namespace platform::syncengine
