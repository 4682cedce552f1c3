#pragma once

#include "links/ObexServiceConnection.h"
#include "links/ObexSwitchSettings.h"

#include <QString>
#include <QVariantMap>
#include <functional>
#include <memory>

class MFDeviceLinkOwner;

// Who hears the end of a phonebook open (nothing installs it today).
class SamsungATConnectionReceiver {
public:
    virtual ~SamsungATConnectionReceiver() = default;
    virtual void phoneBookReceived(const QVariant& data, int status) = 0;
};

// The connection through which Samsung phones exchange organizer records:
// the OBEX service "MOBEX" reached over the phone's AT channel (Bluetooth
// dial-up channel or USB serial) after the AT switch. Each record operation
// (count, info, load, read, delete, write, create) is one ObjectPushCommand
// carried as an OBEX Get or Put; the answer's App-Parameters and body come
// back in the command.
class SamsungATConnection : public ObexServiceConnection {
public:
    static constexpr const char* kServiceName = "SamsungATItems";
    static constexpr const char* kTarget = "MOBEX";
    // What the first Connect asks for (the answer is clamped).
    static constexpr uint16_t kFirstConnectMaxPacket = 8192;
    static constexpr int kHeaderRoom = 32;
    // A record operation for an organizer type without object path.
    static constexpr int kNoObjectPath = -21877;

    // What the connection needs of its device besides the base's.
    struct SamsungHooks {
        std::function<double()> pauseAfterNormalClose; // seconds; 0 without
        std::function<double()> pauseAfterAnyAction;
        std::function<void()> closeDevice;
        bool isSamsung = false; // the sync description's family: a Disconnect without headers
    };
    using TransportFactory = std::function<std::unique_ptr<ObexATSwitchTransportLayer>()>;

    SamsungATConnection(MFDevice* device, TransportFactory factory, SamsungHooks hooks);
    ~SamsungATConnection() override;

    // Made for a device: keeps the dictionary and type, and registers
    // "SamsungATItems" with the link's channel. nullptr for any link other
    // than "Bluetooth" or "USB-Serial".
    static std::unique_ptr<SamsungATConnection> initWithMFDeviceAndDictionary(MFDeviceLinkOwner& owner,
                                                                              const ObexSwitchSettings& settings,
                                                                              const QVariantMap& connectionDict,
                                                                              const QString& connType,
                                                                              SamsungHooks hooks);

    QString className() const override;
    QString getConnectionType() const override { return _connType; }
    bool hasConnection() const override { return _isOpen; }
    bool hasMobexSession() const { return _hasConnection; }
    void setTransportFactory(TransportFactory factory) { _transportFactory = std::move(factory); }
    void setNotifier(SamsungATConnectionReceiver* notifier) { _notifier = notifier; }
    void setConnectionDict(const QVariantMap& dict, const QString& connType)
    {
        _connDict = dict;
        _connType = connType;
    }

    int openConnection(const std::shared_ptr<QVDeviceCallback>& callback) override;
    int OpenSamsungObexService(const std::shared_ptr<QVDeviceCallback>& callback);
    void openForPhonebookFinished(QVDeviceCallback& callback);

    // Object paths and Type texts; empty for types other than 0 and 1.
    static QByteArray mobexProperty(int property);
    static QByteArray propertyMobexCount(int property) { return typeText(property, "count"); }
    static QByteArray propertyMobexInfo(int property) { return typeText(property, "info"); }
    static QByteArray propertyMobexLoad(int property) { return typeText(property, "load"); }
    static QByteArray propertyMobexDelete(int property) { return typeText(property, "delete"); }
    static QByteArray propertyMobexWrite(int property) { return typeText(property, "write"); }
    static QByteArray propertyMobexRead(int property) { return typeText(property, "read"); }
    static QByteArray propertyMobexCreate(int property) { return typeText(property, "create"); }

    // The record operations; 0 when sent (the command ends later), else the
    // status (the command is not ended).
    int requestPropertyCount(const std::shared_ptr<ObjectPushCommand>& command, int property, uint8_t subType);
    // appParams null: no App-Parameters.
    int requestPropertyInfo(const std::shared_ptr<ObjectPushCommand>& command, int property,
                            const QByteArray& appParams);
    int requestPropertyLoad(const std::shared_ptr<ObjectPushCommand>& command, uint16_t index, int property,
                            uint8_t subType);
    int requestPropertyRead(const std::shared_ptr<ObjectPushCommand>& command, uint16_t index, int property,
                            uint8_t subType);
    int sendPropertyDelete(const std::shared_ptr<ObjectPushCommand>& command, uint16_t index, int property,
                           uint8_t subType);
    // The command's data is the record text.
    int sendPropertyReplace(const std::shared_ptr<ObjectPushCommand>& command, uint16_t index, int property,
                            uint8_t subType);
    int sendPropertyAdd(const std::shared_ptr<ObjectPushCommand>& command, int property, uint8_t subType);

    int maxLenWithoutHeader() const { return int(_maxPacketLength) - kHeaderRoom; }
    bool isBusy() const override { return _busy; }

    // App-Parameters of a record index: sub-database, high, low.
    static QByteArray indexParams(uint8_t subType, uint16_t index);

protected:
    int closeService(const std::shared_ptr<QVDeviceCallback>& callback) override { return closeObexService(callback); }
    QByteArray serviceWho() const override { return QByteArray(kTarget); }
    void OBEXConnectHandler(const OBEXSessionEvent& event) override;
    void OBEXDisconnectHandler(const OBEXSessionEvent& event) override;

private:
    static QByteArray typeText(int property, const char* word);
    int closeObexService(const std::shared_ptr<QVDeviceCallback>& callback);
    void openConnectionStep2(QVDeviceCallback& callback);
    void delayedOpenSamsungObexService(const std::shared_ptr<QVDeviceCallback>& callback);
    QByteArray requestHeaders(const QByteArray& type, const QByteArray& appParams, bool withParams) const;
    int sendGet(const std::shared_ptr<ObjectPushCommand>& command, const QByteArray& type, const QByteArray& params,
                bool withParams);
    int sendPut(const std::shared_ptr<ObjectPushCommand>& command, const QByteArray& type, const QByteArray& params,
                bool withBody);
    int checkReady() const;
    void logRequest(const QString& line) const;

    SamsungATConnectionReceiver* _notifier = nullptr;
    TransportFactory _transportFactory;
    SamsungHooks _samsungHooks;
    QVariantMap _connDict;
    QString _connType;
    bool _busy = false;
};
