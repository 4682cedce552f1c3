#pragma once

#include "platform/bluetooth/BluetoothStack.h"

#include <QHash>
#include <QMap>
#include <functional>

namespace platform {

// A Bluetooth stack for tests and for running the program without hardware:
// phones with a name, a paired flag and scripted SDP records, whose RFCOMM
// channels are connected to a simulated phone (phonesim) over a stream
// socket. Failures, delays, the MTU and remote closes can be injected; every
// delay runs on platform::Timer. An address no phone was added for behaves
// like a phone out of reach: opens and queries end with kPageTimeout.
class BluetoothStackSimulated : public BluetoothStack {
public:
    // Connects to the phone behind a channel: answers a connected stream
    // socket (the stack owns it from then on), or -1 when nobody answers.
    using Connector = std::function<int()>;

    // How a phone answers a pairing: it asks for a PIN code and compares the
    // answer with its own, asks to confirm a passkey, pairs without asking,
    // fails with kPageTimeout or kAuthenticationFailure, or never answers.
    enum class PairingMode { PinCode, Confirmation, Succeed, PageTimeout, AuthenticationFailure, NeverAnswer };
    // What the phone's user typed on the phone when it asked for the PIN.
    using PinSource = std::function<QString()>;

    static constexpr quint16 kDefaultMtu = 127;
    // A device file holds at most this much.
    static constexpr qint64 kMaxDeviceFileBytes = 1 << 20;

    BluetoothStackSimulated();
    ~BluetoothStackSimulated() override;

    bool hasAdapter() const override { return _hasAdapter; }
    void setHasAdapter(bool present) { _hasAdapter = present; }
    std::optional<int> powerState() const override;
    // A powered-off adapter is there, but opens, queries and inquiries fail.
    void setPowered(bool on) { _powered = on; }
    QList<std::shared_ptr<BluetoothDevice>> pairedDevices() override;
    std::unique_ptr<BluetoothInquiry> makeInquiry() override;

    // Adds (or replaces) a phone. records are what its SDP query answers;
    // with recordsKnown the stack holds them already, as if read earlier.
    void addDevice(const QString& address, const QString& name, bool paired, const QList<SdpServiceRecord>& records,
                   bool recordsKnown = true);
    void setChannelConnector(const QString& address, quint8 channelID, Connector connector);
    // The channel reaches a local (Unix) stream socket at path.
    void setChannelSocketPath(const QString& address, quint8 channelID, const QString& path);

    // The next count opens (or SDP queries) of the phone end with status.
    void failOpens(const QString& address, int status, int count = 1);
    void failSdpQueries(const QString& address, int status, int count = 1);
    // The next count baseband opens of the phone answer status.
    void failBasebandOpens(const QString& address, int status, int count = 1);
    int basebandOpenCount(const QString& address) const;
    // How long opens and SDP queries take (0: the next pass of the loop).
    void setOpenDelay(double seconds) { _openDelay = seconds; }
    void setSdpDelay(double seconds) { _sdpDelay = seconds; }
    void setMtu(quint16 mtu) { _mtu = mtu; }
    // The phone closes its open channels (all when channelID is 0).
    void closeFromRemote(const QString& address, quint8 channelID = 0);
    // A paired phone whose stored pairing it no longer accepts: authenticated
    // opens fail with bluetooth::kAuthenticationFailure until the pairing is
    // removed.
    void setStalePairing(const QString& address, bool stale = true);
    int pairingRemovalCount(const QString& address) const;
    // How the phone pairs (by default: it asks for a PIN code, "0000"); the
    // passkey is the one it shows for a confirmation.
    void setPairing(const QString& address, PairingMode mode, const QString& pin = QStringLiteral("0000"),
                    quint32 passkey = 123456);
    // The phone's PIN comes from source (asked when the phone compares).
    void setPairingPinSource(const QString& address, PinSource source);
    int pairingCount(const QString& address) const;
    // How long the phone takes to ask and to end a pairing.
    void setPairingDelay(double seconds) { _pairingDelay = seconds; }
    // The class of device the phone announces.
    void setClassOfDevice(const QString& address, quint32 classOfDevice);
    // A phone out of reach: opens and queries end with kPageTimeout, no
    // inquiry finds it; it stays paired.
    void setInReach(const QString& address, bool inReach);
    // Whether inquiries find the phone (phones in reach are found unless set
    // otherwise).
    void setDiscoverable(const QString& address, bool discoverable);
    // The phone's name is learned only by an inquiry's name update.
    void setNameLearnedByInquiry(const QString& address, bool later = true);
    // Inquiries report their hits this long after the start, the names half
    // a second later, and end after the whole length.
    void setInquiryTiming(double hitDelay, double length);
    // The next count inquiries end with error right after they started.
    void failInquiries(int error, int count = 1);
    int inquiryCount() const { return _inquiries; }

    int sdpQueryCount(const QString& address) const;
    int openCount(const QString& address) const;
    // The sizes of the last writes to the phone's channels (at most 1024).
    QList<int> writeSizes(const QString& address) const;

    // Reads a device file (JSON):
    //   {"devices": [{"address": "00:12:34:56:78:9a", "name": "V3", "paired": true,
    //                 "records": [{"name": "Dial-up Networking", "uuids": ["0x1103"],
    //                              "channel": 1, "obex": false},
    //                             {"sdp": "<hex of the SDP attribute list>"}],
    //                 "stalePairing": false, "class": 512, "discoverable": true,
    //                 "nameLearnedByInquiry": false,
    //                 "pairing": {"mode": "pin", "pin": "1234", "passkey": 123456},
    //                 (modes: "pin", "confirm", "succeed", "pageTimeout",
    //                  "authenticationFailure", "never")
    //                 "channels": {"1": "/run/user/1000/phonesim.sock"}}],
    //    "powered": true}
    // A malformed file is an error (*error says why) and adds nothing.
    bool loadDeviceFile(const QString& path, QString* error = nullptr);
    bool loadDevices(const QByteArray& json, QString* error = nullptr);
    // One record of a device file.
    static std::optional<SdpServiceRecord> recordFromJson(const QVariantMap& description);

protected:
    std::shared_ptr<BluetoothDevice> makeDevice(const BluetoothAddress& address) override;

private:
    class Device;
    class Channel;
    class Inquiry;
    struct Phone;
    const Phone* phone(const BluetoothAddress& address) const;
    const Phone* phone(const QString& address) const;
    Phone& phoneFor(const QString& address);

    QMap<BluetoothAddress, std::shared_ptr<Phone>> _phones;
    QList<BluetoothAddress> _order;
    bool _hasAdapter = true;
    bool _powered = true;
    double _inquiryHitDelay = 1.0;
    double _inquiryLength = 10.24;
    int _inquiryFailure = 0;
    int _inquiryFailureCount = 0;
    int _inquiries = 0;
    double _openDelay = 0;
    double _sdpDelay = 0;
    double _pairingDelay = 0;
    quint16 _mtu = kDefaultMtu;
};

} // namespace platform
