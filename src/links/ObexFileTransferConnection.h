#pragma once

#include "links/FileTransferConnection.h"
#include "links/FileTransferService.h"
#include "links/ObexATSwitchTransportLayer.h"
#include "links/ObexCommand.h"
#include "links/ObexHeaders.h"
#include "links/ObexSwitchSettings.h"
#include "links/PhoneCapabilitySource.h"

#include <QByteArray>
#include <QFile>
#include <QSaveFile>
#include <QString>
#include <deque>
#include <functional>
#include <memory>

class FTPFileOwner;
class MFDeviceLinkOwner;

// The phone's file system over OBEX file transfer ("FTP"): a Connect with
// the File Transfer target on an OBEX codec (a plain session on the
// phone's FTP or PC-suite channel, or the AT-switched tty of a USB modem),
// then the requests of the file jobs queued as ObexCommand objects and run
// one at a time. Phone paths are absolute ("/" the root); each command
// first walks to its folder by SetPath.
class ObexFileTransferConnection : public FileTransferConnection,
                                   public PhoneCapabilitySource,
                                   public FileTransferService {
public:
    static constexpr int kDuplicateName = -48;
    static constexpr uint32_t kCapability = fourCC("capa");
    static constexpr uint32_t kExists = fourCC("exst");
    static constexpr qsizetype kMaxListing = 16 * 1024 * 1024;
    static constexpr const char* kFolderListingType = "x-obex/folder-listing";
    static constexpr const char* kCapabilityType = "x-obex/capability";

    using TransportFactory = std::function<std::unique_ptr<ObexATSwitchTransportLayer>()>;

    // connType "Bluetooth" or "USB-Serial"; owner (may be null) is handed
    // to the listed entries.
    ObexFileTransferConnection(MFDevice* device, const MFDeviceInfo* devInfo, const QString& connType,
                               TransportFactory factory, FTPFileOwner* owner = nullptr, bool pcSuite = false);
    ~ObexFileTransferConnection() override;

    QString className() const { return QStringLiteral("ObexFileTransferConnection"); }
    QString getConnectionType() const override { return _connType; }
    bool isNokiaPCSuite() const override { return _pcSuite; }
    // OBEX file transfer, over Bluetooth or a USB modem: never a volume.
    bool servesMassStorage() const override { return false; }
    bool hasConnection() const override;
    bool isBusy() const override { return bool(_current) || !_queue.empty(); }
    const QString& currentPath() const { return _currentPath; }
    ObexATSwitchTransportLayer* obexSession() const { return _session.get(); }

    int openConnection(const std::shared_ptr<QVDeviceCallback>& callback) override;
    int closeConnection(const std::shared_ptr<QVDeviceCallback>& callback) override;
    // Ends the queued (not yet running) commands as cancelled.
    int killJobs(bool all, const std::shared_ptr<QVDeviceCallback>& callback) override;

    int getDirectoryContentsAtPath(const QString& path, const std::shared_ptr<QVDeviceCallback>& callback) override;
    int makeFolder(const QString& path, const std::shared_ptr<QVDeviceCallback>& callback) override;
    int deleteFile(const QString& path, const std::shared_ptr<QVDeviceCallback>& callback) override;
    int copyFromMobileToMac(const QString& phoneFile, const QString& macFolder, bool overwritingAllowed,
                            const std::shared_ptr<QVDeviceCallback>& callback) override;
    int copyFromMacToMobile(const QString& macFile, const QString& phoneFolder, bool overwritingAllowed,
                            const std::shared_ptr<QVDeviceCallback>& callback) override;
    int doesExist(const QString& path, const std::shared_ptr<QVDeviceCallback>& callback) override;
    int getCapabilities(const std::shared_ptr<QVDeviceCallback>& callback) override;

    // Volumes: disk 0 the internal path when the root lists it (else the
    // root itself), disk 1 the card path when the root lists it.
    QString diskName(int disk) const override;
    QString pathToFileOnDisk(const QString& path, int disk) const override;
    bool areVolumesValid() const override { return _volumesArranged && !_disks[0].isEmpty(); }
    void arrangeVolumes(const QString& internalPath, const QString& externalPath, const FTPFileList& root) override;
    void findAndArrangeSamsungVolumes(const QString& internalPath, const QString& externalPath,
                                      const FTPFileList& root) override;
    // No serial-number marker over OBEX.
    bool mustWriteSerialNumber() const override { return false; }
    QString oldSerialNumber() const override { return QString(); }
    bool preProcessSerialNumber(const QString&) override { return false; }

    // The folder walk of the folder-listing delegate.
    void setFTPDelegate(void* delegate) override { _ftpDelegate = static_cast<FileTransferServiceDelegate*>(delegate); }
    void* fileTransferService() const override
    {
        return static_cast<FileTransferService*>(const_cast<ObexFileTransferConnection*>(this));
    }
    void setCurrentPath(const QString& path) override;
    int changeCurrentFolderToRoot() override;
    int changeCurrentFolderForwardToPath(const QString& path) override;

    // A sound absolute phone path: "/" or "/" followed by sound names.
    static bool isSoundPhonePath(const QString& path);

private:
    using Continuation = std::function<void(const OBEXSessionEvent&)>;

    int enqueue(quint32 code, const std::shared_ptr<QVDeviceCallback>& callback, const QString& folder,
                const QVariant& param = {}, const QVariant& param2 = {});
    void runNext();
    void start();
    void endCommand(int status, const QVariant& result = {});
    void onEvent(const OBEXSessionEvent& event);
    OBEXSessionEventHandler handler();
    // Sends through the codec with then as the answer's continuation;
    // a send error ends the command.
    bool sent(int status);

    void doOpen();
    void doClose();
    void navigateTo(const QString& folder, std::function<void()> then);
    void navigateStep(QStringList steps, std::function<void()> then);
    void action();
    // A Get collected packet by packet: sink gets each answer's headers
    // and answers false to stop (the Get is aborted, ending cancelled);
    // done gets 0 or the status.
    void getObject(const QByteArray& headers, std::function<bool(const QList<obex::Header>&)> sink,
                   std::function<void(int status)> done);
    void listFolder(std::function<void(int status, const FTPFileList& entries)> done);
    void copyToMac();
    void copyToMobile();
    void putNextChunk(bool first);
    void abortThenEnd(int status);
    QByteArray connectionIDHeader() const;
    static QString parentOf(const QString& path);
    static QString nameOf(const QString& path);
    static QString joined(const QString& folder, const QString& name);

    QString _connType;
    TransportFactory _factory;
    FTPFileOwner* _owner = nullptr;
    bool _pcSuite = false;
    std::unique_ptr<ObexATSwitchTransportLayer> _session;
    bool _obexConnected = false;
    uint32_t _connectionID = 0;
    bool _hasConnectionID = false;
    QString _currentPath;   // empty: unknown

    std::deque<std::shared_ptr<ObexCommand>> _queue;
    std::shared_ptr<ObexCommand> _current;
    Continuation _next;
    // The transport's open or close step (the codec keeps no hold on it).
    std::shared_ptr<QVDeviceCallback> _transportStep;
    bool _nextTakesErrors = false;

    // The transfer of the command in flight.
    std::unique_ptr<QFile> _source;
    std::unique_ptr<QSaveFile> _target;
    QByteArray _collected;
    qint64 _total = -1;
    qint64 _done = 0;

    QString _disks[2];
    bool _volumesArranged = false;
    FileTransferServiceDelegate* _ftpDelegate = nullptr;
    std::shared_ptr<int> _alive = std::make_shared<int>(0);
};

namespace links {

// The file-transfer connection of a phone with OBEX files: over Bluetooth
// the plain session on the dictionary's "BT.DeviceChannel" (else the
// phone's FTP channel), over USB the AT-switched tty. Registered as "FTP"
// with the channel it opens. nullptr for a link without such a transport.
std::unique_ptr<ObexFileTransferConnection> makeObexFileTransferConnection(MFDeviceLinkOwner& owner,
                                                                           const ObexSwitchSettings& settings,
                                                                           const QVariantMap& connectionDict,
                                                                           FTPFileOwner* fileOwner);

} // namespace links
