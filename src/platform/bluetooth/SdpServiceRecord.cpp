#include "platform/bluetooth/SdpServiceRecord.h"

#include <QUuid>

namespace platform {

namespace {
// The Bluetooth base UUID 00000000-0000-1000-8000-00805F9B34FB.
const QByteArray& baseUuid()
{
    static const QByteArray base = QByteArray::fromHex("0000000000001000800000805f9b34fb");
    return base;
}

QByteArray bigEndian(quint64 value, int width)
{
    QByteArray bytes(width, '\0');
    for (int i = width - 1; i >= 0; --i) {
        bytes[i] = char(value & 0xFF);
        value >>= 8;
    }
    return bytes;
}
} // namespace

BluetoothUuid BluetoothUuid::uuid16(quint16 value)
{
    return fromBytes(bigEndian(value, 2));
}

BluetoothUuid BluetoothUuid::uuid32(quint32 value)
{
    return fromBytes(bigEndian(value, 4));
}

BluetoothUuid BluetoothUuid::fromBytes(const QByteArray& bytes)
{
    BluetoothUuid uuid;
    if (bytes.size() == 2 || bytes.size() == 4 || bytes.size() == 16)
        uuid._bytes = bytes;
    return uuid;
}

BluetoothUuid BluetoothUuid::fromString(const QString& text)
{
    QString t = text.trimmed();
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        t = t.mid(2);
    if (t.size() == 36) {
        const QUuid uuid = QUuid::fromString(t);
        return uuid.isNull() ? BluetoothUuid() : fromBytes(uuid.toRfc4122());
    }
    if (t.size() != 4 && t.size() != 8)
        return {};
    for (const QChar c : t) {
        if (!isxdigit(c.toLatin1()))
            return {};
    }
    return fromBytes(QByteArray::fromHex(t.toLatin1()));
}

QByteArray BluetoothUuid::to128() const
{
    if (_bytes.size() == 16 || _bytes.isEmpty())
        return _bytes;
    QByteArray full = baseUuid();
    full.replace(4 - _bytes.size(), _bytes.size(), _bytes);
    return full;
}

QString BluetoothUuid::description() const
{
    QString text = QStringLiteral("<");
    for (qsizetype i = 0; i < _bytes.size(); ++i) {
        if (i && i % 4 == 0)
            text += u' ';
        text += QString::number(quint8(_bytes[i]), 16).rightJustified(2, u'0');
    }
    return text + u'>';
}

QString BluetoothUuid::toString() const
{
    if (_bytes.size() == 16)
        return QUuid::fromRfc4122(_bytes).toString(QUuid::WithoutBraces).toUpper();
    return QStringLiteral("0x") + QString::fromLatin1(_bytes.toHex()).toUpper();
}

SdpElement SdpElement::unsignedInt(quint64 value, int width)
{
    SdpElement e;
    e.type = UnsignedInt;
    e.number = value;
    e.width = width;
    return e;
}

SdpElement SdpElement::uuid(const BluetoothUuid& uuid)
{
    SdpElement e;
    e.type = Uuid;
    e.data = uuid.bytes();
    return e;
}

SdpElement SdpElement::text(const QString& text)
{
    SdpElement e;
    e.type = Text;
    e.data = text.toUtf8();
    return e;
}

SdpElement SdpElement::sequence(QList<SdpElement> elements)
{
    SdpElement e;
    e.type = Sequence;
    e.elements = std::move(elements);
    return e;
}

bool operator==(const SdpElement& a, const SdpElement& b)
{
    if (a.type != b.type || a.number != b.number || a.width != b.width || a.data != b.data
        || a.elements.size() != b.elements.size())
        return false;
    return std::equal(a.elements.begin(), a.elements.end(), b.elements.begin(),
                      [](const SdpElement& x, const SdpElement& y) { return x == y; });
}

bool operator==(const SdpServiceRecord& a, const SdpServiceRecord& b)
{
    if (a.attributes.size() != b.attributes.size())
        return false;
    for (auto it = a.attributes.constBegin(), other = b.attributes.constBegin(); it != a.attributes.constEnd();
         ++it, ++other) {
        if (it.key() != other.key() || !(it.value() == other.value()))
            return false;
    }
    return true;
}

SdpServiceRecord SdpServiceRecord::make(const QList<BluetoothUuid>& serviceClasses, const QString& name,
                                        std::optional<quint8> rfcommChannel, bool obex)
{
    SdpServiceRecord record;
    QList<SdpElement> classes;
    for (const BluetoothUuid& uuid : serviceClasses)
        classes.append(SdpElement::uuid(uuid));
    record.attributes.insert(kServiceClassIDList, SdpElement::sequence(classes));
    QList<SdpElement> protocols{SdpElement::sequence({SdpElement::uuid(BluetoothUuid::uuid16(kProtocolL2cap))})};
    if (rfcommChannel) {
        protocols.append(SdpElement::sequence(
            {SdpElement::uuid(BluetoothUuid::uuid16(kProtocolRfcomm)), SdpElement::unsignedInt(*rfcommChannel, 1)}));
    }
    if (obex)
        protocols.append(SdpElement::sequence({SdpElement::uuid(BluetoothUuid::uuid16(kProtocolObex))}));
    record.attributes.insert(kProtocolDescriptorList, SdpElement::sequence(protocols));
    if (!name.isEmpty())
        record.attributes.insert(kServiceName, SdpElement::text(name));
    return record;
}

QString SdpServiceRecord::serviceName() const
{
    const auto it = attributes.constFind(kServiceName);
    if (it == attributes.constEnd() || it->type != SdpElement::Text)
        return QString();
    // Phones end their names with a NUL now and then.
    QByteArray bytes = it->data;
    if (const qsizetype nul = bytes.indexOf('\0'); nul >= 0)
        bytes.truncate(nul);
    return QString::fromUtf8(bytes);
}

namespace {
bool containsUuid(const SdpElement& element, const BluetoothUuid& uuid)
{
    if (element.type == SdpElement::Uuid)
        return element.uuidValue() == uuid;
    for (const SdpElement& child : element.elements) {
        if (containsUuid(child, uuid))
            return true;
    }
    return false;
}

std::optional<quint8> channelIn(const SdpElement& list)
{
    const BluetoothUuid rfcomm = BluetoothUuid::uuid16(SdpServiceRecord::kProtocolRfcomm);
    for (const SdpElement& descriptor : list.elements) {
        if (descriptor.type == SdpElement::Alternative || (descriptor.type == SdpElement::Sequence
                                                           && !descriptor.elements.isEmpty()
                                                           && descriptor.elements.first().type != SdpElement::Uuid)) {
            // An alternative of protocol lists, or a list of lists.
            if (auto channel = channelIn(descriptor))
                return channel;
            continue;
        }
        if (descriptor.type != SdpElement::Sequence || descriptor.elements.size() < 2)
            continue;
        if (descriptor.elements[0].uuidValue() != rfcomm)
            continue;
        const SdpElement& parameter = descriptor.elements[1];
        if (parameter.type == SdpElement::UnsignedInt && parameter.width <= 8 && parameter.number >= 1
            && parameter.number <= 255)
            return quint8(parameter.number);
        return std::nullopt;
    }
    return std::nullopt;
}
} // namespace

bool SdpServiceRecord::hasUuid(const BluetoothUuid& uuid) const
{
    for (const SdpElement& value : attributes) {
        if (containsUuid(value, uuid))
            return true;
    }
    return false;
}

std::optional<quint8> SdpServiceRecord::rfcommChannelID() const
{
    const auto it = attributes.constFind(kProtocolDescriptorList);
    if (it == attributes.constEnd())
        return std::nullopt;
    if (it->type != SdpElement::Sequence && it->type != SdpElement::Alternative)
        return std::nullopt;
    return channelIn(*it);
}

namespace sdp {

namespace {
constexpr int kSizeIndexBytes[] = {1, 2, 4, 8, 16};

void encodeInto(const SdpElement& e, QByteArray& out)
{
    const auto header = [&](int sizeIndex) { out.append(char(quint8(e.type) << 3 | sizeIndex)); };
    const auto withLength = [&](const QByteArray& body) {
        if (body.size() <= 0xFF) {
            header(5);
            out.append(bigEndian(quint64(body.size()), 1));
        } else if (body.size() <= 0xFFFF) {
            header(6);
            out.append(bigEndian(quint64(body.size()), 2));
        } else {
            header(7);
            out.append(bigEndian(quint64(body.size()), 4));
        }
        out.append(body);
    };
    switch (e.type) {
    case SdpElement::Nil:
        header(0);
        return;
    case SdpElement::Bool:
        header(0);
        out.append(char(e.number ? 1 : 0));
        return;
    case SdpElement::UnsignedInt:
    case SdpElement::SignedInt: {
        if (e.width == 16) {
            header(4);
            out.append(e.data.leftJustified(16, '\0', true));
            return;
        }
        int index = 0;
        while (index < 3 && kSizeIndexBytes[index] < e.width)
            ++index;
        header(index);
        out.append(bigEndian(e.number, kSizeIndexBytes[index]));
        return;
    }
    case SdpElement::Uuid:
        header(e.data.size() == 2 ? 1 : e.data.size() == 4 ? 2 : 4);
        out.append(e.data.leftJustified(e.data.size() == 2 || e.data.size() == 4 ? e.data.size() : 16, '\0', true));
        return;
    case SdpElement::Text:
    case SdpElement::Url:
        withLength(e.data);
        return;
    case SdpElement::Sequence:
    case SdpElement::Alternative: {
        QByteArray body;
        for (const SdpElement& child : e.elements)
            encodeInto(child, body);
        withLength(body);
        return;
    }
    }
}

// A bounded reader over untrusted bytes.
class Reader {
public:
    explicit Reader(const QByteArray& bytes) : _bytes(bytes) {}

    std::optional<SdpElement> element(int depth)
    {
        if (depth > kMaxDepth || ++_elements > kMaxElements || !has(1))
            return std::nullopt;
        const quint8 descriptor = quint8(_bytes[_at++]);
        const int type = descriptor >> 3;
        const int sizeIndex = descriptor & 7;
        if (type > SdpElement::Url)
            return std::nullopt;
        SdpElement e;
        e.type = SdpElement::Type(type);
        qsizetype length = 0;
        if (sizeIndex <= 4) {
            length = kSizeIndexBytes[sizeIndex];
        } else {
            const int lengthBytes = sizeIndex == 5 ? 1 : sizeIndex == 6 ? 2 : 4;
            std::optional<quint64> value = number(lengthBytes);
            if (!value)
                return std::nullopt;
            length = qsizetype(*value);
        }
        switch (e.type) {
        case SdpElement::Nil:
            return sizeIndex == 0 ? std::optional(e) : std::nullopt;
        case SdpElement::Bool: {
            if (sizeIndex != 0)
                return std::nullopt;
            std::optional<quint64> value = number(1);
            if (!value)
                return std::nullopt;
            e.number = *value ? 1 : 0;
            return e;
        }
        case SdpElement::UnsignedInt:
        case SdpElement::SignedInt: {
            if (sizeIndex > 4)
                return std::nullopt;
            e.width = int(length);
            if (length == 16) {
                if (!has(16))
                    return std::nullopt;
                e.data = _bytes.mid(_at, 16);
                _at += 16;
                return e;
            }
            std::optional<quint64> value = number(int(length));
            if (!value)
                return std::nullopt;
            e.number = *value;
            return e;
        }
        case SdpElement::Uuid:
            if (sizeIndex < 1 || sizeIndex > 4 || sizeIndex == 3 || !has(length))
                return std::nullopt;
            e.data = _bytes.mid(_at, length);
            _at += length;
            return e;
        case SdpElement::Text:
        case SdpElement::Url:
            if (sizeIndex < 5 || !has(length))
                return std::nullopt;
            e.data = _bytes.mid(_at, length);
            _at += length;
            return e;
        case SdpElement::Sequence:
        case SdpElement::Alternative: {
            if (sizeIndex < 5 || !has(length))
                return std::nullopt;
            const qsizetype end = _at + length;
            while (_at < end) {
                const qsizetype limit = _limit;
                _limit = end;
                std::optional<SdpElement> child = element(depth + 1);
                _limit = limit;
                if (!child)
                    return std::nullopt;
                e.elements.append(std::move(*child));
            }
            return e;
        }
        }
        return std::nullopt;
    }

    bool atEnd() const { return _at == _bytes.size(); }

private:
    bool has(qsizetype count) const { return count >= 0 && count <= _limit - _at; }
    std::optional<quint64> number(int count)
    {
        if (!has(count))
            return std::nullopt;
        quint64 value = 0;
        for (int i = 0; i < count; ++i)
            value = value << 8 | quint8(_bytes[_at++]);
        return value;
    }

    const QByteArray& _bytes;
    qsizetype _at = 0;
    qsizetype _limit = _bytes.size();
    int _elements = 0;
};
} // namespace

QByteArray encode(const SdpElement& element)
{
    QByteArray out;
    encodeInto(element, out);
    return out;
}

std::optional<SdpElement> decode(const QByteArray& bytes)
{
    Reader reader(bytes);
    std::optional<SdpElement> element = reader.element(0);
    if (!element || !reader.atEnd())
        return std::nullopt;
    return element;
}

QByteArray encodeRecord(const SdpServiceRecord& record)
{
    QList<SdpElement> pairs;
    for (auto it = record.attributes.constBegin(); it != record.attributes.constEnd(); ++it) {
        pairs.append(SdpElement::unsignedInt(it.key(), 2));
        pairs.append(it.value());
    }
    return encode(SdpElement::sequence(pairs));
}

std::optional<SdpServiceRecord> decodeRecord(const QByteArray& bytes)
{
    std::optional<SdpElement> list = decode(bytes);
    if (!list || list->type != SdpElement::Sequence || list->elements.size() % 2 != 0)
        return std::nullopt;
    SdpServiceRecord record;
    for (qsizetype i = 0; i < list->elements.size(); i += 2) {
        const SdpElement& id = list->elements[i];
        if (id.type != SdpElement::UnsignedInt || id.width != 2 || record.attributes.contains(quint16(id.number)))
            return std::nullopt;
        record.attributes.insert(quint16(id.number), list->elements[i + 1]);
    }
    return record;
}

} // namespace sdp

} // namespace platform
