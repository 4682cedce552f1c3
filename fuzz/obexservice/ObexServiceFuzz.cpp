// Fuzz target for what a phone sends a SyncML connection. The first byte
// picks the role (even: the phone is the OBEX client and sends requests;
// odd: it answers ours); the rest is cut into packets by their length
// fields, each handed to the codec as if received. The codec's sends go
// nowhere. Besides "no crash, no hang", it checks that a collected body
// never outgrows the connection's bound.
#include "links/ObexATSwitchTransportLayer.h"
#include "links/ObexSyncMLConnection.h"
#include "links/ObjectPushCommand.h"
#include "links/QVDeviceCallback.h"
#include "platform/Clock.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

namespace {

class SinkTransport : public ObexATSwitchTransportLayer {
public:
    explicit SinkTransport(bool server) : ObexATSwitchTransportLayer(nullptr, {}, server) { allocBuffer(); }
    bool hasOpenTransportConnection() const override { return true; }
    bool sendObexData(const char*, int) override { return true; }
    bool sendData(const char*, int) override { return true; }
    int closeTransportLayer(const std::shared_ptr<QVDeviceCallback>& callback) override
    {
        if (callback)
            callback->finishWithResult(0, QVariant());
        return 0;
    }
    const char* commBuffer() const override { return received.constData(); }
    uint32_t currentBuffIndex() const override { return uint32_t(received.size()); }

    QByteArray received;
};

void ensureApplication()
{
    static int argc = 1;
    static char name[] = "fuzz_obexservice";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = [] {
        platform::Clock::instance().setVirtual(true);
        platform::Clock::instance().setVirtualIdleWait(0);
        return new QCoreApplication(argc, argv);
    }();
    (void)app;
}

// The next packet: its length field decides, bounded by what is left.
QByteArray nextPacket(const QByteArray& bytes, qsizetype& at)
{
    const qsizetype left = bytes.size() - at;
    qsizetype length = left;
    if (left >= 3) {
        const int field = (uint8_t(bytes[at + 1]) << 8) | uint8_t(bytes[at + 2]);
        length = std::clamp<qsizetype>(field, 1, left);
    }
    const QByteArray packet = bytes.mid(at, length);
    at += length;
    return packet;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    ensureApplication();
    const bool server = (data[0] & 1) == 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    {
        ObexSyncMLConnection connection(nullptr, nullptr);
        auto owned = std::make_unique<SinkTransport>(server);
        SinkTransport* sink = owned.get();
        connection.setObexSession(std::move(owned));
        sink->setServerDataHandler(
            [&connection](const OBEXTransportEvent& e) { connection.serverHandleIncomingData(e); });
        std::vector<std::shared_ptr<ObjectPushCommand>> commands;
        if (!server)
            connection.openSyncMLService(QVDeviceCallback::pollingObject());
        qsizetype at = 0;
        int round = 0;
        while (at < bytes.size()) {
            sink->received = nextPacket(bytes, at);
            if (server)
                sink->processObexRequest();
            else
                sink->processObexAnswer();
            QCoreApplication::processEvents();
            if (!server && connection.hasObexConnection() && !connection.currentCommand()) {
                const int code = (round++ % 2) ? ObjectPushCommand::kGetSyncMLWBXML
                                               : ObjectPushCommand::kPutSyncMLWBXML;
                auto command = ObjectPushCommand::pushCommandWithData(code, QByteArray(700, 'w'), nullptr, {});
                commands.push_back(command);
                connection.executeCommandSync(command);
            }
            if (server && connection.hasObexConnection() && round++ == 1) {
                auto answer = ObjectPushCommand::pushCommandWithData(ObjectPushCommand::kServerGetResponse,
                                                                     QByteArray(900, 'a'), nullptr, {});
                commands.push_back(answer);
                connection.executeCommandSync(answer);
            }
        }
        for (const auto& command : commands) {
            if (command->dataReceived().size() > ObexSyncMLConnection::kMaxCollected) {
                std::fprintf(stderr, "OBEX service fuzzer: a body outgrew its bound\n");
                std::abort();
            }
        }
    }
    QCoreApplication::processEvents();
    return 0;
}
