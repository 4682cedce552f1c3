#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <optional>

namespace platform {

// A service UUID of 2, 4 or 16 bytes. Short forms stand for their place in
// the Bluetooth base UUID, so 0x1101 equals 00001101-0000-1000-8000-00805F9B34FB.
class BluetoothUuid {
public:
    BluetoothUuid() = default;
    static BluetoothUuid uuid16(quint16 value);
    static BluetoothUuid uuid32(quint32 value);
    // bytes must be 2, 4 or 16 long; any other length gives an invalid UUID.
    static BluetoothUuid fromBytes(const QByteArray& bytes);
    // "0x1101", "1101", "00001101" or "00005005-0000-1000-8000-0002EE000001";
    // an invalid UUID for anything else.
    static BluetoothUuid fromString(const QString& text);

    bool isValid() const { return !_bytes.isEmpty(); }
    const QByteArray& bytes() const { return _bytes; }
    // The 16-byte form.
    QByteArray to128() const;
    // The bytes as the platform prints data: "<1101>", and for the long form
    // "<00005005 00001000 80000002 ee000001>".
    QString description() const;
    // "0x1101", or the long form with dashes: the form fromString() reads.
    QString toString() const;

    friend bool operator==(const BluetoothUuid& a, const BluetoothUuid& b) { return a.to128() == b.to128(); }

private:
    QByteArray _bytes;
};

// One SDP data element, typed as the SDP standard types them.
struct SdpElement {
    enum Type : quint8 {
        Nil = 0,
        UnsignedInt = 1,
        SignedInt = 2,
        Uuid = 3,
        Text = 4,
        Bool = 5,
        Sequence = 6,
        Alternative = 7,
        Url = 8,
    };

    Type type = Nil;
    // Integers: the value and its width in bytes (1, 2, 4, 8; 16-byte
    // integers keep their bytes in data). Bool: 0 or 1.
    quint64 number = 0;
    int width = 0;
    // UUID, text and URL bytes; 16-byte integers.
    QByteArray data;
    // Sequence and alternative.
    QList<SdpElement> elements;

    static SdpElement unsignedInt(quint64 value, int width);
    static SdpElement uuid(const BluetoothUuid& uuid);
    static SdpElement text(const QString& text);
    static SdpElement sequence(QList<SdpElement> elements);

    BluetoothUuid uuidValue() const { return type == Uuid ? BluetoothUuid::fromBytes(data) : BluetoothUuid(); }
    friend bool operator==(const SdpElement& a, const SdpElement& b);
};

// One service record of a phone: its attributes by attribute id.
class SdpServiceRecord {
public:
    static constexpr quint16 kServiceClassIDList = 0x0001;
    static constexpr quint16 kProtocolDescriptorList = 0x0004;
    static constexpr quint16 kServiceName = 0x0100;
    static constexpr quint16 kProtocolRfcomm = 0x0003;
    static constexpr quint16 kProtocolL2cap = 0x0100;
    static constexpr quint16 kProtocolObex = 0x0008;

    QMap<quint16, SdpElement> attributes;

    // A record as phones publish them: the service classes, an L2CAP and
    // RFCOMM protocol list (plus OBEX when obex is set) and the name.
    static SdpServiceRecord make(const QList<BluetoothUuid>& serviceClasses, const QString& name,
                                 std::optional<quint8> rfcommChannel, bool obex = false);

    // The service name (attribute 0x0100), empty when there is none.
    QString serviceName() const;
    // Whether uuid appears anywhere in the record, as an SDP search finds it.
    bool hasUuid(const BluetoothUuid& uuid) const;
    // The RFCOMM channel of the protocol descriptor list; nullopt when the
    // record has none (or one outside 1-255).
    std::optional<quint8> rfcommChannelID() const;

    friend bool operator==(const SdpServiceRecord& a, const SdpServiceRecord& b);
};

// The SDP binary form of data elements and records (a record is a sequence
// of attribute id and value pairs). Decoding takes untrusted bytes: every
// length is checked, nesting and element counts are bounded; nullopt for
// anything malformed.
namespace sdp {
inline constexpr int kMaxDepth = 16;
inline constexpr int kMaxElements = 4096;

QByteArray encode(const SdpElement& element);
std::optional<SdpElement> decode(const QByteArray& bytes);
QByteArray encodeRecord(const SdpServiceRecord& record);
std::optional<SdpServiceRecord> decodeRecord(const QByteArray& bytes);
} // namespace sdp

} // namespace platform
