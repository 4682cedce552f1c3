#include "ObexServer.h"

#include "IrmcPhone.h"

#include <QFile>
#include <QRegularExpression>
#include <algorithm>

namespace phonesim {

namespace {
constexpr quint8 kConnect = 0x80;
constexpr quint8 kDisconnect = 0x81;
constexpr quint8 kPut = 0x02;
constexpr quint8 kGet = 0x03;
constexpr quint8 kSetPath = 0x85;
constexpr quint8 kAbort = 0xFF;
constexpr quint8 kFinal = 0x80;

constexpr quint8 kContinue = 0x90;
constexpr quint8 kSuccess = 0xA0;
constexpr quint8 kBadRequest = 0xC0;
constexpr quint8 kForbidden = 0xC3;
constexpr quint8 kNotFound = 0xC4;
constexpr quint8 kNotImplemented = 0xD1;

constexpr quint8 kHName = 0x01;
constexpr quint8 kHType = 0x42;
constexpr quint8 kHTarget = 0x46;
constexpr quint8 kHBody = 0x48;
constexpr quint8 kHEndOfBody = 0x49;
constexpr quint8 kHWho = 0x4A;
constexpr quint8 kHConnectionId = 0xCB;

const QByteArray kFolderListingType = "x-obex/folder-listing";
const QByteArray kCapabilityType = "x-obex/capability";
const QByteArray kLineEnd = "\r\n";

QByteArray knownTargets[] = {"MOBEX", "SYNCML-SYNC", "IRMC-SYNC",
                             QByteArray::fromHex("F9EC7BC4953C11D2984E525400DC9E09")};

void putBig16(QByteArray& out, qsizetype at, int value)
{
    out[at] = char((value >> 8) & 0xFF);
    out[at + 1] = char(value & 0xFF);
}

int big16(const QByteArray& bytes, qsizetype at)
{
    return (quint8(bytes[at]) << 8) | quint8(bytes[at + 1]);
}

QByteArray packet(quint8 code, const QByteArray& rest = {})
{
    QByteArray out(3, '\0');
    out[0] = char(code);
    out += rest;
    putBig16(out, 1, int(out.size()));
    return out;
}

QByteArray variableHeader(quint8 id, const QByteArray& value)
{
    QByteArray out(3, '\0');
    out[0] = char(id);
    putBig16(out, 1, int(value.size() + 3));
    return out + value;
}

QByteArray fourByteHeader(quint8 id, quint32 value)
{
    QByteArray out(1, char(id));
    for (int shift = 24; shift >= 0; shift -= 8)
        out.append(char((value >> shift) & 0xFF));
    return out;
}

struct Headers {
    bool valid = true;
    std::optional<QByteArray> name;   // raw UTF-16 BE
    std::optional<QByteArray> type;
    std::optional<QByteArray> target;
    QByteArray body;
    bool hasBody = false;
    bool endOfBody = false;
};

Headers parseHeaders(const QByteArray& bytes, qsizetype at)
{
    Headers h;
    while (at < bytes.size()) {
        const quint8 id = quint8(bytes[at]);
        const int form = id & 0xC0;
        qsizetype size = 0;
        if (form == 0x80)
            size = 2;
        else if (form == 0xC0)
            size = 5;
        else if (at + 3 <= bytes.size())
            size = big16(bytes, at + 1);
        if (size < (form < 0x80 ? 3 : 1) || at + size > bytes.size()) {
            h.valid = false;
            return h;
        }
        const QByteArray value = form < 0x80 ? bytes.mid(at + 3, size - 3) : QByteArray();
        switch (id) {
        case kHName:
            h.name = value;
            break;
        case kHType:
            h.type = value.endsWith('\0') ? value.chopped(1) : value;
            break;
        case kHTarget:
            h.target = value;
            break;
        case kHBody:
        case kHEndOfBody:
            h.body += value;
            h.hasBody = true;
            h.endOfBody = h.endOfBody || id == kHEndOfBody;
            break;
        default:
            break;
        }
        at += size;
    }
    return h;
}

QString nameText(const QByteArray& utf16)
{
    QString text;
    for (qsizetype i = 0; i + 1 < utf16.size(); i += 2) {
        const char16_t c = char16_t(big16(utf16, i));
        if (c == 0)
            break;
        text.append(QChar(c));
    }
    return text;
}

// A write answer of the IrMC phonebook, with its App-Parameters if any.
QByteArray irmcPutAnswer(const IrmcPhone::PutAnswer& answer)
{
    return packet(answer.code, answer.appParams.isEmpty() ? QByteArray() : variableHeader(0x4C, answer.appParams));
}

QString xmlEscaped(const QString& text)
{
    return text.toHtmlEscaped();
}
} // namespace

bool ObexServer::isHangup(const QByteArray& bytes)
{
    return bytes.startsWith("+++");
}

QByteArray ObexServer::cannedSyncMLMessage(const QString& name)
{
    QFile file(QStringLiteral(":/phonesim/fixtures/%1.wbxml").arg(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void ObexServer::enterObexMode()
{
    leaveObexMode();
    _obexMode = true;
}

void ObexServer::leaveObexMode()
{
    _obexMode = false;
    _protocolSession = false;
    _pending.clear();
    _connected = false;
    _putStarted = false;
    _getData.reset();
    if (_mobex)
        _mobex->reset();
}

std::optional<ObexServer::SwitchAnswer> ObexServer::atLine(const QByteArray& rawLine)
{
    const QByteArray line = rawLine.trimmed().toUpper();
    if (_irmc && line == "AT+CPROT=?")
        return SwitchAnswer{kLineEnd + "+CPROT: (0),(\"1.2\"),(8)" + kLineEnd + kLineEnd + "OK" + kLineEnd, false};
    const bool cprot = line == "AT+CPROT=0";
    const bool syncml = line.startsWith("AT+SYNCML");
    if (!cprot && !syncml)
        return std::nullopt;
    if (!_switchRefusal.isEmpty())
        return SwitchAnswer{kLineEnd + std::exchange(_switchRefusal, QByteArray()) + kLineEnd, false};
    SwitchAnswer result;
    result.enterObex = true;
    if (cprot) {
        result.answer = kLineEnd + "CONNECT" + kLineEnd;
    } else if (line == "AT+SYNCML=?" && _mobex) {
        return SwitchAnswer{kLineEnd + "MOBEXSTART" + kLineEnd + kLineEnd + "OK" + kLineEnd, false};
    } else if (line == "AT+SYNCML=MOBEXSTART") {
        result.answer = kLineEnd + "OK" + kLineEnd;
    } else {
        static const QRegularExpression perDatabase(QStringLiteral("^AT\\+SYNCML(=\\d+)?$"));
        if (!perDatabase.match(QString::fromLatin1(line)).hasMatch())
            return SwitchAnswer{kLineEnd + "ERROR" + kLineEnd, false};
        // The per-database switch is answered by the Connect answer itself.
        result.answer = applyFault(connectAnswer("SYNCML-SYNC", true));
    }
    _obexMode = true;
    _protocolSession = cprot;
    _pending.clear();
    return result;
}

ObexServer::Output ObexServer::input(const QByteArray& bytes)
{
    Output out;
    if (_pending.isEmpty() && isHangup(bytes)) {
        leaveObexMode();
        out.hangup = true;
        return out;
    }
    _pending += bytes;
    while (_pending.size() >= 3) {
        const int length = big16(_pending, 1);
        if (length < 3) {
            _pending.clear();   // no packet: what came is dropped
            break;
        }
        if (_pending.size() < length)
            break;
        const QByteArray request = _pending.left(length);
        _pending.remove(0, length);
        if (_client.active()) {
            // The program's answer to the phone's own request.
            const QByteArray next = _client.onAnswer(request);
            if (!next.isEmpty())
                out.answers.append(next);
            continue;
        }
        const QByteArray answer = applyFault(answerRequest(request));
        if (!answer.isEmpty())
            out.answers.append(answer);
        if (std::exchange(_notificationIn, false) && _client.armed() && !_client.done())
            out.answers.append(_client.start());
        if (_protocolSession && quint8(request[0]) == kDisconnect) {
            // A session switched on with AT+CPROT ends with its Disconnect:
            // the line is back in command mode, as after a hang-up.
            leaveObexMode();
            out.hangup = true;
            break;
        }
    }
    return out;
}

QByteArray ObexServer::applyFault(QByteArray answer)
{
    if (_faults.empty())
        return answer;
    const Fault fault = _faults.front();
    _faults.pop_front();
    switch (fault.kind) {
    case FaultKind::Silence:
        return {};
    case FaultKind::Text:
        return fault.text;
    case FaultKind::ResponseCode:
        answer[0] = char(fault.value);
        return answer;
    case FaultKind::LengthDelta:
        putBig16(answer, 1, std::clamp(int(answer.size()) + fault.value, 0, 0xFFFF));
        return answer;
    }
    return answer;
}

int ObexServer::room() const
{
    return std::min(_maxPacket, _peerMaxPacket) - 6;
}

QByteArray ObexServer::connectAnswer(const QByteArray& target, bool hasTarget)
{
    QByteArray fixed(4, '\0');
    fixed[0] = char(0x10);
    fixed[1] = 0;
    putBig16(fixed, 2, _maxPacket);
    if (hasTarget && std::find(std::begin(knownTargets), std::end(knownTargets), target) == std::end(knownTargets))
        return packet(kForbidden, fixed);
    if (hasTarget && !_refusedTarget.isEmpty() && target == _refusedTarget)
        return packet(kForbidden, fixed);
    _connected = true;
    _target = target;
    // Every connection starts at the root, whatever the last one browsed.
    _folder.clear();
    QByteArray headers = fourByteHeader(kHConnectionId, _nextConnectionId++);
    if (hasTarget)
        headers += variableHeader(kHWho, target);
    return packet(kSuccess, fixed + headers);
}

QByteArray ObexServer::answerRequest(const QByteArray& request)
{
    const quint8 opcode = quint8(request[0]);
    _requests.append(opcode);
    _packets.append(request);
    switch (opcode) {
    case kConnect: {
        if (request.size() < 7)
            return packet(kBadRequest);
        _peerMaxPacket = std::max(255, big16(request, 5));
        const Headers h = parseHeaders(request, 7);
        if (!h.valid)
            return packet(kBadRequest);
        return connectAnswer(h.target.value_or(QByteArray()), h.target.has_value());
    }
    case kDisconnect:
        _connected = false;
        return packet(kSuccess);
    case kPut:
    case kPut | kFinal:
    case kGet:
    case kGet | kFinal:
        if (_mobex && _target == "MOBEX") {
            if (auto answer = _mobex->answer(request, room() + 6))
                return *answer;
        }
        return (opcode & 0x7F) == kPut ? put(request) : get(request);
    case kSetPath:
        return setPath(request);
    case kAbort:
        _putStarted = false;
        _getData.reset();
        return packet(kSuccess);
    default:
        return packet(kNotImplemented);
    }
}

QString ObexServer::pathOf(const QString& name) const
{
    return _folder + QLatin1Char('/') + name;
}

QByteArray ObexServer::put(const QByteArray& request)
{
    const Headers h = parseHeaders(request, 3);
    if (!h.valid)
        return packet(kBadRequest);
    const bool final = quint8(request[0]) & kFinal;
    if (!_putStarted) {
        _putStarted = true;
        _putName = h.name ? nameText(*h.name) : QString();
        _putIsNotification = h.type && h.type->startsWith("application/vnd.syncml.notification");
        _putData.clear();
        if (final && !h.hasBody && h.name && _irmc && IrmcPhone::handles(_putName)) {
            _putStarted = false;
            return irmcPutAnswer(_irmc->put(_putName, QByteArray(), false));
        }
        if (final && !h.hasBody && h.name) {
            // A Put without body deletes (a folder only when empty).
            _putStarted = false;
            const QString path = pathOf(_putName);
            if (_files.remove(path) > 0)
                return packet(kSuccess);
            if (!folderExists(path))
                return packet(kNotFound);
            const QString below = path + QLatin1Char('/');
            const auto inside = [&](const QString& other) { return other.startsWith(below); };
            if (std::any_of(_files.keyBegin(), _files.keyEnd(), inside)
                || std::any_of(_folders.cbegin(), _folders.cend(), inside))
                return packet(kForbidden);
            _folders.remove(path);
            return packet(kSuccess);
        }
    }
    _putData += h.body;
    if (!final)
        return packet(kContinue);
    _putStarted = false;
    if (_irmc && IrmcPhone::handles(_putName))
        return irmcPutAnswer(_irmc->put(_putName, _putData, true));
    _notificationIn = _putIsNotification;
    _files.insert(pathOf(_putName.isEmpty() ? QStringLiteral("unnamed") : _putName), _putData);
    return packet(kSuccess);
}

QByteArray ObexServer::get(const QByteArray& request)
{
    if (!_getData) {
        const Headers h = parseHeaders(request, 3);
        if (!h.valid)
            return packet(kBadRequest);
        if (h.type && *h.type == kFolderListingType) {
            _getData = _listingOverride.isEmpty() ? folderListing() : _listingOverride;
        } else if (h.type && *h.type == kCapabilityType) {
            if (_capability.isEmpty())
                return packet(kNotFound);
            _getData = _capability;
        } else if (!h.name && h.type && h.type->startsWith("application/vnd.syncml+wbxml")) {
            if (_syncMLAnswer.isEmpty())
                return packet(kNotFound);
            _getData = _syncMLAnswer;
        } else if (h.name && _irmc && IrmcPhone::handles(nameText(*h.name))) {
            const auto object = _irmc->get(nameText(*h.name));
            if (!object)
                return packet(kNotFound);
            _getData = *object;
        } else if (h.name) {
            const QString path = pathOf(nameText(*h.name));
            if (!_files.contains(path))
                return packet(kNotFound);
            _getData = _files.value(path);
        } else {
            return packet(kBadRequest);
        }
        _getAt = 0;
    }
    return nextGetPart();
}

QByteArray ObexServer::nextGetPart()
{
    const qsizetype rest = _getData->size() - _getAt;
    const int chunk = std::max(1, room());
    if (rest > chunk) {
        const QByteArray part = _getData->mid(_getAt, chunk);
        _getAt += chunk;
        return packet(kContinue, variableHeader(kHBody, part));
    }
    const QByteArray part = _getData->mid(_getAt);
    _getData.reset();
    return packet(kSuccess, variableHeader(kHEndOfBody, part));
}

QByteArray ObexServer::setPath(const QByteArray& request)
{
    if (request.size() < 5)
        return packet(kBadRequest);
    const quint8 flags = quint8(request[3]);
    const Headers h = parseHeaders(request, 5);
    if (!h.valid)
        return packet(kBadRequest);
    if (flags & 0x01) {
        if (_folder.isEmpty())
            return packet(kNotFound);
        _folder = _folder.left(_folder.lastIndexOf(QLatin1Char('/')));
        return packet(kSuccess);
    }
    const QString name = h.name ? nameText(*h.name) : QString();
    if (name.isEmpty()) {
        _folder.clear();
        return packet(kSuccess);
    }
    const QString path = pathOf(name);
    if (!folderExists(path)) {
        if (flags & 0x02)
            return packet(kNotFound);
        _folders.insert(path);
    }
    _folder = path;
    return packet(kSuccess);
}

bool ObexServer::folderExists(const QString& path) const
{
    if (_folders.contains(path))
        return true;
    const QString below = path + QLatin1Char('/');
    const auto inside = [&](const QString& other) { return other.startsWith(below); };
    return std::any_of(_files.keyBegin(), _files.keyEnd(), inside)
        || std::any_of(_folders.cbegin(), _folders.cend(), inside);
}

QByteArray ObexServer::folderListing() const
{
    QString xml = QStringLiteral("<?xml version=\"1.0\"?>\n"
                                 "<!DOCTYPE folder-listing SYSTEM \"obex-folder-listing.dtd\">\n"
                                 "<folder-listing version=\"1.0\">\n");
    if (!_folder.isEmpty())
        xml += QStringLiteral("<parent-folder/>\n");
    const QString prefix = _folder + QLatin1Char('/');
    const auto directChild = [&](const QString& path) {
        return path.startsWith(prefix) && !path.mid(prefix.size()).contains(QLatin1Char('/'));
    };
    QSet<QString> children;
    const auto addChildFolder = [&](const QString& path) {
        if (!path.startsWith(prefix))
            return;
        const QString rest = path.mid(prefix.size());
        const qsizetype slash = rest.indexOf(QLatin1Char('/'));
        if (slash > 0)
            children.insert(rest.left(slash));
        else if (slash < 0 && _folders.contains(path))
            children.insert(rest);
    };
    for (const QString& folder : _folders)
        addChildFolder(folder);
    for (auto it = _files.keyBegin(); it != _files.keyEnd(); ++it)
        addChildFolder(*it);
    QStringList folders(children.cbegin(), children.cend());
    folders.sort();
    for (const QString& folder : folders)
        xml += QStringLiteral("<folder name=\"%1\"/>\n").arg(xmlEscaped(folder));
    for (auto it = _files.begin(); it != _files.end(); ++it) {
        if (directChild(it.key()))
            xml += QStringLiteral("<file name=\"%1\" size=\"%2\"/>\n")
                       .arg(xmlEscaped(it.key().mid(prefix.size())))
                       .arg(it.value().size());
    }
    xml += QStringLiteral("</folder-listing>\n");
    return xml.toUtf8();
}

} // namespace phonesim
