#include "foundation/QuorvalisDebugging.h"

#include "foundation/FoundationLog.h"
#include "foundation/QuorNSDictionaryExtensions.h"
#include "platform/Bundle.h"
#include "platform/Paths.h"
#include "platform/PropertyList.h"
#include "platform/UserDefaults.h"
#include "platform/Values.h"

#include <QFileInfo>

#include <memory>
#include <mutex>

namespace {

const QString kSwitchesFile = QStringLiteral("~/Library/Application Support/QuorvalisDebugging.plist");
const QString kLogTargetIsMainKey = QStringLiteral("QV_LOG_TARGET_IS_MAIN");
const QString kFoundFormat = QStringLiteral("Found QuorvalisDebugging for <%1>");
const QString kRule = QString(61, QLatin1Char('='));

std::once_flag sharedOnce;
std::unique_ptr<QuorvalisDebugging> sharedInstance;

} // namespace

QuorvalisDebugging& QuorvalisDebugging::sharedQuorvalisDebugging()
{
    std::call_once(sharedOnce, [] { sharedInstance = std::make_unique<QuorvalisDebugging>(); });
    return *sharedInstance;
}

QuorvalisDebugging& QuorvalisDebugging::sharedQuorvalisDebuggingWithKey(const QString& key)
{
    std::call_once(sharedOnce, [&key] { sharedInstance.reset(new QuorvalisDebugging(WithKey{}, key)); });
    return *sharedInstance;
}

QuorvalisDebugging::QuorvalisDebugging(const QString& carryingBundleIdentifier)
{
    const bool targetIsMain = platform::UserDefaults::standard().boolValue(kLogTargetIsMainKey);
    const QString identifier = (targetIsMain || carryingBundleIdentifier.isEmpty())
        ? platform::bundle::mainBundleIdentifier()
        : carryingBundleIdentifier;
    takeEntry(identifier);
}

QuorvalisDebugging::QuorvalisDebugging(WithKey, const QString& key)
{
    takeEntry(key);
}

QuorvalisDebugging QuorvalisDebugging::initWithKey(const QString& key)
{
    return QuorvalisDebugging(WithKey{}, key);
}

void QuorvalisDebugging::takeEntry(const QString& key)
{
    if (key.isEmpty())
        return;
    const QString path = switchesFilePath();
    if (!QFileInfo::exists(path))
        return;
    const QVariant root = platform::plist::readFile(path);
    if (root.metaType().id() != QMetaType::QVariantMap)
        return;
    const QVariant entry = root.toMap().value(key);
    if (entry.metaType().id() != QMetaType::QVariantMap)
        return;
    _debugLevels = entry.toMap();
    qCInfo(lcFoundation).noquote() << kFoundFormat.arg(key);
    qCInfo(lcFoundation).noquote() << kRule + QLatin1Char('\n');
    qCInfo(lcFoundation).noquote() << formattedDescription(*_debugLevels);
    qCInfo(lcFoundation).noquote() << kRule;
}

QString QuorvalisDebugging::stringValueForDebugKey(const QString& key) const
{
    if (!_debugLevels)
        return {};
    const QVariant value = _debugLevels->value(key);
    if (!platform::values::isString(value))
        return {};
    return value.toString();
}

bool QuorvalisDebugging::debugKeyExists(const QString& key) const
{
    return _debugLevels && _debugLevels->contains(key);
}

bool QuorvalisDebugging::checkDebugKey(const QString& key) const
{
    if (!_debugLevels)
        return false;
    return platform::values::toBool(_debugLevels->value(key));
}

bool QuorvalisDebugging::isDebuggingON() const
{
    return _debugLevels.has_value();
}

QString QuorvalisDebugging::switchesFilePath()
{
    return platform::paths::mapHomePath(kSwitchesFile);
}

QString QuorvalisDebugging::homeMarkerPath(const QString& name)
{
    return platform::paths::mapHomePath(QStringLiteral("~/") + name);
}

bool QuorvalisDebugging::homeMarkerExists(const QString& name)
{
    if (name.isEmpty())
        return false;
    return QFileInfo::exists(homeMarkerPath(name));
}
