#pragma once

#include "links/ObexATSwitchTransportLayer.h"

#include <QByteArray>

// A second build of the OBEX codec for Samsung phones: it receives the
// transport's bytes itself (deliverData) and finds AT answers and OBEX
// packets in its own buffer instead of relying on a serial channel. Every
// request waits 20 s; a time-out aborts, waits 1 s, disconnects with the
// Connection-ID and reports -21855. Nothing creates it yet.
class SamsungObexATSwitchTransportLayer : public ObexATSwitchTransportLayer {
public:
    static constexpr int kReceiveBufferSize = 65537;
    static constexpr double kSamsungTimeout = 20.0;
    static constexpr double kSamsungAbortPause = 1.0;
    static constexpr uint8_t kSamsungVersion = 0x11;
    static constexpr uint16_t kSamsungMaxPacket = 0x2000;

    using ObexATSwitchTransportLayer::ObexATSwitchTransportLayer;

    QString className() const override;

    // Each piece of bytes the transport received. In AT mode the bytes wait
    // for buffer() and the waits; in OBEX mode a packet is handed over once
    // complete, and bytes past it are kept for the next one (up to one
    // packet's worth; a phone sending more loses the excess).
    void deliverData(const char* bytes, int length);
    void setData(bool avail);
    void resetBuffer();
    bool dataAvail() const override { return _dataAvail; }
    QString buffer() const override;
    const char* commBuffer() const override;
    uint32_t currentBuffIndex() const override { return uint32_t(_commBuffer.size()); }
    bool waitForOkErrorConnect(int passes, bool* resultGood) override;
    bool waitForObexAnswer(int passes) override;
    void setObexMode(bool on) override;

    // The Connect of a Samsung phone: version 0x11, flags 0, maximum packet
    // 0x2000 whatever is asked (the asked value is only kept).
    int OBEXConnect(uint8_t flags, uint16_t maxPacketLength, const char* headers, int headersLength,
                    OBEXSessionEventHandler handler, QVariant refCon = {}) override;

    void initializeSerialChannelForSyncML(const std::shared_ptr<QVDeviceCallback>& callback) override;

protected:
    double timeoutFor(uint8_t) const override { return kSamsungTimeout; }
    double abortPause() const override { return kSamsungAbortPause; }
    bool disconnectCarriesConnectionID() const override { return true; }
    int timeoutErrorCode(uint8_t) const override;
    void logTimeout() const override {}

private:
    void takeObexBytes();
    void handOver();
    void dropSurplusBeyondOnePacket();
    void startPacket();

    QByteArray _commBuffer;
    bool _allocated = false;
    qsizetype _stringBuffer = 0;   // start of the unread AT text
    int _expectedObexBytes = 0;
    bool _hasFinalSize = false;
    bool _packetPending = false;
    QByteArray _surplus;           // OBEX bytes behind the packet being handed over (at most one packet's)
};
