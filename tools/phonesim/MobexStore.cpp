#include "MobexStore.h"

#include <QString>

#include <algorithm>

namespace phonesim {

namespace {
constexpr quint8 kMobexContinue = 0x90;
constexpr quint8 kMobexSuccess = 0xA0;
constexpr quint8 kMobexBadRequest = 0xC0;
constexpr quint8 kMobexNotFound = 0xC4;
constexpr quint8 kMobexHType = 0x42;
constexpr quint8 kMobexHBody = 0x48;
constexpr quint8 kMobexHEndOfBody = 0x49;
constexpr quint8 kMobexHAppParams = 0x4C;

int mobexBig16(const QByteArray& bytes, qsizetype at)
{
    return (quint8(bytes[at]) << 8) | quint8(bytes[at + 1]);
}

QByteArray mobexU16(int value)
{
    QByteArray out(2, '\0');
    out[0] = char((value >> 8) & 0xFF);
    out[1] = char(value & 0xFF);
    return out;
}

QByteArray mobexHeader(quint8 id, const QByteArray& value)
{
    return QByteArray(1, char(id)) + mobexU16(int(value.size()) + 3) + value;
}

QByteArray mobexPacket(quint8 code, const QByteArray& rest)
{
    return QByteArray(1, char(code)) + mobexU16(int(rest.size()) + 3) + rest;
}

struct MobexHeaders {
    bool valid = true;
    std::optional<QByteArray> type;
    QByteArray params;
    QByteArray body;
};

MobexHeaders mobexParse(const QByteArray& packet, qsizetype at)
{
    MobexHeaders h;
    while (at < packet.size()) {
        const quint8 id = quint8(packet[at]);
        qsizetype length = 0;
        switch (id >> 6) {
        case 0:
        case 1:
            if (packet.size() - at < 3)
                return MobexHeaders{false, {}, {}, {}};
            length = mobexBig16(packet, at + 1);
            break;
        case 2:
            length = 2;
            break;
        default:
            length = 5;
            break;
        }
        if (length < ((id >> 6) < 2 ? 3 : 1) || packet.size() - at < length)
            return MobexHeaders{false, {}, {}, {}};
        const QByteArray value = (id >> 6) < 2 ? packet.mid(at + 3, length - 3) : QByteArray();
        if (id == kMobexHType) {
            QByteArray text = value;
            if (text.endsWith('\0'))
                text.chop(1);
            h.type = text;
        } else if (id == kMobexHAppParams) {
            h.params = value;
        } else if (id == kMobexHBody || id == kMobexHEndOfBody) {
            h.body += value;
        }
        at += length;
    }
    return h;
}
} // namespace

MobexStore::MobexStore()
{
    _capacity[{0, 1}] = 500;
    _capacity[{1, 1}] = 300;
    _capacity[{1, 7}] = 100;
    _capacity[{1, 8}] = 100;
    for (int i = 0; i < 24; ++i)
        _contactLimits.append(i < 8 ? 32 : (i % 2 ? 40 : 5));
}

void MobexStore::fillContacts(MobexStore& store, int count)
{
    for (int i = 0; i < count; ++i) {
        store.put(0, 1, i,
                  QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Contact%1;Test\r\nTEL;CELL:+4917%2\r\nEND:VCARD\r\n")
                      .arg(i)
                      .arg(1000000 + i)
                      .toUtf8());
    }
}

void MobexStore::reset()
{
    _putOpen = false;
    _getParams.reset();
    _getRest.clear();
}

QByteArray MobexStore::reply(int status, const QByteArray& data) const
{
    QByteArray params(2, '\0');
    params[1] = char(status);
    return mobexHeader(kMobexHAppParams, params) + mobexHeader(kMobexHEndOfBody, data);
}

QByteArray MobexStore::nextPart(int room)
{
    // Room for the prefix (3), the App-Parameters (5) and the body header (3).
    const int chunk = std::max(1, room - 11);
    if (_getRest.size() > chunk) {
        const QByteArray part = _getRest.left(chunk);
        _getRest.remove(0, chunk);
        return mobexPacket(kMobexContinue, mobexHeader(kMobexHBody, part));
    }
    const QByteArray params = *_getParams;
    const QByteArray rest = _getRest;
    reset();
    return mobexPacket(kMobexSuccess, mobexHeader(kMobexHAppParams, params) + mobexHeader(kMobexHEndOfBody, rest));
}

std::optional<QByteArray> MobexStore::answer(const QByteArray& request, int room)
{
    if (request.size() < 3)
        return std::nullopt;
    const quint8 opcode = quint8(request[0]);
    const bool isGet = (opcode & 0x7F) == 0x03;
    const bool isPut = (opcode & 0x7F) == 0x02;
    if (!isGet && !isPut)
        return std::nullopt;
    if (isGet && _getParams)
        return nextPart(room);
    const MobexHeaders h = mobexParse(request, 3);
    if (isPut && _putOpen) {
        if (!h.valid)
            return mobexPacket(kMobexBadRequest, {});
        _putBody += h.body;
        if (!(opcode & 0x80))
            return mobexPacket(kMobexContinue, {});
        _putOpen = false;
        return mobexPacket(kMobexSuccess, handle(_putType, _putParams, _putBody, false));
    }
    if (!h.valid || !h.type || !h.type->startsWith("m-obex/"))
        return std::nullopt;
    if (isGet) {
        if (_faults & RejectGet)
            return mobexPacket(kMobexBadRequest, {});
        const QByteArray body = handle(*h.type, h.params, {}, true);
        if (body.isNull())
            return mobexPacket(kMobexNotFound, {});
        // body is App-Parameters + End-of-Body: split it again for parts.
        const MobexHeaders parts = mobexParse(body, 0);
        _getParams = parts.params;
        _getRest = parts.body;
        return nextPart(room);
    }
    if (!(opcode & 0x80)) {
        _putOpen = true;
        _putType = *h.type;
        _putParams = h.params;
        _putBody = h.body;
        return mobexPacket(kMobexContinue, {});
    }
    return mobexPacket(kMobexSuccess, handle(*h.type, h.params, h.body, false));
}

QByteArray MobexStore::handle(const QByteArray& type, const QByteArray& params, const QByteArray& body, bool isGet)
{
    const QList<QByteArray> parts = type.split('/');
    if (parts.size() != 3)
        return isGet ? QByteArray() : reply(1, {});
    const int property = parts[1] == "contacts" ? 0 : parts[1] == "calendar" ? 1 : -1;
    const QByteArray op = parts[2];
    if (property < 0)
        return isGet ? QByteArray() : reply(1, {});
    const int sub = params.isEmpty() ? 1 : quint8(params[0]);
    const int index = params.size() >= 3 ? mobexBig16(params, 1) : 0;
    QMap<int, QByteArray>& records = _records[{property, sub}];
    const int capacity = _capacity.value({property, sub}, 0);
    const int writeStatus = (_faults & WriteStatus) ? 4 : 0;
    if (op == "count") {
        QByteArray data = mobexU16(capacity) + mobexU16(int(records.size()));
        if (_faults & ShortCount)
            data.chop(1);
        return reply(0, data);
    }
    if (op == "info") {
        QByteArray data;
        if (property == 0 && !params.isEmpty()) {
            for (const int limit : std::as_const(_contactLimits))
                data += mobexU16(limit);
        } else {
            data = mobexU16(capacity);
        }
        return reply(0, data);
    }
    if (op == "load") {
        const int first = index * _blockSize;
        QByteArray data;
        int at = 0;
        int taken = 0;
        for (auto it = records.cbegin(); it != records.cend(); ++it, ++at) {
            if (at < first || taken >= _blockSize)
                continue;
            ++taken;
            data += mobexU16(it.key()) + mobexU16(int(it.value().size())) + it.value();
        }
        if ((_faults & RecordPastBlock) && !data.isEmpty())
            data.chop(1);
        const bool more = first + taken < records.size();
        return reply(more ? 2 : 0, data);
    }
    if (op == "read") {
        if (!records.contains(index))
            return QByteArray();
        return reply(0, records.value(index));
    }
    if (op == "delete") {
        if (writeStatus)
            return reply(writeStatus, {});
        return reply(records.remove(index) > 0 ? 0 : 1, {});
    }
    if (op == "write") {
        if (writeStatus)
            return reply(writeStatus, {});
        if (!records.contains(index))
            return reply(1, {});
        records[index] = body;
        return reply(0, {});
    }
    if (op == "create") {
        if (writeStatus)
            return reply(writeStatus, {});
        if (records.size() >= capacity)
            return reply(3, {});
        int free = std::max(0, _firstCreateIndex);
        while (records.contains(free))
            ++free;
        records[free] = body;
        return reply(0, (_faults & CreateWithoutIndex) ? QByteArray() : mobexU16(free));
    }
    return isGet ? QByteArray() : reply(1, {});
}

} // namespace phonesim
