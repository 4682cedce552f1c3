#pragma once

#include "sync/QVBaseSession.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>
#include <memory>
#include <vector>

class ObjectPushCommand;
class QVCommandArray;
class QVDeviceCallback;
class QVIRMCConnection;
class QVSyncElem;

// Synchronises a phone's phonebook with the contacts item list over the
// phone's IrMC service (entries addressed by LUID, a change counter and a
// change log): fast from the change log since the stored anchor, or slow from
// the whole phonebook; then the item list's commands go back one entry at a
// time. The same session lists, reads, writes and deletes the phone's files
// over that connection. Every step continues on the main run loop.
class QVIRMCSession : public QVBaseSession {
public:
    static constexpr int kNoDataChangeLog = -8888;
    static constexpr int kNoTextPhonebook = -8889;
    static constexpr int kNoDataInfo = -8898;
    static constexpr int kNoTextInfo = -8899;
    static constexpr int kBadCommand = -8999;
    static constexpr int kUnreadablePhonebook = -1;
    static constexpr int kUnsupportedProperty = int(0xE00002C7);
    static constexpr int kFileWriteFailed = 61;
    static constexpr int kCommandKind = 5;
    static constexpr int kFileReadKind = 6;
    static constexpr int kFileWriteKind = 7;
    static constexpr int kFileDeleteKind = 8;

    static std::unique_ptr<QVIRMCSession> irmcSessionWithConnection(QVIRMCConnection& connection,
                                                                    QVSessionUser* notifier);
    ~QVIRMCSession() override;

    // Phonebook sync.
    int performReadContacts(bool forceSlow) override;
    void setDownloadObjects(std::shared_ptr<QVCommandArray> commands, QVSyncElemList* elemList, int type) override;
    int deliverAnSend(QVSessionUser* notifier);
    void stopSession();
    int noOfElemsToSend() const override { return int(_elemsToSendTotal); }
    int indexOfCurrentSendingElem() const override;
    float getProgressInPercent() const override;
    int getSendingPercent() const;
    void logDebugInfo() override;
    void finishSession(int result) override;

    // Reads back the entry the phone stored last (index totalElems) and gives
    // the item its LUID; the callback ends with 0.
    int requestNewItem(const std::shared_ptr<QVDeviceCallback>& callback, const std::shared_ptr<QVSyncElem>& elem);
    void saveRawData() { }
    void markElemForURINeed(const QVariant&) { }
    void rememberPushCommand(const std::shared_ptr<ObjectPushCommand>& command);

    // File operations; each answers 0 and ends through finishSession.
    int performGetDirectory(const QStringList& paths, QVariantMap* intoDict);
    int performDownloadFile(const QString& phonePath, const QString& macPath);
    int performUploadFile(const QByteArray& data, const QString& phonePath);
    int performDeleteFile(const QString& phonePath);
    static double convertPercentForGetAction(double percent);

    // What the session found.
    QString changeLogValue() const { return _changeLogValue; }
    QString databaseID() const { return _databaseID; }
    long maxElems() const { return _maxElems; }
    long totalElems() const { return _totalElems; }
    bool supportsHardDelete() const { return _supportsHardDelete; }
    bool hasIRMCLevel4Support() const { return _hasIRMCLevel4Support; }
    const QVariantList& items() const { return _items; }
    int activeCommandCount() const { return int(_objectPushCommands.size()); }
    void setSupportsPathInObjects(bool on) { _supportsPathInObjects = on; }
    // Every line the session logged, in order.
    const QStringList& logLines() const { return _logLines; }

private:
    QVIRMCSession(QVIRMCConnection& connection, QVSessionUser* notifier,
                  std::shared_ptr<QVSyncDeviceDescription> description);

    using Handler = void (QVIRMCSession::*)(ObjectPushCommand&);
    std::shared_ptr<ObjectPushCommand> makeCommand(int kind, const QByteArray& data, Handler handler,
                                                   const std::shared_ptr<QVDeviceCallback>& higher = nullptr);
    std::shared_ptr<QVDeviceCallback> makeStep(void (QVIRMCSession::*step)());
    void later(void (QVIRMCSession::*step)());
    void log(const char* logName, const QString& line);
    bool enterState(int state);
    void startedOrFinish(int status);
    // The answer's text, or the error result (set *result) when it has none.
    std::optional<QString> answerText(ObjectPushCommand& command, const char* what, int noData, int noText,
                                      int* result);

    void retrieveLastLogNumber();
    void stateBeginHighLevelSession();
    void infoLogReceived(ObjectPushCommand& command);
    void stateRequestChangeLog();
    void requestChangeLogFinished(ObjectPushCommand& command);
    void stateRequestMainData();
    void numberedLogReceived(ObjectPushCommand& command);
    void processNumberedLog(const QString& text);
    void processModifiedItems();
    void numberedObjectStoreReceived(ObjectPushCommand& command);
    void switchToSlowSync();
    void slowDataReceived(ObjectPushCommand& command);
    int processIrMCvCardString(const QString& text);
    QVariantMap readItem(const QString& card, const QString& requestedLUID);
    void sendMacData();
    int sendRecord(const std::shared_ptr<QVSyncElem>& elem, const QString& text, const QString& luid);
    void pushObjectDone(ObjectPushCommand& command);
    void newItemReceived(ObjectPushCommand& command);
    bool luidHeldByAnother(const QString& luid, const std::shared_ptr<QVSyncElem>& elem) const;
    void stateUpdateChangeLog();
    void updateChangeLogFinished(ObjectPushCommand& command);
    void finalizeSession();

    void highRequestDirectory();
    void setPathForGetDirDone(ObjectPushCommand& command);
    void dirListingReturned(ObjectPushCommand& command);
    void stateGetDirectoryDone();
    void stateBeginDownload();
    void setPathForDownloadDone(ObjectPushCommand& command);
    void requestedFileReceived(ObjectPushCommand& command);
    void stateBeginUpload(const QByteArray& data);
    void lowSetPathForUpload(const QByteArray& data, const QString& path);
    void setPathForUploadDone(ObjectPushCommand& command);
    void filePushDone(ObjectPushCommand& command);
    void stateBeginDelete(const QString& path);
    void fileDeleteDone(ObjectPushCommand& command);

    QVIRMCConnection& _irmcConnection;
    std::vector<std::shared_ptr<ObjectPushCommand>> _objectPushCommands;
    QString _changeLogValue;
    QString _lastChangeLogValue;
    QStringList _itemsChanged;
    QStringList _itemsDeleted;
    std::shared_ptr<QVCommandArray> _elemsToSend;
    QString _lastDatabaseID;
    QString _databaseID;
    bool _databaseChanged = false;
    bool _didChangeDeviceData = false;
    bool _changeLogInvalid = false;
    bool _hasIRMCLevel4Support = false;
    long _maxElems = 0;
    long _totalElems = 0;
    bool _totalElemsKnown = false; // the phone's information log gave the count
    bool _supportsHardDelete = false;
    bool _isGigasetVariant = true;
    QStringList _scanDirectories;
    QVariantMap* _collectingDict = nullptr;
    QString _srcFile;
    QByteArray _srcData;
    QString _destFile;
    QString _curPath;
    bool _weAreSending = false;
    long _elemsToSendTotal = 0;
    long _elemsSentSoFar = 0;
    long _elemsToRead = -1;
    bool _supportsPathInObjects = true;
    long _itemsOnDevice = -1;

    QVariantList _items;
    bool _syncRan = false;
    bool _finished = false;
    std::shared_ptr<QVSyncElem> _pushElem;
    QString _pushCommand;
    std::shared_ptr<QVDeviceCallback> _listingDone;
    std::shared_ptr<QVDeviceCallback> _higher;
    QStringList _logLines;
    std::shared_ptr<int> _alive = std::make_shared<int>(0);
};
