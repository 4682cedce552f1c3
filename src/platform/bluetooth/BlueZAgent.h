#pragma once

#include <QDBusVirtualObject>
#include <QString>

#include <functional>

namespace platform {

class BluetoothPairingAgent;
class BlueZObjects;

// A stack's pairing agent as BlueZ sees it: an org.bluez.Agent1 object on
// BlueZ's bus, registered with the agent manager (capability
// "KeyboardDisplay") and made the default agent. BlueZ's requests become
// requests of the BluetoothPairingAgent; its answers go back as the
// (delayed) replies. A request for a device path that does not parse is
// refused.
class BlueZAgent : public QDBusVirtualObject {
    Q_OBJECT
public:
    static constexpr const char* kPath = "/org/marvesto/PairingAgent";
    static constexpr const char* kInterface = "org.bluez.Agent1";
    static constexpr const char* kCapability = "KeyboardDisplay";
    static constexpr const char* kManagerInterface = "org.bluez.AgentManager1";

    BlueZAgent(BlueZObjects& objects, BluetoothPairingAgent& agent);
    ~BlueZAgent() override;

    // Exports the object and registers it; done gets the error name or an
    // empty string (once registered, at once).
    void ensureRegistered(std::function<void(const QString& error)> done);
    bool isRegistered() const { return _registered; }

    QString introspect(const QString& path) const override;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

private:
    BlueZObjects& _objects;
    BluetoothPairingAgent& _agent;
    bool _exported = false;
    bool _registered = false;
    int _request = 0;
};

} // namespace platform
