#pragma once

#include <QObject>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <vector>

class DeviceWindowController;
class DeviceWindowHost;
class MobileDeviceDocument;

// The application's phone documents: makes them, keeps them in the order they
// were made, closes them at quit (counting those with unsent changes and
// handing over to the application controller's wait for backups once each has
// been settled) and answers the quit protocol's questions about them.
class DZDocumentController : public QObject {
    Q_OBJECT

public:
    // The archive-folder name pattern ("%@-%@.dzmir").
    static constexpr const char* kArchiveSuffix = ".dzmir";

    explicit DZDocumentController(DeviceWindowHost* host = nullptr, QObject* parent = nullptr);
    ~DZDocumentController() override;

    // The instance while it lives; null otherwise.
    static DZDocumentController* sharedDocumentController();

    void setHost(DeviceWindowHost* host) { host_ = host; }
    // Opening an archive folder: what connects the history phone (the
    // application controller's connectWithHistoryDevice).
    using HistoryOpener = std::function<void(const QVariantMap& entry, DeviceWindowController* window,
                                             const QString& stateInfo, const QString& folder)>;
    void setHistoryOpener(HistoryOpener opener) { historyOpener_ = std::move(opener); }
    // What starts the wait for backups once every document is settled
    // (default: the application controller's askToWait).
    void setAskToWait(std::function<void()> askToWait) { askToWait_ = std::move(askToWait); }

    // Documents.
    std::vector<MobileDeviceDocument*> documents() const;
    // A new empty phone document with its window.
    MobileDeviceDocument* newDocument();
    // Takes a document made elsewhere (the main window's phone object).
    MobileDeviceDocument* addDocument(std::unique_ptr<MobileDeviceDocument> document);
    // Opens an archive folder as a history document; null (error set) when
    // it is no readable archive.
    MobileDeviceDocument* openDocument(const QString& folder, QString* error);
    // Called by a document made from a folder once its window exists.
    void openHistoryFolder(MobileDeviceDocument* document, DeviceWindowController* window, const QString& folder);

    // Quit.
    // The quit entry: counts the documents with unsent changes and asks each
    // document in turn. done(true) when all closed at once; done(false)
    // when the quit was cancelled. Documents that wait for their changes or
    // backups go on through quitRequestedCheck (done is then not called).
    void closeAllDocuments(std::function<void(bool closed)> done);
    void quitRequestedCheck();
    bool anyBackupPending() const;
    bool anyBlockedDeactivates() const;
    void doCancelDocuments();
    bool closeSafeFirstDoc();
    int dirtyCount() const { return dirtyCount_; }
    bool quitWasRequested() const { return quitWasRequested_; }
    void setQuitWasRequested(bool on) { quitWasRequested_ = on; }
    bool overWriteBackupWait() const { return overWriteBackupWait_; }
    void setOverWriteBackUpWait(bool on) { overWriteBackupWait_ = on; }

Q_SIGNALS:
    // A document went (its window closed).
    void documentRemoved();
    // A quit was cancelled by a document: the user sees why.
    void quitCancelled(const QString& reason);

private:
    void askNext(std::shared_ptr<std::vector<MobileDeviceDocument*>> left, std::function<void(bool)> done,
                 bool pending);
    void remove(MobileDeviceDocument* document);

    DeviceWindowHost* host_ = nullptr;
    std::vector<std::unique_ptr<MobileDeviceDocument>> documents_;
    HistoryOpener historyOpener_;
    std::function<void()> askToWait_;
    int dirtyCount_ = 0;
    bool quitWasRequested_ = false;
    bool overWriteBackupWait_ = false;
};
