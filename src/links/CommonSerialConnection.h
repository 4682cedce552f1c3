#pragma once

#include <optional>

#include "links/DZDeviceConnection.h"
#include "links/SerialATChannel.h"
#include "links/SerialDelegateProtocol.h"

#include <QVariantMap>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class MFDeviceLinkOwner;
class QVEmbeddedCallback;

// The connection for AT commands: owns the serial channel of the phone's
// connection type, sends the init string after every open, runs single AT
// commands asynchronously and offers the dial and battery operations.
class CommonSerialConnection : public DZDeviceConnection, public SerialDelegateProtocol {
public:
    static constexpr const char* kConnTypeBluetooth = "Bluetooth";
    static constexpr const char* kConnTypeUSBSerial = "USB-Serial";
    static constexpr const char* kDefaultInitString = "ATE0\r\n";
    static constexpr const char* kConnectionName = "Serial";

    // Dial results.
    static constexpr int kDialUp = 0;
    static constexpr int kDialWait = 1;
    static constexpr int kDialBusy = -1;
    static constexpr int kDialNoCarrier = -2;
    static constexpr int kDialIdle = -3;
    static constexpr int kDialError = -6;
    static constexpr int kDialNotSent = -7;
    static constexpr int kDialCallerID = -9;

    // Makes the transport channel of a connection type from the connection
    // (or wizard) dictionary; nullptr when that transport is not available.
    // Without one, "USB-Serial" gets the USB modem channel and "Bluetooth"
    // the RFCOMM channel.
    using ChannelFactory = std::function<std::unique_ptr<SerialATChannel>(
        const QString& connType, const QVariantMap& dict, MFDevice* device, SerialDelegateProtocol* delegate,
        SerialATChannel::PhoneTraits traits)>;
    // The factory new connections start with.
    static void setDefaultChannelFactory(ChannelFactory factory);
    static const ChannelFactory& currentDefaultChannelFactory();
    // The channel of a connection type, made by factory when given: "USB-Serial"
    // the USB modem channel (from a wizard dictionary when fromWizard),
    // "Bluetooth" the RFCOMM channel; nullptr when that transport is not
    // available. Another type raises "Unimplemented protocol error".
    static std::unique_ptr<SerialATChannel> makeSerialChannel(const ChannelFactory& factory, const QString& connType,
                                                              const QVariantMap& dict, bool fromWizard,
                                                              MFDevice* device, SerialDelegateProtocol* delegate,
                                                              SerialATChannel::PhoneTraits traits);

    // devInfo (not owned, outlives the connection) gives the model's
    // identification and protocol name.
    CommonSerialConnection(MFDevice* device, const MFDeviceInfo* devInfo, const QVariantMap& connectionDict,
                           const QString& connType, SerialATChannel::PhoneTraits traits);
    CommonSerialConnection(const QVariantMap& wizDict, const QString& connType);
    // The connection of a device object, registered with it as "Serial".
    CommonSerialConnection(MFDeviceLinkOwner& owner, const QVariantMap& connectionDict,
                           SerialATChannel::PhoneTraits traits);
    ~CommonSerialConnection() override;

    void setChannelFactory(ChannelFactory factory) { _channelFactory = std::move(factory); }
    SerialATChannel* serialChannel() const { return _serialChannel.get(); }
    virtual QString className() const;
    QString getConnectionType() const override { return _connType; }

    bool hasValidSession() const { return hasOpenTransportConnection(); }
    bool hasOpenTransportConnection() const;
    void processObexData() override {}
    void setChannelInitString(const QString& initString) { _channelInitString = initString; }

    int openConnection(const std::shared_ptr<QVDeviceCallback>& callback) override;
    int closeConnection(const std::shared_ptr<QVDeviceCallback>& callback) override;

    bool dataAvail() const;
    void resetBuffer();

    int performATCommandWithCallback(const QString& command, const std::shared_ptr<QVDeviceCallback>& callback);
    bool sendDataStr(const QString& text);
    bool sendDataAndWait(const QString& text, int passes);
    bool waitForObexAnswer(int passes);
    bool waitForOkErrorConnect(int passes, bool* resultGood);
    bool waitForOkOrError(int passes);

    void setIsGigaset(bool gigaset) { _isGigaset = gigaset; }
    bool isGigaset() const { return _isGigaset; }

    int dialResponseMotorola();
    int dialResponseNokia();
    int dialResponseSonyEricsson();
    int dialResponseSiemens();
    int dialResponse();
    // Refuses (kDialError, nothing sent) a number with anything but dial
    // characters: digits, "*", "#", "+", "p", "w" and ",".
    int dialNumber(const QString& number);
    static bool isDialString(const QString& number);
    int dialOnline();
    int dialHangUp();

    bool doWaitBatteryResponse(const QString& protocol);
    bool sendBatteryCheck();
    bool waitBatteryResponse();
    // (charger connection state, charge level); -1 for a part not read.
    std::pair<int, int> batteryChargerConnection();
    QString getDialBuffer();

protected:
    void openConnectionStep2(QVEmbeddedCallback& callback);
    void closeConnectionStep2(QVEmbeddedCallback& callback);
    void atCommandSendingDone(QVEmbeddedCallback& callback);
    QString deviceProtocol() const;

    std::unique_ptr<SerialATChannel> _serialChannel;
    QVariantMap _connDict;
    QVariantMap _wizDict;
    QString _connType;
    QString _channelInitString;
    bool _isGigaset = false;

private:
    std::shared_ptr<QVEmbeddedCallback> makeStep(void (CommonSerialConnection::*step)(QVEmbeddedCallback&),
                                                 const std::shared_ptr<QVDeviceCallback>& higher);
    int noMatch();
    // The answer of a maker's rule table, or noMatch() when no rule matched.
    int dialAnswer(std::optional<int> answer);

    const MFDeviceInfo* _devInfo = nullptr;
    SerialATChannel::PhoneTraits _traits;
    ChannelFactory _channelFactory;
    // Steps still under way: told that this connection is gone.
    std::vector<std::weak_ptr<QVDeviceCallback>> _steps;
};
