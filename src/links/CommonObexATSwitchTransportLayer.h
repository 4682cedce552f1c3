#pragma once

#include "links/CommonSerialConnection.h"
#include "links/ObexATSwitchTransportLayer.h"

#include <QVariantMap>
#include <memory>

class SerialATChannel;

// Hangs up and closes the channel parked in the program-wide slot, if any.
// The device object calls it when it is freed.
void freeParkedChannel();
// The parked channel (owned by the slot), or nullptr.
SerialATChannel* parkedChannel();

// The OBEX codec on a serial AT channel: the USB modem tty or the phone's
// Bluetooth dial-up channel, chosen by the connection type. Gigaset and
// Samsung AT phones must keep their serial channel between OBEX sessions:
// their close parks it in one program-wide slot (left in AT mode, transport
// open), and their next open takes it up again.
class CommonObexATSwitchTransportLayer : public ObexATSwitchTransportLayer {
public:
    static constexpr double kSwitchDelay = 0.4;
    static constexpr const char* kReusingParked = "°°° Reusing Parked Channel °°°";

    CommonObexATSwitchTransportLayer(MFDevice* device, ObexSwitchSettings settings, const QVariantMap& connectionDict,
                                     const QString& connType, bool asServer);
    ~CommonObexATSwitchTransportLayer() override;

    QString className() const override;
    // Tests give their own transports; by default the serial connection's.
    void setChannelFactory(CommonSerialConnection::ChannelFactory factory) { _channelFactory = std::move(factory); }
    SerialATChannel* serialChannel() const { return _serialChannel.get(); }

    bool hasValidSession() const override;
    void closeSession();
    bool hasOpenTransportConnection() const override;
    void rfcommChannelClosed();

    int openTransportLayer(const std::shared_ptr<QVDeviceCallback>& callback) override;
    int parkSerialChannel(const std::shared_ptr<QVDeviceCallback>& callback);
    int closeTransportLayer(const std::shared_ptr<QVDeviceCallback>& callback) override;

    bool sendData(const char* bytes, int length) override;
    bool sendDataAndWait(const QString& text, int passes) override;
    bool dataAvail() const override;
    QString buffer() const override;
    const char* commBuffer() const override;
    uint32_t currentBuffIndex() const override;
    void setObexMode(bool on) override;
    // Records the opcode even when the transport is closed.
    bool sendObexData(const char* bytes, int length) override;
    bool waitForObexAnswer(int passes) override;
    bool waitForOkErrorConnect(int passes, bool* resultGood) override;
    bool waitForOkOrError(int passes, bool* resultGood);

private:
    void openConnectionInitForSyncML(QVDeviceCallback& callback);

    std::unique_ptr<SerialATChannel> _serialChannel;
    QVariantMap _connDict;
    QString _connType;
    std::shared_ptr<QVDeviceCallback> _tempCallback;
    CommonSerialConnection::ChannelFactory _channelFactory;
    std::vector<std::weak_ptr<QVDeviceCallback>> _steps;
};

// The same transport for IrMC and the Samsung OBEX service.
class CommonObexATSwitchIrMCTransportLayer : public CommonObexATSwitchTransportLayer {
public:
    using CommonObexATSwitchTransportLayer::CommonObexATSwitchTransportLayer;
    QString className() const override;
};
