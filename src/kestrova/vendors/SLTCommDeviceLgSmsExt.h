#pragma once

#include "kestrova/core/SLTCommDevice.h"

#include <QByteArray>
#include <QVariantMap>

// The LG application port of an engine (an engine extension): opening and
// closing the port, the frame counters and the abort flag every LG
// operation shares. Main thread only.
class SLTCommDeviceLgSmsExt {
public:
    // The OBEX connect request that opens an "lg2" port (its first byte is
    // dropped on the wire).
    static const QByteArray kObexConnectFrame;

    explicit SLTCommDeviceLgSmsExt(SLTCommDevice& engine);
    ~SLTCommDeviceLgSmsExt();
    SLTCommDeviceLgSmsExt(const SLTCommDeviceLgSmsExt&) = delete;
    SLTCommDeviceLgSmsExt& operator=(const SLTCommDeviceLgSmsExt&) = delete;

    // Clears the abort flag, opens the port ("at$lgapp=1", or the OBEX
    // connect for "lg2") and sends the initialisation and open frames; the
    // stage gets progress 0 per answer and "SLTCommDeviceLgApplicationPortOpen"
    // with the raw answer.
    void lgViewtyPrepare(const SLTInvocationPtr& stage);
    // Closes the port (over a serial link then waits 2.0 s and 3.0 s); the
    // stage gets "SLTCommDeviceLgApplicationPortClosed" on a later pass, after
    // the link was asked to close.
    void lgViewtyDisconnectRequest(const SLTInvocationPtr& stage);
    void lgViewtyOrganizerAbortAction() { _doAbort = true; }

    // The packet length of an OBEX connect answer (bytes 5-6, big-endian);
    // 0 when it is shorter than 7 bytes.
    static quint16 getMaxObexPacketLengthFrom(const QByteArray& data);

    // Counter 1: the sequence byte of every frame; counter 2: the first byte
    // of every entry record. Both take their value and move on, wrapping.
    quint8 nextPackageCount() { return _currentPackageCount++; }
    quint8 nextPackageCount2() { return _currentPackageCount2++; }
    quint8 currentPackageCount() const { return _currentPackageCount; }
    quint8 currentPackageCount2() const { return _currentPackageCount2; }
    void setPackageCount2(quint8 value) { _currentPackageCount2 = value; }
    bool doAbort() const { return _doAbort; }
    void setDoAbort(bool abort) { _doAbort = abort; }
    quint16 maxObexPacketLength() const { return _maxObexPacketLength; }
    void setMaxObexPacketLength(quint16 length) { _maxObexPacketLength = length; }

    // A command dictionary for one LG request: the frame escaped (unless raw).
    QVariantMap makeFrameCommand(const SLTInvocationPtr& stage, const char* selector, const char* signal,
                                 const QByteArray& frame, int requestedState = 44, bool raw = false) const;
    // The raw reply of a result, unescaped.
    static QByteArray unescapedReply(const QVariantMap& result);
    static bool hasResult(const QVariantMap& result);

private:
    void prepareStage2(const QVariantMap& result);
    void disconnectStage2(const QVariantMap& result);

    SLTCommDevice& _engine;
    quint8 _currentPackageCount = 0;
    quint8 _currentPackageCount2 = 0;
    quint16 _maxObexPacketLength = 0;
    bool _doAbort = false;
};
