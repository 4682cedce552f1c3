// Fuzz target for what a phone answers the object-push and file-transfer
// connections. The first byte picks the connection (even: file transfer,
// which reads the capability object and then lists folders; odd: object
// push, which reads the capability object); the rest is cut into packets by
// their length fields, each handed to the codec as the answer to the request
// in flight. The codec's sends go nowhere. Besides "no crash, no hang", a
// request that ended well ended exactly once, and a collected object never
// outgrows the connection's bound.
#include "links/ObexATSwitchTransportLayer.h"
#include "links/ObexFileTransferConnection.h"
#include "links/ObexObjectPushConnection.h"
#include "links/QVDeviceCallback.h"
#include "platform/Clock.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

class CapabilitySink : public ObexATSwitchTransportLayer {
public:
    CapabilitySink() : ObexATSwitchTransportLayer(nullptr, {}, false) { allocBuffer(); }
    bool hasOpenTransportConnection() const override { return true; }
    bool sendObexData(const char*, int) override { return true; }
    bool sendData(const char*, int) override { return true; }
    int openTransportLayer(const std::shared_ptr<QVDeviceCallback>& callback) override
    {
        setObexMode(true);
        callback->finishWithResult(0, QVariant());
        return 0;
    }
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

void ensureCapabilityApplication()
{
    static int argc = 1;
    static char name[] = "fuzz_obexcapability";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = [] {
        platform::Clock::instance().setVirtual(true);
        platform::Clock::instance().setVirtualIdleWait(0);
        return new QCoreApplication(argc, argv);
    }();
    (void)app;
}

QByteArray nextCapabilityPacket(const QByteArray& bytes, qsizetype& at)
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

struct Ends {
    int count = 0;
    QVariant result;
    std::shared_ptr<QVDeviceCallback> callback()
    {
        return QVDeviceCallback::commandObject(
            nullptr,
            [this](QVDeviceCallback& c) {
                ++count;
                result = c.resultObject();
            },
            {});
    }
};

[[noreturn]] void capabilityFail(const char* what)
{
    std::fprintf(stderr, "OBEX capability fuzzer: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    ensureCapabilityApplication();
    const bool fileTransfer = (data[0] & 1) == 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    CapabilitySink* sink = nullptr;
    std::vector<std::unique_ptr<Ends>> ends;
    const auto feed = [&](qsizetype& at) {
        sink->received = nextCapabilityPacket(bytes, at);
        sink->processObexAnswer();
        QCoreApplication::processEvents();
    };
    qsizetype at = 0;
    if (fileTransfer) {
        ObexFileTransferConnection ftp(nullptr, nullptr, QStringLiteral("Bluetooth"), [&sink] {
            auto made = std::make_unique<CapabilitySink>();
            sink = made.get();
            return made;
        });
        ends.push_back(std::make_unique<Ends>());
        ftp.openConnection(ends.back()->callback());
        int round = 0;
        while (at < bytes.size() && sink) {
            feed(at);
            if (ftp.hasConnection() && !ftp.isBusy()) {
                ends.push_back(std::make_unique<Ends>());
                if (round++ % 2 == 0)
                    ftp.getCapabilities(ends.back()->callback());
                else
                    ftp.getDirectoryContentsAtPath(QStringLiteral("/Phone/Sounds"), ends.back()->callback());
            }
        }
    } else {
        ObexObjectPushConnection push(nullptr);
        push.setSessionFactory([&sink] {
            auto made = std::make_unique<CapabilitySink>();
            sink = made.get();
            return made;
        });
        ends.push_back(std::make_unique<Ends>());
        push.openConnection(ends.back()->callback());
        while (at < bytes.size() && sink) {
            feed(at);
            if (push.hasConnection() && !push.isBusy()) {
                ends.push_back(std::make_unique<Ends>());
                push.getCapabilities(ends.back()->callback());
            }
        }
    }
    QCoreApplication::processEvents();
    for (const auto& end : ends) {
        if (end->count > 1)
            capabilityFail("a request ended twice");
        if (end->result.toByteArray().size() > ObexServiceConnection::kMaxCollected)
            capabilityFail("an object outgrew its bound");
    }
    return 0;
}
