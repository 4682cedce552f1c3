#pragma once

#include "sync/QVBaseSession.h"
#include "sync/SyncMLConnection.h"

#include <QByteArray>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class MFDevice;
class QVSyncElem;
class SamsungATConnection;

// Lets the base session talk to the Samsung connection: the base reaches a
// phone through the SyncML connection calls, of which only the close applies.
class SamsungObexSessionLink : public SyncMLConnection {
public:
    explicit SamsungObexSessionLink(SamsungATConnection& connection) : _connection(connection) { }
    QString deviceIdentifier() const override;
    SyncMLConnectionDevice* mfDevice() const override { return nullptr; }
    void setDelegate(ObexSyncMLDelegate*) override { }
    int closeConnection(const std::shared_ptr<QVDeviceCallback>& callback) override;
    int executeCommandSync(const std::shared_ptr<ObjectPushCommand>&) override { return -887; }
    QString newSessionID() override { return QStringLiteral("1"); }
    int sendSwitchCommandForProperty(int, bool) override { return -1; }

private:
    SamsungATConnection& _connection;
};

class SamsungObexSessionLinkHolder {
protected:
    explicit SamsungObexSessionLinkHolder(SamsungATConnection& connection)
        : _link(std::make_unique<SamsungObexSessionLink>(connection))
    {
    }
    std::unique_ptr<SamsungObexSessionLink> _link;
};

// Synchronises one organizer type (contacts or calendar) of a Samsung phone
// over its MOBEX connection: reads every record, compares them with the
// snapshot of the last sync kept beside the organizer archive ("-RAW"),
// hands the differences to its user and writes the user's changes back as
// deletes, replaces and adds. One OBEX command at a time, on the main thread.
class SamsungObexSession : private SamsungObexSessionLinkHolder, public QVBaseSession {
public:
    static constexpr int kInvalidCount = -8888;
    // A load answer whose records run past its data.
    static constexpr int kInvalidLoadData = -8887;
    static constexpr double kNextBlockDelay = 0.5;
    static constexpr double kNextItemDelay = 0.1;
    static constexpr const char* kSourceURI = "SourceURI";
    static constexpr const char* kVxData = "vx-Data";
    static constexpr const char* kAction = "Action";
    static constexpr const char* kNewSourceURI = "newSourceURI";
    static constexpr const char* kSyncElem = "syncElem";

    // What the session needs of the phone beyond its connection.
    struct Environment {
        QString rawDataPathName; // the device's sync-data path + "-RAW"
        std::function<QVSyncElemList*(int property)> itemList;
        std::function<bool(int property)> eraseDeviceData;
        std::function<void(int property)> clearEraseDeviceData;
    };

    // From the connection's device (its organizer archive and settings).
    static std::unique_ptr<SamsungObexSession> initWithConnection(SamsungATConnection& connection,
                                                                  QVSessionUser* notifier);
    static std::unique_ptr<SamsungObexSession> initWithConnection(SamsungATConnection& connection,
                                                                  QVSessionUser* notifier,
                                                                  std::shared_ptr<QVSyncDeviceDescription> description,
                                                                  Environment environment);
    ~SamsungObexSession() override;

    int performReadContacts(bool forceSlow) override;
    int performReadCalendarEvents(bool forceSlow);
    int performPreprocessContacts(const std::shared_ptr<QVDeviceCallback>& callback);
    void setDownloadObjects(std::shared_ptr<QVCommandArray> commands, QVSyncElemList* elemList, int type) override;

    // Read records, later the action list.
    QVariantList items() const;
    bool isFirstSync() const { return _isFirstSync; }
    const QVariantMap& prepDict() const { return _prepDict; }
    long deleteErrorCount() const { return _deleteErrorCount; }
    int noOfElemsToSend() const override { return _elemsToSendTotal; }
    int indexOfCurrentReadElem() const override;
    int indexOfCurrentSendingElem() const override;
    float getProgressInPercent() const override;
    const QVariantMap& deviceRecords() const { return _deviceRecords; }
    int maxItemsCount() const { return _maxItemsCount; }

    static QString getIdentity(const QString& text, int property, const QString& defaultCharset);
    QString getIdentity(const QString& text) const;
    // The identities of the snapshot's records.
    QStringList identityArray(const QVariantMap& records) const;
    static const QStringList& contactsInfoKeys();
    // Field-length limits of an info answer, in the order of contactsInfoKeys.
    static QVariantMap parseContactInfo(const QByteArray& data);
    // Records of a load answer ({"SourceURI", "vx-Data", "Action": "Add"});
    // nullopt when a record runs past the data.
    static std::optional<QVariantList> parseLoadBlock(const QByteArray& data, int subType);
    // Maximum and stored of a count answer; nullopt below 4 bytes.
    static std::optional<std::pair<int, int>> parseCount(const QByteArray& data);
    // "%02d-%d" and its reading (sub-database 0-255, index 0-65535).
    static QString sourceURI(int subType, int index);
    static std::optional<std::pair<int, int>> splitSourceURI(const QString& uri);
    // The entries from comparing read records with a snapshot (updated).
    // Records of a sub-database the session did not read (readSubTypes
    // names those it read; empty: all) stay in the snapshot untouched.
    static QVariantList compareWithSnapshot(const QVariantList& read, QVariantMap& snapshot,
                                            const std::function<QString(const QString&)>& identity,
                                            const QList<int>& readSubTypes = {});

    int getFirstFreeIndexForType(int subType) const;
    int getTypeForSyncElem(const QVSyncElem& elem) const;
    void eraseDeviceItems();

    void finalizeSession();
    void quitSession();
    // Its job has ended: no further step runs and the job hears nothing more
    // (the connection's close, asked by the job, is the job's own).
    void detachFromJob();
    void sessionDone(QVDeviceCallback& callback);
    using QVBaseSession::stopSessionFinished;
    void stopSessionFinished(int status);
    int closeConnection(const std::shared_ptr<QVDeviceCallback>& callback);

private:
    SamsungObexSession(SamsungATConnection& connection, QVSessionUser* notifier,
                       std::shared_ptr<QVSyncDeviceDescription> description, Environment environment);

    using Step = std::function<void(ObjectPushCommand&)>;
    std::shared_ptr<ObjectPushCommand> command(Step step, const QByteArray& data = {}, const QVariant& userInfo = {});
    void later(double seconds, std::function<void()> step);
    bool reportState(int state);
    void resetSubTypes();
    bool takeNextSubType();
    void setupRawDataFromFile();
    void saveRawData();
    void logSessionHead();
    static QString decodeRecordText(const QByteArray& bytes, bool* latin1);

    void stateBeginHighLevelSession();
    void stateBeginReadingData();
    void propertyCountFinished(ObjectPushCommand& command);
    void stateProcessNewPropertySubType();
    void stateGetAllItems();
    void dataLoadFinished(ObjectPushCommand& command);
    void stateReadingDone();
    void preprocessSync();
    void stateGetInfoForContact();
    void contactInfoReceived(ObjectPushCommand& command);
    void statePreProcessFinished();

    void sendDataToDevice();
    void sendNextItemToDevice();
    void handleSyncCommand(int index, const QString& command);
    void sendDeleteCommand(int index);
    void sendReplaceCommand(int index);
    void sendAddCommand(int index);
    void syncDeleteCommandHandled(ObjectPushCommand& command, int index);
    // A write's answer: the session ended on its error, the phone refused
    // the record (counted unsent), or took it.
    enum class WriteAnswer { SessionEnded, Refused, Taken };
    WriteAnswer writeAnswer(ObjectPushCommand& command);
    QByteArray deviceText(QVSyncElem& elem) const;
    void syncCommandHandled(ObjectPushCommand& command);
    void addCommandHandled(ObjectPushCommand& command);
    void readFinished(ObjectPushCommand& command);
    void dropProcessed();

    SamsungATConnection& _samsungConnection;
    Environment _environment;
    std::shared_ptr<QVCommandArray> _elemsToSend;
    QStringList _deviceDeletionItems;
    int _elemsToSendTotal = 0;
    long _elemsSentSoFar = 0;
    int _maxItemsCount = 0;
    int _itemsCount = 0;
    int _elemsToRead = -1;
    QVariantList _vcArray;
    int _reqBlock = 0;
    QList<int> _subTypes;
    QList<int> _readSubTypes; // every sub-database this session reads
    uint8_t _curSubType = 0;
    int _curSubRead = 0;
    bool _countedFirst = false;
    bool _weAreSending = false;
    int _processedSyncCommand = 0;
    QString _rawDataPathName;
    QVariantMap _deviceRecords;
    bool _isFirstSync = false;
    bool _preprocess = false;
    std::shared_ptr<QVDeviceCallback> _preProcessCallback;
    QVariantMap _prepDict;
    long _deleteErrorCount = 0;
    std::array<int16_t, 256> _subItemCount{};
    std::shared_ptr<int> _alive = std::make_shared<int>(0);
};
