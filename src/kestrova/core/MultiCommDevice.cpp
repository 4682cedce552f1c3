#include "kestrova/core/MultiCommDevice.h"

#include "kestrova/core/KitLog.h"

#include <algorithm>

bool MultiCommDevice::reset()
{
    _buffer.clear();
    _discardAll = true;
    return true;
}

void MultiCommDevice::clearBufferAndGoOnReading()
{
    _buffer.clear();
    goOnReading();
}

QByteArray MultiCommDevice::takeReceivedTail(qsizetype count)
{
    count = std::clamp<qsizetype>(count, 0, _rawBuffer.size());
    QByteArray tail = _rawBuffer.right(count);
    _rawBuffer.chop(count);
    _buffer.chop(std::min(count, _buffer.size()));
    return tail;
}

void MultiCommDevice::clearForCommand()
{
    _discardAll = false;
    _buffer.clear();
    _rawBuffer.clear();
}

void MultiCommDevice::receive(const QByteArray& bytes, const char* logName)
{
    _discardAll = false;
    // The state machine may take bytes out of one buffer and not the other:
    // each is held to the cap.
    if (std::max(_rawBuffer.size(), _buffer.size()) + bytes.size() > kMaxBufferedBytes) {
        kestrova::kitLogWith([&] {
            return QStringLiteral("%1: more than %2 bytes received, dropped")
                .arg(QLatin1String(logName))
                .arg(kMaxBufferedBytes);
        });
        _buffer.clear();
        _rawBuffer.clear();
        if (_delegate)
            _delegate->sltGeneralCommDeviceCommandError(this);
        return;
    }
    _rawBuffer.append(bytes);
    const QString chunk = QString::fromLatin1(bytes);
    _buffer.append(chunk);
    if (_delegate)
        _delegate->sltGeneralCommDeviceBufferFilled(this, chunk);
}
