#include "device/PhoneIconFromiSyncSearcher.h"

#include "foundation/QuorNSStringPathExtensions.h"
#include "platform/Paths.h"
#include "platform/PropertyList.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QVariantList>
#include <QVariantMap>

#include <algorithm>

namespace {

constexpr const char* kPhonePluginSuffix = ".phoneplugin";
constexpr const char* kSkippedPlugins[] = { "BaseSync.phoneplugin", "PhoneFamilySync.phoneplugin" };
constexpr const char* kResourcesFolder = "Contents/Resources";
constexpr const char* kMetaClassesFile = "MetaClasses.plist";
constexpr const char* kClassPrefix = "com.";
constexpr const char* kIdentificationKey = "Identification";
constexpr const char* kModelIdentsKey = "com.apple.gmi+gmm";
constexpr const char* kCapsModelIdentsKey = "com.apple.cgmi+cgmm";
constexpr const char* kServicesKey = "Services";
constexpr const char* kServicePropertiesKey = "ServiceProperties";
constexpr const char* kModelIconKey = "ModelIcon";
constexpr const char* kShortVersionKey = "CFBundleShortVersionString";
constexpr const char* kPhoneImagesPrefix = ":/phones/";

QString key(const char* text)
{
    return QString::fromLatin1(text);
}

int digitValue(const QString& text, int index)
{
    if (index >= text.size())
        return 0;
    const int value = text.at(index).digitValue();
    return value < 0 ? 0 : value;
}

} // namespace

std::unique_ptr<PhoneIconFromiSyncSearcher> PhoneIconFromiSyncSearcher::searcher()
{
    return std::make_unique<PhoneIconFromiSyncSearcher>(key(kBasePath), key(kSystemPlugins),
                                                        platform::paths::expandTilde(key(kUserPlugins)));
}

PhoneIconFromiSyncSearcher::PhoneIconFromiSyncSearcher(QString basePath, QString systemPluginsPath, QString userPluginsPath)
    : _basePath(std::move(basePath))
    , _infoPath(_basePath + key(kInfoPlist))
    , _internalPluginsClassesPath(_basePath + key(kInternalPlugins))
    , _systemPluginsClassesPath(std::move(systemPluginsPath))
    , _userPluginsClassesPath(std::move(userPluginsPath))
{
}

QString PhoneIconFromiSyncSearcher::getPhoneIconForModel(const QString& identification)
{
    _searchIdentification = identification;
    if (identification.isEmpty() || identification.contains(QLatin1Char('/')))
        return QString();
    const QString base = key(kPhoneImagesPrefix) + identification;
    for (const QByteArray& format : QImageReader::supportedImageFormats()) {
        const QString path = base + QLatin1Char('.') + QString::fromLatin1(format);
        if (QFileInfo::exists(path))
            return path;
    }
    return QString();
}

QString PhoneIconFromiSyncSearcher::searchIconInFolder(const QString& folder)
{
    const QStringList items = QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& item : items) {
        if (!item.endsWith(key(kPhonePluginSuffix)))
            continue;
        if (std::any_of(std::begin(kSkippedPlugins), std::end(kSkippedPlugins),
                        [&item](const char* skipped) { return item == QLatin1String(skipped); }))
            continue;
        const QString found = searchIconInPlugin(stringByConcatenatingPathComponents(folder, item));
        if (!found.isEmpty())
            return found;
    }
    return QString();
}

QString PhoneIconFromiSyncSearcher::searchIconInPlugin(const QString& pluginPath)
{
    const QString resources = stringByConcatenatingPathComponents(pluginPath, key(kResourcesFolder));
    const QVariant metaClasses =
        platform::plist::readFile(stringByConcatenatingPathComponents(resources, key(kMetaClassesFile)));
    if (metaClasses.typeId() != QMetaType::QVariantMap)
        return QString();
    const QVariantMap classes = metaClasses.toMap();
    for (auto it = classes.cbegin(); it != classes.cend(); ++it) {
        if (!it.key().startsWith(key(kClassPrefix)))
            continue;
        const QVariantMap entry = it.value().toMap();
        const QVariantMap identification = entry.value(key(kIdentificationKey)).toMap();
        if (!searchIdents(identification.value(key(kModelIdentsKey)))
            && !searchIdents(identification.value(key(kCapsModelIdentsKey))))
            continue;
        for (const QVariant& serviceValue : entry.value(key(kServicesKey)).toList()) {
            const QVariantMap service = serviceValue.toMap();
            if (!service.contains(key(kServicePropertiesKey)))
                continue;
            const QVariantMap properties = service.value(key(kServicePropertiesKey)).toMap();
            const QString icon = properties.contains(key(kModelIconKey)) ? properties.value(key(kModelIconKey)).toString()
                                                                         : service.value(key(kModelIconKey)).toString();
            // An icon name never leads out of the plug-in's resources.
            if (icon.isEmpty() || icon.contains(QLatin1Char('/')))
                return QString();
            return stringByConcatenatingPathComponents(resources, icon);
        }
    }
    return QString();
}

bool PhoneIconFromiSyncSearcher::searchIdents(const QVariant& idents) const
{
    if (_searchIdentification.isEmpty())
        return false;
    if (idents.typeId() == QMetaType::QString)
        return idents.toString().contains(_searchIdentification);
    if (idents.typeId() == QMetaType::QVariantList || idents.typeId() == QMetaType::QStringList) {
        for (const QVariant& ident : idents.toList()) {
            if (ident.typeId() == QMetaType::QString && ident.toString().contains(_searchIdentification))
                return true;
        }
    }
    return false;
}

bool PhoneIconFromiSyncSearcher::versionOkay() const
{
    const QVariant info = platform::plist::readFile(_infoPath);
    const QString version = info.toMap().value(key(kShortVersionKey)).toString();
    if (version.isEmpty())
        return false;
    const int major = digitValue(version, 0);
    const int minor = digitValue(version, 2);
    return major > 2 || (major == 2 && minor > 2);
}

void PhoneIconFromiSyncSearcher::setSearchIdentification(const QString& identification)
{
    _searchIdentification = identification;
}

QString getPhoneIconForModel(const QString& identification)
{
    if (identification.isEmpty())
        return QString();
    return PhoneIconFromiSyncSearcher::searcher()->getPhoneIconForModel(identification);
}
