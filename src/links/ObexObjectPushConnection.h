#pragma once

#include "links/ObexServiceConnection.h"
#include "links/PhoneCapabilitySource.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <functional>
#include <memory>

// An OBEX Object Push client: connects (no target), pushes one local file in
// chunks that fit the session's packets with progress on the caller's
// callback, reads the phone's capability object, aborts and disconnects.
// The request in flight is the connection's active callback; an abort wish
// (a progress answer asking to stop, or a close while a request is out) is
// acted upon at the next session event.
class ObexObjectPushConnection : public ObexServiceConnection, public PhoneCapabilitySource {
public:
    static constexpr int kEmptyFile = -2;
    static constexpr int kCannotOpen = -3;
    static constexpr int kNoSession = -88;
    static constexpr int kPutNotComplete = -100;    // 0x10
    static constexpr int kPutNotAcceptable = -110;  // 0x46
    static constexpr int kPutBadRequest = -111;     // 0x40
    static constexpr int kPutForbidden = -112;      // 0xC3
    static constexpr int kPutRefused = -113;        // any other
    static constexpr int kGetNotComplete = -121;    // 0x10
    static constexpr int kGetBadRequest = -122;     // 0x40, 0xC0
    static constexpr int kGetRefused = -123;        // any other
    static constexpr int kAborted = -1702;
    static constexpr uint16_t kInitialMaxPacket = 65344;
    static constexpr const char* kCapabilityType = "x-obex/capability";

    using SessionFactory = std::function<std::unique_ptr<ObexATSwitchTransportLayer>()>;

    explicit ObexObjectPushConnection(MFDevice* device, DeviceHooks hooks = {});
    ~ObexObjectPushConnection() override;

    QString className() const override;
    // How openConnection makes its session (a fresh one for every open).
    void setSessionFactory(SessionFactory factory) { _sessionFactory = std::move(factory); }

    bool hasValidSession() const { return bool(_obexSession); }
    bool hasConnection() const override;
    bool isBusy() const override { return _busy; }

    // Makes the session, opens its transport and connects; -88 without a
    // session, 0xE00002C5 while an open or close runs.
    int openConnection(const std::shared_ptr<QVDeviceCallback>& callback) override;
    int connectObex(const std::shared_ptr<QVDeviceCallback>& callback);
    int disconnectObex(const std::shared_ptr<QVDeviceCallback>& callback);
    // Disconnect (after aborting what runs), close the session, close the device.
    int closeConnection(const std::shared_ptr<QVDeviceCallback>& callback) override;
    int closeObexSession(const std::shared_ptr<QVDeviceCallback>& callback);
    virtual void closeDevice() { }

    // Pushes the regular file at path. -2 for an empty file, -3 for one that
    // cannot be opened, is no regular file or does not fit OBEX's 32-bit
    // length; nothing is sent then.
    int pushFileAsync(const QString& path, const std::shared_ptr<QVDeviceCallback>& callback);
    int getCapabilities(const std::shared_ptr<QVDeviceCallback>& callback) override;
    int performAbort(const std::shared_ptr<QVDeviceCallback>& callback) override;
    // The next session event aborts the request in flight.
    void requestAbort() { _userWantsAbort = true; }

    uint32_t currentFileSize() const { return _currentFileSize; }
    uint32_t lastFileOffset() const { return _lastFileOffset; }

protected:
    int closeService(const std::shared_ptr<QVDeviceCallback>& callback) override { return disconnectObex(callback); }
    QByteArray serviceWho() const override { return {}; }

    // The body of the next Put: at most what the session's packet leaves
    // after headers of the given length; empty when nothing fits.
    QByteArray getNextFileChunk(int optionalHeaderLength, bool* isLastChunk);

    void pushEvent(const OBEXSessionEvent& event);
    OBEXSessionEventHandler pushEventHandler();
    void OBEXConnectHandler(const OBEXSessionEvent& event) override;
    void OBEXDisconnectHandler(const OBEXSessionEvent& event) override;
    void OBEXAbortHandler(const OBEXSessionEvent& event) override;
    void putAnswer(const OBEXSessionEvent& event);
    void getAnswer(const OBEXSessionEvent& event);

    void abortBeforeCloseFinished(QVDeviceCallback& callback);
    void closeConnectionStep2(QVDeviceCallback& callback);
    void closeConnectionStep3(QVDeviceCallback& callback);
    void openConnectionStep2(QVDeviceCallback& callback);
    void releaseFile();
    void endRequest(int status);
    QByteArray connectionIDHeader() const;

    SessionFactory _sessionFactory;
    std::unique_ptr<QFile> _currentFile;
    int _optHeadersSize = 0;
    QByteArray _tempPutDataBuffer;
    QByteArray _tempGetDataBuffer;
    uint32_t _currentFileSize = 0;
    uint32_t _lastFileOffset = 0;
    bool _busy = false;
    bool _hasConnectionID = false;
    // A close that waits for the abort of the request in flight.
    std::shared_ptr<QVDeviceCallback> _closeAfterAbort;
};
