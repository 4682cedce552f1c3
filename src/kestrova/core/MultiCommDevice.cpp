#include "kestrova/core/MultiCommDevice.h"

#include "kestrova/core/KitLog.h"

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

void MultiCommDevice::clearForCommand()
{
    _discardAll = false;
    _buffer.clear();
    _rawBuffer.clear();
}

void MultiCommDevice::receive(const QByteArray& bytes, const char* logName)
{
    _discardAll = false;
    if (_rawBuffer.size() + bytes.size() > kMaxReplyBytes) {
        kestrova::kitLogWith([&] {
            return QStringLiteral("%1: reply longer than %2 bytes dropped")
                .arg(QLatin1String(logName))
                .arg(kMaxReplyBytes);
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
