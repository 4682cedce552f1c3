#pragma once

#include <QByteArray>
#include <optional>

// A forward-only reader of big-endian (network order) numbers over a private
// copy of a byte buffer. A number that runs into the end answers nothing but
// still consumes the bytes that were there.
class QVDataStream {
public:
    // initWithData: reads a copy of data from position 0.
    explicit QVDataStream(const QByteArray& data);
    static QVDataStream streamWithData(const QByteArray& data);

    std::optional<quint32> readUInt32BigEndian();
    std::optional<quint16> readUInt16BigEndian();
    std::optional<quint8> readUInt8();

    // Copies up to maxLength bytes from the position onward into destination,
    // advancing past them; answers the number copied (0 at the end).
    int read(char* destination, int maxLength);

    bool hasBytesAvailable() const;

private:
    // Reads count bytes into value, most significant first; false when fewer
    // were left (those are consumed all the same).
    bool readBigEndian(int count, quint32& value);

    QByteArray _data;
    quint32 _rIndex = 0;
};
