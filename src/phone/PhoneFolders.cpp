#include "phone/PhoneFolders.h"

#include "device/MFDeviceInfo.h"
#include "foundation/NamedLog.h"
#include "foundation/QuorNSStringPathExtensions.h"
#include "jobs/QVAction.h"
#include "links/FileTransferConnection.h"
#include "links/PhoneCapabilitySource.h"
#include "links/QVDeviceCallback.h"
#include "phone/BackupRules.h"
#include "phone/MFDevice.h"
#include "platform/Paths.h"
#include "platform/RunLoop.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>
#include <algorithm>

// One element of the capability object: its name, its own text and its
// child elements, read whole before anything of it is used.
struct CapabilityElement {
    QString name;
    QString text;
    QList<CapabilityElement> children;

    const CapabilityElement* child(const QString& childName) const
    {
        for (const CapabilityElement& element : children) {
            if (element.name == childName)
                return &element;
        }
        return nullptr;
    }
    QString childText(const QString& childName) const
    {
        const CapabilityElement* element = child(childName);
        return element ? element->text : QString();
    }
    QStringList childTexts(const QString& childName) const
    {
        QStringList texts;
        for (const CapabilityElement& element : children) {
            if (element.name == childName)
                texts.append(element.text);
        }
        return texts;
    }
};

namespace {

const QString kDorvanti = QStringLiteral("Dorvanti.");
const QString kCapabPrefix = QStringLiteral("Capab.BT_PathPrefix");
const QString kCapabPrefixMC = QStringLiteral("Capab.BT_PathPrefix_MC");
const QString kPathArray = QStringLiteral("Lang.PathArray");

void logXT(const QString& message)
{
    QVLOG(qvlog::kXT, message);
}

bool equalNoCase(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The sound formats of the model's row and the suffix each stands for.
const QMap<QString, QString>& soundFormatSuffixes()
{
    static const QMap<QString, QString> map{
        {"MP3", "MP3"}, {"AAC", "M4A"},     {"WAV", "WAV"},       {"WMA", "WMA"}, {"DCF", "DCF"},
        {"MP4", "MP4"}, {"OGG", "OGG"},     {"3G2", "3g2"},       {"3GP", "3GP"}, {"AAC-DRM", "M4P"},
        {"MP4-VIDEO", "M4V"}, {"M4V", "M4V"}, {"PODCAST", "M4B"}, {"AMR-NB", "AMR"},
    };
    return map;
}

// A capability object is a few levels deep; a deeper one would make the
// element tree's search and teardown recurse without bound.
constexpr qsizetype kMaxCapabilityDepth = 32;

std::optional<CapabilityElement> parseCapabilityXML(const QByteArray& xml, QString* error)
{
    QXmlStreamReader reader(xml);
    QList<CapabilityElement> stack;
    std::optional<CapabilityElement> root;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            if (stack.size() >= kMaxCapabilityDepth) {
                *error = QStringLiteral("elements nested deeper than %1").arg(kMaxCapabilityDepth);
                return std::nullopt;
            }
            stack.append(CapabilityElement{reader.name().toString(), QString(), {}});
            break;
        case QXmlStreamReader::Characters:
            if (!stack.isEmpty())
                stack.last().text += reader.text();
            break;
        case QXmlStreamReader::EndElement: {
            CapabilityElement done = stack.takeLast();
            done.text = done.text.trimmed();
            if (stack.isEmpty())
                root = std::move(done);
            else
                stack.last().children.append(std::move(done));
            break;
        }
        default:
            break;
        }
    }
    if (reader.hasError() || !root) {
        *error = reader.hasError() ? reader.errorString() : QStringLiteral("no element");
        return std::nullopt;
    }
    return root;
}

const CapabilityElement* findElement(const CapabilityElement& element, const QString& name)
{
    if (element.name == name)
        return &element;
    for (const CapabilityElement& child : element.children) {
        if (const CapabilityElement* found = findElement(child, name))
            return found;
    }
    return nullptr;
}

// A phone location: "\" become "/", a leading "/" is supplied and then a
// closing separator goes.
QString phonePath(QString path)
{
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!path.startsWith(QLatin1Char('/'))) {
        path.prepend(QLatin1Char('/'));
        if (path.size() > 1 && path.endsWith(QLatin1Char('/')))
            path.chop(1);
    }
    return path;
}

bool isSafePhonePath(const QString& path)
{
    if (path.contains(QChar(0)))
        return false;
    const QStringList parts = path.split(QLatin1Char('/'));
    return std::none_of(parts.begin(), parts.end(), [](const QString& part) { return part == QLatin1String(".."); });
}

// A folder that resolved to nothing (null or empty) is left out.
void addIfAvailable(QStringList& list, const QString& path)
{
    if (!path.isEmpty())
        list.append(path);
}

} // namespace

PhoneFolders::PhoneFolders(MFDevice& device, DirectoryListingMaker listing, MediaFormats mediaFormats)
    : _device(device)
    , _listing(std::move(listing))
    , _mediaFormats(std::move(mediaFormats))
{
}

PhoneFolders::~PhoneFolders() = default;

MFDeviceInfo& PhoneFolders::info() const
{
    return *_device.devInfo();
}

QVariant PhoneFolders::value(const QString& key) const
{
    return info().objectForKey(key);
}

QString PhoneFolders::stringValue(const QString& key) const
{
    const QVariant stored = value(key);
    return stored.isValid() ? stored.toString() : QString();
}

QString PhoneFolders::toDrive(const QString& path, int drive, bool relative) const
{
    FileTransferConnection* ftp = _device.ftpConnection();
    return relative && ftp ? ftp->pathToFileOnDisk(path, drive) : path;
}

QString PhoneFolders::getSpecialFolderPath(const QString& key, bool forceInternal, bool allowUserSetting,
                                           bool relative) const
{
    const QString name = key.startsWith(kDorvanti) ? key.mid(kDorvanti.size()) : key;
    FileTransferConnection* ftp = _device.ftpConnection();
    const bool bluetooth = ftp && ftp->isBluetooth();
    const bool memoryCard = _device.hasMemoryCard();
    const bool card = info().translateMMC() && memoryCard && !forceInternal && !_device.isHistory();
    const bool internalOnly = bluetooth && (forceInternal || !memoryCard);

    if (allowUserSetting) {
        const QVariant user = value(QStringLiteral("User.") + name);
        if (user.isValid())
            return externalRepresentation(user.toString());
    }
    if (internalOnly) {
        const QVariant capab = value(QStringLiteral("Capab.") + name);
        if (capab.isValid())
            return capab.toString();
    }
    if (card) {
        const QVariant capab = value(QStringLiteral("Capab.%1_MC").arg(name));
        if (capab.isValid())
            return capab.toString();
    }
    if (internalOnly) {
        const QString lang = stringValue(QStringLiteral("Lang.") + name);
        if (!lang.isEmpty())
            return lang;
        const QString row = stringValue(key);
        return row.isEmpty() ? QString() : toDrive(row, 0, relative);
    }
    if (card) {
        const QVariant langMC = value(QStringLiteral("Lang.%1_MC").arg(name));
        if (langMC.isValid()) {
            const QString lang = langMC.toString();
            return lang.isEmpty() ? toDrive(stringValue(key), 1, relative) : lang;
        }
        QVariant fallback = value(QStringLiteral("Capab.") + name);
        if (!fallback.isValid())
            fallback = value(QStringLiteral("Lang.") + name);
        return fallback.isValid() ? toDrive(fallback.toString(), 1, relative) : QString();
    }
    bool onCard;
    if (forceInternal)
        onCard = !_device.hasInternalMemory();
    else
        onCard = memoryCard;
    // Nothing stored: the empty string, which callers take as no folder
    // (converted it would name the volume itself).
    const QString stored = stringValue(onCard ? key + QStringLiteral("_MC") : key);
    return stored.isEmpty() ? QStringLiteral("") : toDrive(stored, onCard ? 1 : 0, relative);
}

QString PhoneFolders::getSoundFolderPath(bool forceInternal, bool allowUserSetting) const
{
    return getSpecialFolderPath(QLatin1String(kSoundsFolder), forceInternal, allowUserSetting);
}

QString PhoneFolders::getThemesFolderPath(bool forceInternal, bool allowUserSetting) const
{
    return getSpecialFolderPath(QLatin1String(kThemesFolder), forceInternal, allowUserSetting);
}

QString PhoneFolders::getM3UPlayListFolderPath(bool forceInternal, bool allowUserSetting) const
{
    return getSpecialFolderPath(QLatin1String(kM3UMusicFolder), forceInternal, allowUserSetting, false);
}

QString PhoneFolders::getPlayListFolderPath(bool forceInternal, bool allowUserSetting) const
{
    return getSpecialFolderPath(QLatin1String(kPlaylistsFolder), forceInternal, allowUserSetting);
}

QString PhoneFolders::getGraphicsFolderPath(bool forceInternal, bool allowUserSetting) const
{
    return getSpecialFolderPath(QLatin1String(kPicturesFolder), forceInternal, allowUserSetting);
}

QString PhoneFolders::getVideosFolderPath(bool forceInternal, bool allowUserSetting) const
{
    return getSpecialFolderPath(QLatin1String(kVideosFolder), forceInternal, allowUserSetting);
}

QString PhoneFolders::getRingtonesFolderPath(bool forceInternal, bool allowUserSetting) const
{
    return getSpecialFolderPath(QLatin1String(kRingtonesFolder), forceInternal, allowUserSetting);
}

QString PhoneFolders::getCameraPhotosFolderPath(bool forceInternal, bool allowUserSetting) const
{
    return getSpecialFolderPath(QLatin1String(kCameraPhotos), forceInternal, allowUserSetting);
}

QString PhoneFolders::getCameraVideosFolderPath(bool forceInternal, bool allowUserSetting) const
{
    return getSpecialFolderPath(QLatin1String(kCameraVideos), forceInternal, allowUserSetting);
}

QString PhoneFolders::getUserFolderPath(const QString& key) const
{
    const QVariant stored = value(key);
    return stored.isValid() ? externalRepresentation(stored.toString()) : QString();
}

void PhoneFolders::setUserFolderPath(const QString& key, const QString& path)
{
    if (path.isEmpty())
        info().removeObjectForKey(key);
    else
        info().setObject(internalRepresentation(path), key);
}

QString PhoneFolders::getITunesFolderSyncPath()
{
    if (_iTunesPath.isNull()) {
        const QString sounds = getSoundFolderPath(!_device.hasMemoryCard(), false);
        _iTunesPath = sounds.isEmpty() ? QStringLiteral("")
                                       : stringByConcatenatingPathComponents(sounds, QStringLiteral("iTunes Sync"));
    }
    return _iTunesPath;
}

QStringList PhoneFolders::allMusicFolders() const
{
    QStringList folders;
    if (_device.hasMemoryCard()) {
        addIfAvailable(folders, getSoundFolderPath(false, false));
        addIfAvailable(folders, getRingtonesFolderPath(false, false));
    }
    addIfAvailable(folders, getSoundFolderPath(true, false));
    addIfAvailable(folders, getRingtonesFolderPath(true, false));
    return folders;
}

QStringList PhoneFolders::allSpecialFolders() const
{
    QStringList folders = allMusicFolders();
    if (_device.hasMemoryCard()) {
        addIfAvailable(folders, getGraphicsFolderPath(false, false));
        addIfAvailable(folders, getVideosFolderPath(false, false));
    }
    addIfAvailable(folders, getGraphicsFolderPath(true, false));
    addIfAvailable(folders, getVideosFolderPath(true, false));
    return folders;
}

QString PhoneFolders::internalRepresentation(const QString& path) const
{
    FileTransferConnection* ftp = _device.ftpConnection();
    if (!_topLevelVolumes || !ftp || path.isNull())
        return path;
    const QString disk0 = ftp->diskName(0);
    const QString disk1 = ftp->diskName(1);
    if (!disk0.isEmpty() && equalNoCase(path, disk0))
        return QStringLiteral("/[0]");
    if (!disk1.isEmpty() && equalNoCase(path, disk1))
        return QStringLiteral("/[1]");
    if (!disk1.isEmpty()) {
        if (path.startsWith(disk1 + QLatin1Char('/')))
            return stringByConcatenatingPathComponents(QStringLiteral("/[1]/"), path.mid(disk1.size() + 1));
        if (disk0 == QLatin1String("/"))
            return stringByConcatenatingPathComponents(QStringLiteral("/[0]/"), path);
    }
    if (disk0 == QLatin1String("/"))
        return stringByConcatenatingPathComponents(QStringLiteral("/[0]"), path);
    if (!disk0.isEmpty() && path.startsWith(disk0 + QLatin1Char('/')))
        return stringByConcatenatingPathComponents(QStringLiteral("/[0]/"), path.mid(disk0.size() + 1));
    return path;
}

QString PhoneFolders::externalRepresentation(const QString& path) const
{
    FileTransferConnection* ftp = _device.ftpConnection();
    if (!_topLevelVolumes || !ftp || path.isNull())
        return path;
    for (int disk = 0; disk < 2; ++disk) {
        const QString volume = QStringLiteral("/[%1]").arg(disk);
        if (path.startsWith(volume + QLatin1Char('/')))
            return stringByConcatenatingPathComponents(ftp->diskName(disk), path.mid(volume.size()));
        if (path == volume)
            return ftp->diskName(disk);
    }
    return path;
}

QString PhoneFolders::unlocalPathForInPath(const QString& path) const
{
    FileTransferConnection* ftp = _device.ftpConnection();
    if (_translatedPaths.isEmpty() || !ftp || !ftp->isBluetooth())
        return path;
    if (!path.startsWith(QLatin1String("/[0]/")) && !(info().translateMMC() && path.startsWith(QLatin1String("/[1]/"))))
        return path;
    const QString head = path.left(4);
    const QString rest = path.mid(4);
    for (auto it = _translatedPaths.cbegin(); it != _translatedPaths.cend(); ++it) {
        const QString& translated = it.key();
        if (translated.isEmpty())
            continue;
        for (qsizetype at = rest.indexOf(translated); at >= 0; at = rest.indexOf(translated, at + 1)) {
            const qsizetype end = at + translated.size();
            if (end == rest.size() || rest.at(end) == QLatin1Char('/'))
                return head + it.value() + rest.mid(end);
        }
    }
    return path;
}

QString PhoneFolders::internalUnlocalRepresentation(const QString& path) const
{
    return unlocalPathForInPath(internalRepresentation(path));
}

bool PhoneFolders::isValidPath(const QString& path) const
{
    if (!_topLevelVolumes)
        return true;
    return !path.isNull() && path != QLatin1String("/");
}

void PhoneFolders::registerPath(const QString& databaseKey, const QString& langKey, const QString& phoneName)
{
    const QString databaseValue = stringValue(databaseKey);
    if (databaseValue.isEmpty())
        return;
    info().setObject(phoneName, langKey);
    _translatedPaths.insert(phoneName, databaseValue);
}

bool PhoneFolders::isSpecialFunctionFolder(const QString& path) const
{
    for (const char* key : {kThemesFolder, kRingtonesFolder, kCameraVideos, kCameraPhotos, kVideosFolder,
                            kPicturesFolder, kSoundsFolder}) {
        const QString folder = stringValue(QLatin1String(key));
        if (!folder.isNull() && equalNoCase(folder, path))
            return true;
    }
    return false;
}

bool PhoneFolders::isSpecialFunctionFolderWithTranslation(const QString& name) const
{
    const QVariant stored = value(kPathArray);
    if (!stored.isValid())
        return isSpecialFunctionFolder(name);
    const QVariantMap translations = stored.toMap();
    for (auto it = translations.cbegin(); it != translations.cend(); ++it) {
        if (equalNoCase(it.key(), name))
            return !equalNoCase(it.key(), _prefixBT_MC);
    }
    return false;
}

bool PhoneFolders::mayBeDeleted(const QString& path) const
{
    if (!_device.devInfo() || path.isEmpty())
        return false;
    const auto special = [this](bool forceInternal) {
        return QStringList{getSoundFolderPath(forceInternal, false),      getThemesFolderPath(forceInternal, false),
                           getPlayListFolderPath(forceInternal, false),   getGraphicsFolderPath(forceInternal, false),
                           getVideosFolderPath(forceInternal, false),     getRingtonesFolderPath(forceInternal, false),
                           getCameraPhotosFolderPath(forceInternal, false),
                           getCameraVideosFolderPath(forceInternal, false)};
    };
    QStringList folders = special(true);
    if (_device.hasMemoryCard())
        folders += special(false);
    return std::none_of(folders.cbegin(), folders.cend(),
                        [&](const QString& folder) { return !folder.isEmpty() && equalNoCase(folder, path); });
}

bool PhoneFolders::canDisplay(const QString& suffix)
{
    static const QStringList shown{"JPG", "TIF", "PNG", "GIF", "BMP", "3GP"};
    return shown.contains(suffix, Qt::CaseInsensitive);
}

bool PhoneFolders::canPlay(const QString& suffix) const
{
    return _extensions.contains(suffix, Qt::CaseInsensitive);
}

FTPFileList PhoneFolders::getRootDir()
{
    if (_initialRootDir)
        return *_initialRootDir;
    // A wait inside this wait would post a second listing; it answers empty.
    if (_readingRootDir || !_listing)
        return {};
    _readingRootDir = true;
    const auto callback = QVDeviceCallback::pollingObject();
    const std::shared_ptr<QVAction> action = _listing(_device, QStringLiteral("/"), callback);
    if (action && _device.addAction(action)) {
        if (!platform::runloop::waitUntil([&] { return !callback->isBusy(); }, kWaitSlice, kRootDirWaitPasses))
            logXT(QStringLiteral("[MFDevice getRootDir] no listing of the root after %1 s")
                      .arg(kWaitSlice * kRootDirWaitPasses));
        else if (callback->returnStatus() == 0)
            _initialRootDir = callback->resultObject().value<FTPFileList>();
    }
    _readingRootDir = false;
    return _initialRootDir.value_or(FTPFileList());
}

bool PhoneFolders::doesExistInRoot(const QString& name)
{
    const FTPFileList root = getRootDir();
    return std::any_of(root.cbegin(), root.cend(), [&](const std::shared_ptr<FTPFile>& entry) {
        return entry && equalNoCase(entry->fileName(), name);
    });
}

void PhoneFolders::preProcessDevice()
{
    MFDeviceInfo& settings = info();
    _extensions.clear();
    _supportsM3U = false;
    for (const QString& entry : settings.nonNilStringFromDeviceSpec(QStringLiteral("Dorvanti.SoundFormats"))
                                    .split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString format = entry.trimmed().toUpper();
        if (format == QLatin1String("M3U"))
            _supportsM3U = true;
        else if (soundFormatSuffixes().contains(format))
            _extensions.append(soundFormatSuffixes().value(format));
    }
    _prefixBT = settings.nonNilStringFromDeviceSpec(QStringLiteral("Dorvanti.BT_PathPrefix"));
    _prefixBT_MC = settings.nonNilStringFromDeviceSpec(QStringLiteral("Dorvanti.BT_PathPrefix_MC"));

    const QString volumes = settings.nonNilStringFromDeviceSpec(QStringLiteral("Dorvanti.TopLevelVolumes"));
    _topLevelVolumes = !volumes.isEmpty() && volumes != QLatin1String("0");
    if (!_topLevelVolumes)
        _topLevelVolumesType.clear();
    else if (volumes == QLatin1String("3"))
        _topLevelVolumesType = QStringLiteral("SamsungMixedMode");
    else if (volumes == QLatin1String("1"))
        _topLevelVolumesType = QStringLiteral("MMC_Rootfolder");
    else
        _topLevelVolumesType = volumes;

    BackupRules& backup = _device.backupRules();
    backup.loadBackupOrganizerMask();
    if (!_device.isHistory())
        backup.loadBackupExceptSuffixList();

    if (!_device.hasFTPServices())
        return;
    if (!_didProcessCapabilities) {
        const auto callback = QVDeviceCallback::pollingObject();
        if (_device.requestService(QLatin1String(MFDevice::kServiceFTP), callback) != MFDevice::kServiceUnavailable)
            platform::runloop::waitUntil([&] { return !callback->isBusy(); }, kWaitSlice, kCapabilityWaitPasses);
        if (!_device.isConnectionOpen(QLatin1String(MFDevice::kServiceFTP)))
            return;
    }
    FileTransferConnection* ftp = _device.ftpConnection();
    if (!ftp || ftp->areVolumesValid())
        return;
    arrangeVolumes();
}

void PhoneFolders::loadTranslatedPaths()
{
    if (!_translatedPaths.isEmpty())
        return;
    const QVariantMap stored = value(kPathArray).toMap();
    for (auto it = stored.cbegin(); it != stored.cend(); ++it)
        _translatedPaths.insert(it.key(), it.value().toString());
}

void PhoneFolders::arrangeVolumes()
{
    FileTransferConnection* ftp = _device.ftpConnection();
    MFDeviceInfo& settings = info();
    const auto firstOf = [this](std::initializer_list<QString> keys) {
        for (const QString& key : keys) {
            const QVariant stored = value(key);
            if (stored.isValid())
                return stored.toString();
        }
        return QString();
    };
    const bool bluetooth = ftp->isBluetooth();
    if (!bluetooth && !_device.isHistory() && ftp->isUSB()) {
        const bool translate = settings.translateMMC();
        if (translate)
            loadTranslatedPaths();
        const QString internal = translate ? firstOf({QStringLiteral("Lang.USB_RequiredPath_Int"),
                                                      QStringLiteral("Dorvanti.USB_RequiredPath_Int")})
                                           : stringValue(QStringLiteral("Dorvanti.USB_RequiredPath_Int"));
        const QString external = translate ? firstOf({QStringLiteral("Lang.USB_RequiredPath_Ext"),
                                                      QStringLiteral("Dorvanti.USB_RequiredPath_Ext")})
                                           : stringValue(QStringLiteral("Dorvanti.USB_RequiredPath_Ext"));
        ftp->arrangeVolumes(internal, external, getRootDir());
        return;
    }
    if (!bluetooth && !_device.isHistory())
        return;
    loadTranslatedPaths();
    QString internal;
    QString card;
    if (_topLevelVolumes)
        internal = firstOf({kCapabPrefix, QStringLiteral("Lang.BT_PathPrefix"), QStringLiteral("Dorvanti.BT_PathPrefix")});
    if (!_topLevelVolumes) {
    } else if (_topLevelVolumesType == QLatin1String("SamsungMixedMode")) {
        const FTPFileList root = getRootDir();
        const QString userCard = stringValue(QStringLiteral("User.BT_PathPrefix_MC"));
        if (!userCard.isEmpty()) {
            if (!root.isEmpty() && doesExistInRoot(lastPathComponent(userCard)))
                card = userCard;
        } else if (!root.isEmpty()) {
            const QString first = stringByConcatenatingPathComponents(
                QStringLiteral("/"), root.first() ? root.first()->fileName() : QString());
            if (!isSpecialFunctionFolder(first)) {
                card = first;
                setUserFolderPath(QStringLiteral("User.BT_PathPrefix_MC"), first);
            }
        }
    } else {
        card = firstOf({kCapabPrefixMC, QStringLiteral("Lang.BT_PathPrefix_MC"),
                        QStringLiteral("Dorvanti.BT_PathPrefix_MC")});
    }
    if (_topLevelVolumesType.startsWith(QLatin1String("Samsung")))
        ftp->findAndArrangeSamsungVolumes(internal, card, getRootDir());
    else
        ftp->arrangeVolumes(internal, card, getRootDir());
}

bool PhoneFolders::updateCapabilities()
{
    FileTransferConnection* ftp = _device.ftpConnection();
    const QString protocol = info().deviceProtocol();
    if (!ftp || !ftp->isBluetooth())
        return false;
    if (!protocol.startsWith(QLatin1String("nokia")) && !protocol.startsWith(QLatin1String("sony")))
        return false;
    return getAndProcessCapability(protocol) != 0;
}

int PhoneFolders::getAndProcessCapability(const QString& protocol)
{
    if (protocol == QLatin1String("samsungdragonfly"))
        return getAndProcessCapabilityFromDragonFly();
    if (protocol == QLatin1String("nokia") || protocol == QLatin1String("nokiaS80"))
        return fetchCapability(QLatin1String(MFDevice::kServicePCSuite));
    return fetchCapability(QLatin1String(MFDevice::kServiceFTP));
}

int PhoneFolders::getAndProcessCapabilityFromDragonFly()
{
    if (!_device.hasPushServices())
        return -301;
    return fetchCapability(QLatin1String(MFDevice::kServicePush));
}

int PhoneFolders::fetchCapability(const QString& service)
{
    constexpr int kNoService = -301;
    constexpr int kNotOpened = -302;
    constexpr int kTimedOut = -303;
    if (_fetchingCapabilities)
        return kTimedOut;
    _fetchingCapabilities = true;
    const auto wait = [](const std::shared_ptr<QVDeviceCallback>& callback, int passes) {
        return platform::runloop::waitUntil([&] { return !callback->isBusy(); }, kWaitSlice, passes);
    };
    const bool pcSuite = service == QLatin1String(MFDevice::kServicePCSuite);
    const bool push = service == QLatin1String(MFDevice::kServicePush);
    DZDeviceConnection* connection = pcSuite ? _device.nokiaPCSuitePushConnection()
                                     : push  ? _device.objectPushConnection()
                                             : static_cast<DZDeviceConnection*>(_device.ftpConnection());
    int status = 0;
    if (!connection) {
        status = kNoService;
    } else {
        if (pcSuite && _device.isConnectionOpen(QLatin1String(MFDevice::kServiceFTP))) {
            const auto closed = QVDeviceCallback::pollingObject();
            if (_device.requestConnectionClose(QLatin1String(MFDevice::kServiceFTP), closed) == 0)
                wait(closed, kServiceWaitPasses);
        }
        const auto opened = QVDeviceCallback::pollingObject();
        const int request = pcSuite ? _device.requestPushServicesPCSuite(opened)
                                    : _device.requestService(service, opened);
        if (request != MFDevice::kServiceUnavailable)
            wait(opened, kServiceWaitPasses);
        auto* source = dynamic_cast<PhoneCapabilitySource*>(connection);
        if (!connection->hasConnection()) {
            status = kNotOpened;
        } else if (!source) {
            status = kNoService;
        } else {
            const auto read = QVDeviceCallback::pollingObject();
            status = source->getCapabilities(read);
            if (status == 0) {
                if (!wait(read, kCapabilityWaitPasses)) {
                    logXT(QStringLiteral("getCapabilities: no answer after %1 s").arg(kWaitSlice * kCapabilityWaitPasses));
                    status = kTimedOut;
                } else {
                    status = processCapabilityData(read->returnStatus(), read->resultObject().toByteArray());
                }
            }
        }
        if (pcSuite && connection->hasConnection()) {
            const auto closed = QVDeviceCallback::pollingObject();
            if (connection->closeConnection(closed) == 0)
                wait(closed, kServiceWaitPasses);
        }
    }
    _fetchingCapabilities = false;
    return status;
}

int PhoneFolders::processCapabilityData(int status, const QByteArray& data)
{
    constexpr int kUnreadable = -304;
    if (status != 0) {
        logXT(QStringLiteral("processCapabilityData returned with status = %1").arg(status));
        return status;
    }
    logXT(QString::fromUtf8(data));
    return processCapability(data) ? 0 : kUnreadable;
}

bool PhoneFolders::processCapability(const QByteArray& xml)
{
    QString error;
    const std::optional<CapabilityElement> root = parseCapabilityXML(xml, &error);
    const CapabilityElement* capability = root ? findElement(*root, QStringLiteral("Capability")) : nullptr;
    if (!capability) {
        logXT(QStringLiteral("processCapability: unreadable capability object (%1), nothing taken")
                  .arg(root ? QStringLiteral("no Capability element") : error));
        return false;
    }
    _definedCapabFolders.clear();
    const QString protocol = info().deviceProtocol();
    for (const CapabilityElement& child : capability->children) {
        if (child.name == QLatin1String("General"))
            processGeneralDictionary(child);
        else if (child.name == QLatin1String("Service") && child.childText(QStringLiteral("Name")) == QLatin1String("Folder-Browsing")
                 && protocol != QLatin1String("nokiaS80"))
            processFolderBrowsing(child);
    }
    _didProcessCapabilities = true;
    setupTranslationFromCapabilites();
    return true;
}

void PhoneFolders::processGeneralDictionary(const CapabilityElement& general)
{
    _generalDeviceDict.clear();
    QVariantList memories;
    QSet<QString> seenTypes;
    for (const CapabilityElement& child : general.children) {
        if (child.name != QLatin1String("Memory")) {
            _generalDeviceDict.insert(child.name, child.text);
            continue;
        }
        QVariantMap memory;
        for (const char* field : {"MemType", "Free", "Location", "Used", "FileNLen"}) {
            if (const CapabilityElement* element = child.child(QLatin1String(field)))
                memory.insert(QLatin1String(field), element->text);
        }
        memories.append(memory);
        const QString type = memory.value(QStringLiteral("MemType")).toString();
        if (!seenTypes.contains(type)) {
            seenTypes.insert(type);
            enterVolumeInfo(type, memory.value(QStringLiteral("Location")).toString());
        }
    }
    _generalDeviceDict.insert(QStringLiteral("Memory"), memories);
    const QVariant language = _generalDeviceDict.value(QStringLiteral("Language"));
    if (language.isValid())
        info().setObject(language, QStringLiteral("Lang.NativeLanguage"));
}

void PhoneFolders::enterVolumeInfo(const QString& memoryType, const QString& location)
{
    if (location.isEmpty())
        return;
    const QString path = phonePath(location);
    if (!isSafePhonePath(path)) {
        logXT(QStringLiteral("enterVolumeInfo: location \"%1\" refused").arg(path));
        return;
    }
    const bool internal = memoryType == QLatin1String("DEV");
    info().setObject(path, internal ? kCapabPrefix : kCapabPrefixMC);
    FileTransferConnection* ftp = _device.ftpConnection();
    if (ftp && path != ftp->diskName(internal ? 0 : 1))
        ftp->arrangeVolumes(stringValue(kCapabPrefix), stringValue(kCapabPrefixMC), FTPFileList());
}

void PhoneFolders::processFolderBrowsing(const CapabilityElement& service)
{
    const bool nokiaS40 = info().deviceProtocol() == QLatin1String("nokiaS40");
    if (nokiaS40) {
        info().removeObjectForKey(kCapabPrefixMC);
        for (const CapabilityElement& ext : service.children) {
            if (ext.name != QLatin1String("Ext") || ext.childText(QStringLiteral("XNam")) != QLatin1String("MMC"))
                continue;
            if (const std::optional<QString> path = processDevicePath(ext.childText(QStringLiteral("XVal"))))
                info().setObject(*path, kCapabPrefixMC);
            else
                logXT(QStringLiteral("processFolderBrowsing: MMC value refused"));
        }
    }
    for (const CapabilityElement& ext : service.children) {
        if (ext.name != QLatin1String("Ext"))
            continue;
        const QString name = ext.childText(QStringLiteral("XNam"));
        const QStringList values = ext.childTexts(QStringLiteral("XVal"));
        if (name.isEmpty() || values.size() < 2)
            continue;
        processSpecialFolderEntry(name, values.at(0), values.at(1));
    }
}

void PhoneFolders::processSpecialFolderEntry(const QString& phoneFolder, const QString& deviceFolder,
                                             const QString& memoryType)
{
    static const QMap<QString, QString> keys{
        {"Themes", "Capab.ThemesFolder"},          {"Pictures", "Capab.PicturesFolder"},
        {"Graphics", "Capab.PicturesFolder"},      {"Ringtones", "Capab.RingtonesFolder"},
        {"Tones", "Capab.RingtonesFolder"},        {"Cam. Video Clips", "Capab.CameraVideos"},
        {"Sounds", "Capab.SoundsFolder"},          {"Music", "Capab.SoundsFolder"},
        {"Camera Album", "Capab.CameraPhotos"},    {"Images", "Capab.CameraPhotos"},
        {"Videos", "Capab.VideosFolder"},
    };
    QString key = keys.value(phoneFolder);
    if (key.isEmpty())
        return;
    const std::optional<QString> path = processDevicePath(deviceFolder);
    if (!path) {
        logXT(QStringLiteral("processSpecialFolderEntry: folder value of \"%1\" refused").arg(phoneFolder));
        return;
    }
    const bool internal = memoryType == QLatin1String("MemType=DEV");
    if (!internal)
        key += QStringLiteral("_MC");
    info().setObject(*path, key);
    _definedCapabFolders.insert(key);
    logXT(QStringLiteral("Set: %1 as database entry: %2").arg(*path, key));
    const QString cardPrefix = stringValue(kCapabPrefixMC);
    if (internal && !cardPrefix.isNull() && info().deviceProtocol() == QLatin1String("nokiaS40")) {
        const QString cardPath = cardPrefix + *path;
        info().setObject(cardPath, key + QStringLiteral("_MC"));
        logXT(QStringLiteral("Set: %1 as database entry (MMC): %2").arg(cardPath, key + QStringLiteral("_MC")));
    }
}

std::optional<QString> PhoneFolders::processDevicePath(const QString& value)
{
    const QLatin1String folder("Folder=");
    if (!value.startsWith(folder))
        return std::nullopt;
    const QString path = phonePath(value.mid(folder.size()));
    if (!isSafePhonePath(path))
        return std::nullopt;
    return path;
}

void PhoneFolders::setupTranslationFromCapabilites()
{
    MFDeviceInfo& settings = info();
    for (const char* key : {"Capab.CameraPhotos", "Capab.CameraVideos", "Capab.SoundPlaylistsFolder"}) {
        if (!_definedCapabFolders.contains(QLatin1String(key)))
            settings.removeObjectForKey(QLatin1String(key));
    }
    _translatedPaths.clear();
    for (const char* name : {"SoundsFolder", "PicturesFolder", "VideosFolder", "CameraPhotos", "CameraVideos",
                             "RingtonesFolder", "ThemesFolder"}) {
        const QString capab = stringValue(QStringLiteral("Capab.") + QLatin1String(name));
        if (!capab.isNull())
            registerPath(kDorvanti + QLatin1String(name), QStringLiteral("Lang.") + QLatin1String(name), capab);
    }
    QVariantMap pathArray;
    for (auto it = _translatedPaths.cbegin(); it != _translatedPaths.cend(); ++it)
        pathArray.insert(it.key(), it.value());
    settings.setObject(pathArray, kPathArray);

    const QString protocol = settings.deviceProtocol();
    QList<QPair<QString, QString>> pairs;
    const bool nokiaS40 = protocol == QLatin1String("nokiaS40");
    if (nokiaS40)
        pairs = {{"CameraPhotos", "PicturesFolder"}, {"CameraVideos", "VideosFolder"}, {"SoundPlaylistsFolder", "SoundsFolder"}};
    else if (protocol.startsWith(QLatin1String("sony")))
        pairs = {{"CameraVideos", "CameraPhotos"}, {"SoundPlaylistsFolder", "SoundsFolder"}};
    for (const auto& [key, partner] : std::as_const(pairs)) {
        if (_definedCapabFolders.contains(QStringLiteral("Capab.") + key))
            continue;
        const QString own = stringValue(kDorvanti + key);
        const QString other = stringValue(kDorvanti + partner);
        if (own.isEmpty() || other.isEmpty())
            continue;
        if (nokiaS40 && equalNoCase(own, other)) {
            const QString partnerCard = stringValue(QStringLiteral("Capab.%1_MC").arg(partner));
            if (!partnerCard.isEmpty())
                settings.setObject(partnerCard, QStringLiteral("Capab.%1_MC").arg(key));
        }
        if (stringValue(QStringLiteral("Capab.") + key).isEmpty()) {
            const QString partnerValue = stringValue(QStringLiteral("Capab.") + partner);
            if (!partnerValue.isEmpty())
                settings.setObject(partnerValue, QStringLiteral("Capab.") + key);
        }
    }
}

void PhoneFolders::checkIfMirrorMustBeRenamed()
{
    FileTransferConnection* ftp = _device.ftpConnection();
    if (!ftp || !ftp->isBluetooth() || !ftp->mustWriteSerialNumber())
        return;
    const QString target = mirrorArchivePath();
    const QString old = QDir(QFileInfo(target).path())
                            .filePath(QStringLiteral("%1-%2.dzmir").arg(info().deviceModel(), ftp->oldSerialNumber()));
    if (old != target && QFileInfo::exists(old) && !QFileInfo::exists(target))
        QDir().rename(old, target);
}

QString PhoneFolders::mirrorArchivePath() const
{
    const QString base = QDir(platform::paths::applicationSupportDirectory()).filePath(QStringLiteral("Mirrors"));
    const QString resolved = QFileInfo(base).canonicalFilePath();
    return QDir(resolved.isEmpty() ? base : resolved)
        .filePath(QStringLiteral("%1-%2.dzmir").arg(info().deviceModel(), info().serialNumber().toString()));
}
