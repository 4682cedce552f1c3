#pragma once

#include <QString>
#include <QVariant>

#include <memory>

// Pictures of phone models, asked for by the device database's
// identification string ("Dorvanti.Identification", such as maker and model
// joined by "+"). The answer is the path of an image file.
//
// The search through the phone plug-ins of the desktop platform's sync
// application has nothing to find on this system (its folders do not exist);
// it works on any folder laid out the same way:
//   <base>/Contents/Info.plist                     CFBundleShortVersionString
//   <plug-ins>/<name>.phoneplugin/Contents/Resources/MetaClasses.plist
class PhoneIconFromiSyncSearcher {
public:
    static constexpr const char* kBasePath = "/Applications/iSync.app";
    static constexpr const char* kInfoPlist = "/Contents/Info.plist";
    static constexpr const char* kInternalPlugins = "/Contents/PlugIns/ApplePhoneConduit.syncdevice/Contents/PlugIns";
    static constexpr const char* kSystemPlugins = "/Library/PhonePlugins";
    static constexpr const char* kUserPlugins = "~/Library/PhonePlugins";

    // A searcher with the default locations.
    static std::unique_ptr<PhoneIconFromiSyncSearcher> searcher();
    PhoneIconFromiSyncSearcher(QString basePath, QString systemPluginsPath, QString userPluginsPath);

    // The image resource of the program named after the identification
    // (":/phones/<identification>.<image type>"), or null.
    QString getPhoneIconForModel(const QString& identification);
    // First icon found in the folder's plug-ins, or null.
    QString searchIconInFolder(const QString& folder);
    QString searchIconInPlugin(const QString& pluginPath);
    // True when the text, or one text of a list, contains the identification searched.
    bool searchIdents(const QVariant& idents) const;
    // The sync application is 2.3 or later.
    bool versionOkay() const;

    void setSearchIdentification(const QString& identification);
    QString basePath() const { return _basePath; }
    QString infoPath() const { return _infoPath; }
    QString internalPluginsClassesPath() const { return _internalPluginsClassesPath; }
    QString systemPluginsClassesPath() const { return _systemPluginsClassesPath; }
    QString userPluginsClassesPath() const { return _userPluginsClassesPath; }

private:
    QString _basePath;
    QString _infoPath;
    QString _internalPluginsClassesPath;
    QString _systemPluginsClassesPath;
    QString _userPluginsClassesPath;
    QString _searchIdentification;
};

// Null for an empty identification (no searcher is made).
QString getPhoneIconForModel(const QString& identification);
