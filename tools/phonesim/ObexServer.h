#pragma once

#include "MobexStore.h"
#include "SyncMLClientScript.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QSet>
#include <QString>
#include <deque>
#include <memory>
#include <optional>

namespace phonesim {

class IrmcPhone;

// The phone's OBEX server behind the AT switch. AT lines that switch
// ("AT+CPROT=0", "AT+SYNCML=...") are answered here; after the switch every
// byte is OBEX until "+++" brings the line back to AT commands (the link
// stays). It serves Connect (with or without a Target: MOBEX, SYNCML-SYNC,
// IRMC-SYNC, file transfer), Put, Get, SetPath, Abort and Disconnect on an
// in-memory folder tree, and plays scripted faults on its next answers.
class ObexServer {
public:
    static constexpr int kDefaultMaxPacket = 0x2000;

    enum class FaultKind {
        Silence,        // the request is taken and not answered
        Text,           // these bytes instead of the answer (a 5-byte "ERROR")
        ResponseCode,   // the answer with another response code
        LengthDelta,    // the answer's length field off by value (bytes unchanged)
    };
    struct Fault {
        FaultKind kind = FaultKind::Silence;
        QByteArray text;
        int value = 0;
    };

    // An AT line (without its CR) that this server answers; nullopt for the
    // lines it leaves to the AT interpreter.
    struct SwitchAnswer {
        QByteArray answer;     // the bytes sent back (text, or a Connect answer packet)
        bool enterObex = false;
    };
    std::optional<SwitchAnswer> atLine(const QByteArray& line);

    // Bytes in OBEX mode: the answers to send. hangup is set when "+++",
    // or the Disconnect of a session switched on with AT+CPROT=0, brought
    // the line back to AT mode.
    struct Output {
        QList<QByteArray> answers;
        bool hangup = false;
    };
    Output input(const QByteArray& bytes);
    // "+++" at the start of the bytes (alone or with its line end).
    static bool isHangup(const QByteArray& bytes);
    bool obexMode() const { return _obexMode; }
    void leaveObexMode();
    // A link opened straight in OBEX mode (an OBEX channel of its own).
    void enterObexMode();

    // The next switch command is answered with this text instead (e.g.
    // "ERROR", "ERROR:2033"); empty: switches normally.
    void setSwitchRefusal(const QByteArray& text) { _switchRefusal = text; }
    void queueFault(const Fault& fault) { _faults.push_back(fault); }
    void setMaxPacket(int bytes) { _maxPacket = bytes; }
    // A Connect naming this target is refused (Forbidden).
    void setRefusedTarget(const QByteArray& target) { _refusedTarget = target; }
    // The phone as SyncML server: a Get of the WBXML type without a name is
    // answered with this message (none set: Not Found).
    void setSyncMLAnswer(const QByteArray& message) { _syncMLAnswer = message; }
    // A canned WBXML message of the fixtures ("syncml-client",
    // "syncml-answer"); empty for an unknown name.
    static QByteArray cannedSyncMLMessage(const QString& name);
    // The phone as SyncML client: after the program's notification Put it
    // runs its session with this message (see SyncMLClientScript).
    void setSyncMLClientMessage(const QByteArray& message) { _client.arm(message); }
    // The phone's further messages, each made from the program's last answer.
    void setSyncMLClientResponder(SyncMLClientScript::Responder responder)
    {
        _client.setResponder(std::move(responder));
    }
    // One of the phone's messages is a bad one (see SyncMLClientScript).
    void setSyncMLClientBadAnswer(SyncMLClientScript::BadAnswer kind, int message = 1)
    {
        _client.setBadAnswer(kind, message);
    }
    const SyncMLClientScript& syncMLClient() const { return _client; }

    // Files by path ("/" separated, folders implied), and the folders made.
    QMap<QString, QByteArray> files() const { return _files; }
    void putFile(const QString& path, const QByteArray& data) { _files.insert(path, data); }
    QSet<QString> folders() const { return _folders; }
    void addFolder(const QString& path) { _folders.insert(path); }
    // The capability object a Get of "x-obex/capability" answers (none set:
    // Not Found); long objects go out in several packets.
    void setCapability(const QByteArray& xml) { _capability = xml; }
    // A folder listing answered instead of the real one (empty: the real one).
    void setListingOverride(const QByteArray& xml) { _listingOverride = xml; }
    // The IrMC phonebook that answers the "telecom/..." objects (and
    // "AT+CPROT=?"); none by default.
    void setIrmcPhone(std::shared_ptr<IrmcPhone> phone) { _irmc = std::move(phone); }
    const std::shared_ptr<IrmcPhone>& irmcPhone() const { return _irmc; }
    // Opcodes of the requests received, in order.
    QList<quint8> requests() const { return _requests; }
    // The raw packets received, in order.
    QList<QByteArray> packets() const { return _packets; }
    QByteArray lastTarget() const { return _target; }
    bool connected() const { return _connected; }
    // A Samsung phone's MOBEX records (none: the MOBEX target has no store).
    void setMobexStore(std::optional<MobexStore> store) { _mobex = std::move(store); }
    MobexStore* mobexStore() { return _mobex ? &*_mobex : nullptr; }

private:
    QByteArray answerRequest(const QByteArray& packet);
    QByteArray connectAnswer(const QByteArray& target, bool hasTarget);
    QByteArray put(const QByteArray& packet);
    QByteArray get(const QByteArray& packet);
    QByteArray nextGetPart();
    QByteArray setPath(const QByteArray& packet);
    QByteArray folderListing() const;
    QString pathOf(const QString& name) const;
    bool folderExists(const QString& path) const;
    QByteArray applyFault(QByteArray answer);
    int room() const;

    bool _obexMode = false;
    // Entered with AT+CPROT=0: the peer's Disconnect brings the line back
    // to AT commands (the 27.007 protocol switch).
    bool _protocolSession = false;
    QByteArray _pending;
    QByteArray _switchRefusal;
    std::deque<Fault> _faults;
    int _maxPacket = kDefaultMaxPacket;
    QByteArray _refusedTarget;
    int _peerMaxPacket = 0xFFFF;
    bool _connected = false;
    quint32 _nextConnectionId = 1;
    QByteArray _target;

    QMap<QString, QByteArray> _files;
    QSet<QString> _folders;
    QByteArray _capability;
    QByteArray _listingOverride;
    QString _folder;   // "" is the root
    QByteArray _syncMLAnswer;
    SyncMLClientScript _client;
    bool _putIsNotification = false;
    bool _notificationIn = false;
    QString _putName;
    QByteArray _putData;
    bool _putStarted = false;
    std::optional<QByteArray> _getData;
    qsizetype _getAt = 0;
    QList<quint8> _requests;
    QList<QByteArray> _packets;
    std::shared_ptr<IrmcPhone> _irmc;
    std::optional<MobexStore> _mobex;
};

} // namespace phonesim
