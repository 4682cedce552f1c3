#include "foundation/QVDataStream.h"

QVDataStream::QVDataStream(const QByteArray& data)
    : _data(data)
{
    // Own the bytes now, so a caller that keeps writing into a buffer built
    // with fromRawData() cannot change what this reader returns.
    _data.detach();
}

QVDataStream QVDataStream::streamWithData(const QByteArray& data)
{
    return QVDataStream(data);
}

bool QVDataStream::readBigEndian(int count, quint32& value)
{
    value = 0;
    for (int i = 0; i < count; ++i) {
        unsigned char byte = 0;
        if (read(reinterpret_cast<char*>(&byte), 1) != 1)
            return false;
        value = (value << 8) | byte;
    }
    return true;
}

std::optional<quint32> QVDataStream::readUInt32BigEndian()
{
    quint32 value = 0;
    if (!readBigEndian(4, value))
        return std::nullopt;
    return value;
}

std::optional<quint16> QVDataStream::readUInt16BigEndian()
{
    quint32 value = 0;
    if (!readBigEndian(2, value))
        return std::nullopt;
    return static_cast<quint16>(value);
}

std::optional<quint8> QVDataStream::readUInt8()
{
    quint32 value = 0;
    if (!readBigEndian(1, value))
        return std::nullopt;
    return static_cast<quint8>(value);
}

int QVDataStream::read(char* destination, int maxLength)
{
    if (!destination || maxLength <= 0)
        return 0;
    const qsizetype available = _data.size() - static_cast<qsizetype>(_rIndex);
    const int count = static_cast<int>(std::min<qsizetype>(available, maxLength));
    if (count <= 0)
        return 0;
    std::copy_n(_data.constData() + _rIndex, count, destination);
    _rIndex += static_cast<quint32>(count);
    return count;
}

bool QVDataStream::hasBytesAvailable() const
{
    return static_cast<qsizetype>(_rIndex) < _data.size();
}
