#pragma once

#include "links/FTPFile.h"
#include "phone/PhoneFolderRules.h"

#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <optional>

class MFDevice;
class MFDeviceInfo;
class QVAction;
class QVDeviceCallback;
struct CapabilityElement;

// Where on the phone the special folders are, how its volumes are named and
// which sound formats it plays. The facts come in layers in the settings:
// the model's row ("Dorvanti."), names found on the phone in its language
// ("Lang."), values from the phone's capability object ("Capab.") and the
// user's choices ("User."). Inside the program a path on a phone with
// top-level volumes is volume-neutral: "/[0]" the internal memory, "/[1]" the
// memory card. Main thread only.
class PhoneFolders : public PhoneFolderRules {
public:
    // The folder keys of the model's row.
    static constexpr const char* kSoundsFolder = "Dorvanti.SoundsFolder";
    static constexpr const char* kThemesFolder = "Dorvanti.ThemesFolder";
    static constexpr const char* kM3UMusicFolder = "Dorvanti.M3U_MusicFolder";
    static constexpr const char* kPlaylistsFolder = "Dorvanti.SoundPlaylistsFolder";
    static constexpr const char* kPicturesFolder = "Dorvanti.PicturesFolder";
    static constexpr const char* kVideosFolder = "Dorvanti.VideosFolder";
    static constexpr const char* kRingtonesFolder = "Dorvanti.RingtonesFolder";
    static constexpr const char* kCameraPhotos = "Dorvanti.CameraPhotos";
    static constexpr const char* kCameraVideos = "Dorvanti.CameraVideos";

    // Slices and passes of the bounded waits; a wait that runs out fails.
    static constexpr double kWaitSlice = 0.1;
    static constexpr int kRootDirWaitPasses = 600;
    static constexpr int kServiceWaitPasses = 50;
    static constexpr int kCapabilityWaitPasses = 300;

    // What this folder cannot make itself: the job that lists a phone
    // folder (its callback ends with the list of entries) and the media
    // formats of the device window ("AllowedAudioInputFormats" and the like:
    // suffixes separated by "/").
    using DirectoryListingMaker =
        std::function<std::shared_ptr<QVAction>(MFDevice&, const QString& path, std::shared_ptr<QVDeviceCallback>)>;
    using MediaFormats = std::function<QString(const QString& name)>;

    PhoneFolders(MFDevice& device, DirectoryListingMaker listing, MediaFormats mediaFormats);
    ~PhoneFolders() override;

    // PhoneFolderRules
    bool updateCapabilities() override;
    void checkIfMirrorMustBeRenamed() override;
    void preProcessDevice() override;

    // Folder resolution: key of the model's row, force the internal memory,
    // take a user's choice, answer the path on its volume (relative) or the
    // value as stored. A null string: no such folder.
    QString getSpecialFolderPath(const QString& key, bool forceInternal, bool allowUserSetting,
                                 bool relative = true) const;
    QString getSoundFolderPath(bool forceInternal, bool allowUserSetting = true) const;
    QString getThemesFolderPath(bool forceInternal, bool allowUserSetting = true) const;
    QString getM3UPlayListFolderPath(bool forceInternal, bool allowUserSetting = true) const;
    QString getPlayListFolderPath(bool forceInternal, bool allowUserSetting = true) const;
    QString getGraphicsFolderPath(bool forceInternal, bool allowUserSetting = true) const;
    QString getVideosFolderPath(bool forceInternal, bool allowUserSetting = true) const;
    QString getRingtonesFolderPath(bool forceInternal, bool allowUserSetting = true) const;
    QString getCameraPhotosFolderPath(bool forceInternal, bool allowUserSetting = true) const;
    QString getCameraVideosFolderPath(bool forceInternal, bool allowUserSetting = true) const;

    QString getUserFolderPath(const QString& key) const;
    void setUserFolderPath(const QString& key, const QString& path);
    QString getITunesFolderSyncPath();
    QStringList allMusicFolders() const;
    QStringList allSpecialFolders() const;

    // Paths between the phone's volume names and the volume-neutral form.
    QString externalRepresentation(const QString& path) const;
    QString internalRepresentation(const QString& path) const;
    QString internalUnlocalRepresentation(const QString& path) const;
    QString unlocalPathForInPath(const QString& path) const;
    bool isValidPath(const QString& path) const;

    void registerPath(const QString& databaseKey, const QString& langKey, const QString& phoneName);
    bool isSpecialFunctionFolder(const QString& path) const;
    bool isSpecialFunctionFolderWithTranslation(const QString& name) const;
    bool mayBeDeleted(const QString& path) const;
    static bool canDisplay(const QString& suffix);
    bool canPlay(const QString& suffix) const;

    // The phone's root listing, read once through a listing job; empty when
    // that read failed (tried again on the next call).
    FTPFileList getRootDir();
    bool doesExistInRoot(const QString& name);

    const QStringList& extensions() const { return _extensions; }
    bool supportsM3U() const { return _supportsM3U; }
    bool topLevelVolumes() const { return _topLevelVolumes; }
    const QString& topLevelVolumesType() const { return _topLevelVolumesType; }
    const QVariantMap& generalDeviceDict() const { return _generalDeviceDict; }
    const QMap<QString, QString>& translatedPaths() const { return _translatedPaths; }
    bool didProcessCapabilities() const { return _didProcessCapabilities; }

    // The capability object. Each answers 0 on success or the failure.
    int getAndProcessCapability(const QString& protocol);
    int getAndProcessCapabilityFromDragonFly();
    int processCapabilityData(int status, const QByteArray& data);
    // Untrusted text: malformed XML changes nothing.
    bool processCapability(const QByteArray& xml);
    void setupTranslationFromCapabilites();
    // The text after "Folder=" as a phone path; nullopt for anything that
    // could leave its folder (".." components, NUL) or is no folder value.
    static std::optional<QString> processDevicePath(const QString& value);

    // The phone's files mirror: "<model>-<serial>.dzmir" in the mirrors folder.
    QString mirrorArchivePath() const;

private:
    MFDeviceInfo& info() const;
    QString stringValue(const QString& key) const;
    QVariant value(const QString& key) const;
    QString toDrive(const QString& value, int drive, bool relative) const;
    int fetchCapability(const QString& service);
    void processGeneralDictionary(const CapabilityElement& general);
    void processFolderBrowsing(const CapabilityElement& service);
    void processSpecialFolderEntry(const QString& phoneFolder, const QString& deviceFolder, const QString& memoryType);
    void enterVolumeInfo(const QString& memoryType, const QString& location);
    void loadTranslatedPaths();
    void arrangeVolumes();

    MFDevice& _device;
    DirectoryListingMaker _listing;
    MediaFormats _mediaFormats;
    QStringList _extensions;
    bool _supportsM3U = false;
    bool _topLevelVolumes = false;
    QString _topLevelVolumesType;
    QString _prefixBT;
    QString _prefixBT_MC;
    QMap<QString, QString> _translatedPaths;
    QSet<QString> _definedCapabFolders;
    bool _didProcessCapabilities = false;
    std::optional<FTPFileList> _initialRootDir;
    bool _readingRootDir = false;
    bool _fetchingCapabilities = false;
    QString _iTunesPath;
    QVariantMap _generalDeviceDict;
};
