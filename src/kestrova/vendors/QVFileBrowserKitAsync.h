#pragma once

#include "kestrova/core/QVSmsKitAsync.h"
#include "kestrova/vendors/fileBrowserKitAsync.h"
#include "platform/NotificationCenter.h"

#include <QString>
#include <memory>

class SLTCommDeviceLgFileBrowserExt;

// The file system of an LG phone over its application port: connect, list
// the root and any folder, copy a file from the phone and to it, delete a
// file or folder, make a folder, abort a transfer, disconnect. Configured
// like the SMS kit (link, then family); every family is served as an LG
// one. One request at a time; each ends with one final callback on a later
// pass of the event loop. While connected, a drop of this kit's own link
// ends the session with fileBrowserKitDisconnected -21855 (once). An "lg2"
// phone takes uploads in the larger "lg3" packets. The callback is not
// owned. Main thread only.
class QVFileBrowserKitAsync : public QVSmsKitAsync {
public:
    QVFileBrowserKitAsync();
    ~QVFileBrowserKitAsync() override;

    // Replaces the SMS callback, which stays unset.
    void setCallback(fileBrowserKitAsync* callback);

    void fileBrowserConnect();
    void getRootDirectory();
    void getDirectoryAtPath(const QString& path);
    // A download is written to a temporary file beside localPath and renamed
    // over it once complete.
    void fileBrowserCopyRemoteFile(const QString& remotePath, const QString& localPath);
    void fileBrowserCopyFile(const QString& localPath, const QString& remotePath);
    // type non-zero: a folder.
    void fileBrowserDeleteItem(const QString& path, int type);
    void fileBrowserMakeDir(const QString& path);
    void fileBrowserDisconnect();
    // While connected: the transfer stops after its current packet and
    // fileBrowserKitAbortComplete follows; otherwise the kit stops at once.
    void fileBrowserAbortAction();

    bool isBrowsing() const { return _browsing; }

protected:
    explicit QVFileBrowserKitAsync(std::unique_ptr<SLTCommDevice> engine);

private:
    using Stage = void (QVFileBrowserKitAsync::*)(const QVariantMap&, bool& done);
    SLTInvocationPtr fileStage(Stage method);
    SLTCommDeviceLgFileBrowserExt& files();
    void observeDisconnect();
    void stopObservingDisconnect();
    // Back from "lg3" after an "lg2" upload.
    void restoreFamily();

    void connectStage(const QVariantMap& answer, bool& done);
    void disconnectStage(const QVariantMap& answer, bool& done);
    void rootListingStage(const QVariantMap& answer, bool& done);
    void folderListingStage(const QVariantMap& answer, bool& done);
    void copyToMacStage(const QVariantMap& answer, bool& done);
    void copyFromMacStage(const QVariantMap& answer, bool& done);
    void deleteStage(const QVariantMap& answer, bool& done);
    void makeDirStage(const QVariantMap& answer, bool& done);
    void abortStage(const QVariantMap& answer, bool& done);

    fileBrowserKitAsync* _fileBrowserCallback = nullptr;
    fileBrowserKitAsync* _fileBrowserCallbackBackup = nullptr;
    // The phone path of the transfer in progress.
    QString _currentEntryString;
    // The local destination of a download.
    QString _localPath;
    bool _browsing = false;
    bool _familySwitched = false;
    platform::NotificationCenter::Token _disconnectObserver = 0;
};
