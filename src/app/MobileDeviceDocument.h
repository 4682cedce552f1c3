#pragma once

#include "phone/DeviceDocument.h"

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class DeviceWindowController;
class DeviceWindowHost;
class DZDocumentController;
class FilesMirror;
class MFDevice;
class SynchronizationFeedbackConsumer;

// What a phone document asks of its phone's organizer archive.
class DocumentArchive {
public:
    virtual ~DocumentArchive() = default;
    // The archive as the phone's data manager knows it.
    virtual OrganizerArchive* organizerArchive() { return nullptr; }
    // Whether unsent changes wait; canDiscard tells whether they may be
    // thrown away.
    virtual bool isSomethingDirty(bool* canDiscard) const = 0;
    // The localization key of what is dirty.
    virtual QString whatIsDirty() const = 0;
    // Whether organizer property 0 to 4 has unsent changes.
    virtual bool isStorageDirty(int property) const = 0;
    // Stores pending changes before the archive goes.
    virtual void checkForArchiveChanges() = 0;
    virtual QString pathNameForSyncAnchors() const = 0;
    virtual unsigned unreadSMSCount() const { return 0; }
};

// What a phone document asks of its phone's files mirror.
class DocumentMirror {
public:
    virtual ~DocumentMirror() = default;
    virtual FilesMirror* filesMirror() { return nullptr; }
    virtual std::optional<QString> getMirroredFile(const QString& path, int* error) = 0;
    virtual std::optional<QString> getMirrorPath(const QString& path) = 0;
    virtual std::optional<QVariantMap> getFinderInfoDictForPath(const QString& fullPath) = 0;
    virtual void registerDirectoryOnDevice(const QString& fullPath) = 0;
    virtual bool setFinderInfoDictForPath(const QVariantMap& info, const QString& fullPath) = 0;
};

// One open phone, live or an archive image: owns the phone, its files mirror
// and its organizer archive, makes the phone's window ("BrowserWindow") and
// decides whether that window may close (unsent organizer changes and
// unfinished backups make it ask or wait). A phone document is never saved.
class MobileDeviceDocument : public QObject, public DeviceDocument {
    Q_OBJECT

public:
    static constexpr const char* kNoPhoneName = "Dorvanti";
    static constexpr const char* kNoPhoneDisplayName = "No phone";
    static constexpr const char* kBrowserWindow = "BrowserWindow";
    static constexpr const char* kMirrorDeviceDict = "MirrorDeviceDict";
    static constexpr const char* kHistoryState = "MobileFinder ToolbarIdentifier";
    static constexpr const char* kSaveOrganizerData = "SaveOrganizerData";
    static constexpr const char* kSendChanges = "Send changes";
    static constexpr const char* kDiscardChanges = "Discard changes";
    static constexpr const char* kLater = "Later";
    static constexpr const char* kCancel = "Cancel";
    // Organizer properties 0 to 4 can be sent to the phone.
    static constexpr int kSendableProperties = 5;

    // The makers of the mirror and the archive; an empty maker leaves the
    // document without one. A maker that answers null refuses the phone.
    struct Makers {
        std::function<std::unique_ptr<DocumentMirror>(MFDevice&, DeviceWindowController*)> mirror;
        std::function<std::unique_ptr<DocumentArchive>(MFDevice&)> archive;
        // Queues the data manager's send of one organizer property's changes
        // and hands its feedback to the window's job queue.
        std::function<void(MFDevice&, DeviceWindowController*, int property)> sendChanges;
    };
    static void setMakers(Makers makers);

    // host: what the document's windows ask of the application.
    explicit MobileDeviceDocument(DeviceWindowHost* host = nullptr, DZDocumentController* owner = nullptr);
    ~MobileDeviceDocument() override;

    // The phone: taken once; false (and nothing kept) when its mirror or
    // archive cannot be made.
    bool setMFDevice(std::shared_ptr<MFDevice> device, DeviceWindowController* preferedWindow);
    const std::shared_ptr<MFDevice>& mfDevice() const { return device_; }
    bool hasDevice() const { return device_ != nullptr; }
    DocumentMirror* mirror() const { return mirror_.get(); }
    DocumentArchive* archive() const { return archive_.get(); }

    // Windows.
    void makeWindowControllers();
    void addWindowController(std::unique_ptr<DeviceWindowController> controller);
    DeviceWindowController* getDeviceWindowController() const;
    const std::vector<std::unique_ptr<DeviceWindowController>>& windowControllers() const { return windows_; }
    void showWindows() {}
    // Brings the phone's window to the front (activate: also makes it key).
    void showWindow(bool activate);

    // Archive folders.
    bool readFromURL(const QString& path, QString* error);
    QString documentPath() const { return openWithPath_; }
    QByteArray dataRepresentationOfType(const QString&) const { return {}; }
    bool loadDataRepresentation(const QByteArray&, const QString&) { return true; }

    // The phone's name; "Dorvanti" without a phone (shown as "No phone").
    QString getDeviceName() const;
    QString displayName() const;

    // Closing.
    bool isDocumentEdited() const;
    // Answers through shouldClose (true: close); may leave it unanswered
    // while the close sheet is open.
    void canCloseDocument(std::function<void(bool)> shouldClose);
    QMessageBox* closeQuestion() const { return closeQuestion_; }
    void insertNecessarySyncCommands();
    void setForceQuitAndIgnore() { forcedQuitAndIgnore_ = true; }
    bool forcedQuitAndIgnore() const { return forcedQuitAndIgnore_; }
    bool forcedQuit() const { return forcedQuit_; }
    bool closeWasRequested() const { return closeWasRequested_; }
    void cancelClose() { closeWasRequested_ = false; }
    // The user asks to close the window: the close question, then the close.
    void performClose();
    // Closes the document: its windows and phone go.
    void close();
    bool isClosed() const { return closed_; }
    // Menu items: saving under another name, printing and page setup are off.
    bool validateMenuItem(const QString& action) const;

    // Sync feedback.
    void provideSynchronizationFeedbackTo(SynchronizationFeedbackConsumer* consumer) { feedback_ = consumer; }
    SynchronizationFeedbackConsumer* synchronizationFeedbackConsumer() const override;

    // DeviceDocument
    void releaseArchive() override;
    OrganizerArchive* recreateArchive() override;
    void startBackgroundActionsSoon() override;
    DeviceWindowServices* deviceWindowServices() const override;

    // Mirror look-ups; nothing without a mirror.
    std::optional<QString> getMirroredFile(const QString& path, int* error);
    std::optional<QString> getMirrorPath(const QString& path);
    std::optional<QVariantMap> getFinderInfoDictForPath(const QString& fullPath, bool isFolder);
    bool setFinderInfoDictForPath(const QVariantMap& info, const QString& fullPath);

Q_SIGNALS:
    void documentClosed(MobileDeviceDocument* document);

protected:
    // The window's answers (tests replace them).
    virtual bool windowCanDeactivate() const;
    virtual bool windowHasNotFinishedBackup() const;
    virtual bool windowSessionDidDied() const;
    virtual bool doWarnOnQuit() const;

private:
    void closeSheetEnded(int choice, bool canDiscard, std::function<void(bool)> shouldClose);
    void quitRequestedCheckSoon();
    bool quitWasRequested() const;

    DeviceWindowHost* host_ = nullptr;
    QPointer<DZDocumentController> owner_;
    std::shared_ptr<MFDevice> device_;
    std::unique_ptr<DocumentMirror> mirror_;
    std::unique_ptr<DocumentArchive> archive_;
    std::vector<std::unique_ptr<DeviceWindowController>> windows_;
    QString openWithPath_;
    bool forcedQuit_ = false;
    bool forcedQuitAndIgnore_ = false;
    bool closeWasRequested_ = false;
    bool closed_ = false;
    SynchronizationFeedbackConsumer* feedback_ = nullptr;
    QPointer<QMessageBox> closeQuestion_;
};
