#pragma once

#include "links/QVEmbeddedCallback.h"

#include <QByteArray>
#include <QString>
#include <memory>

// One OBEX request that a sync session hands to its service connection: the
// command code, the body to send, the body and App-Parameters that come back
// and the bytes sent so far. The connection ends it with a status from any
// thread; the sender's finish function then runs on the main thread with the
// command. Always held by a shared_ptr (the finish is queued).
class ObjectPushCommand : public QVEmbeddedCallback {
public:
    // Command codes of the SyncML connection.
    static constexpr int kPutSyncMLWBXML = 0;
    static constexpr int kPutSyncMLNotification = 1;
    static constexpr int kGetSyncMLWBXML = 2;
    static constexpr int kNothing = 3;
    static constexpr int kServerGetResponse = 4;
    // The status of a cancelled command; it sounds the alert.
    static constexpr int kStatusCancelled = -1702;

    ObjectPushCommand(int command, const QByteArray& data, const void* sender, FinishFunction function,
                      const QVariant& userInfo, const std::shared_ptr<QVDeviceCallback>& higherCallback);

    static std::shared_ptr<ObjectPushCommand> pushCommandWithData(int command, const QByteArray& data,
                                                                  const void* sender, FinishFunction function);
    static std::shared_ptr<ObjectPushCommand> pushCommandWithDataAndCallback(
        int command, const QByteArray& data, const void* sender, FinishFunction function,
        const std::shared_ptr<QVDeviceCallback>& higherCallback);
    static std::shared_ptr<ObjectPushCommand> pushCommandWithDataUserAndCallback(
        int command, const QByteArray& data, const void* sender, FinishFunction function, const QVariant& userInfo,
        const std::shared_ptr<QVDeviceCallback>& higherCallback);

    // The command a refCon or a callback carries, if it is one.
    static std::shared_ptr<ObjectPushCommand> fromVariant(const QVariant& value);
    QVariant asVariant();

    int command() const { return _command; }
    const QByteArray& dataToSend() const { return _dataToSend; }
    void setDataToSend(const QByteArray& data) { _dataToSend = data; }
    // Null until the first bytes arrive.
    const QByteArray& dataReceived() const { return _dataReceived; }
    const QByteArray& appParams() const { return _appParams; }
    bool isServerCommand() const { return _isServerCommand; }
    long long bytesTransfered() const { return _bytesTransfered; }
    void addBytesTransfered(long long count) { _bytesTransfered += count; }
    // Share of the body sent, 0-100.
    double percentSent() const;

    void collectDataReceived(const char* bytes, qsizetype length);
    void setAppParams(const char* bytes, qsizetype length);
    // The App-Parameters as an unsigned big-endian number: 0 when absent or
    // empty, the value for 1, 2 or 4 bytes, -1 for any other length.
    long long appParamsAsLong() const;
    // The result made non-positive.
    int status() const;

    // Safe from any thread: the end runs on a later pass of the main loop.
    void finishCommand(int status);
    // The end on the main thread: logs what was collected, sounds the alert
    // for a cancelled command and finishes the callback.
    void finishCommandDelayed(int status);

    QString description() const override;

protected:
    QString addressText() const;
    virtual QString className() const;

    bool _isServerCommand = false;

private:
    int _command = 0;
    QByteArray _dataToSend;
    QByteArray _dataReceived;
    long long _bytesTransfered = 0;
    QByteArray _appParams;
};
