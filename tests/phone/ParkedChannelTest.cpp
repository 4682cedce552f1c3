#include "../links/FakeSerialATChannel.h"

#include "device/QVSyncDeviceDescription.h"
#include "links/CommonObexATSwitchTransportLayer.h"
#include "links/QVDeviceCallback.h"
#include "phone/MFDevice.h"
#include "VirtualTime.h"

#include <gtest/gtest.h>

namespace {

const int kCallbackSender = 0;

// A channel parked by a Gigaset phone's OBEX transport stays open until its
// device object is freed; a device of another family leaves it alone.
TEST(MFDeviceParkedChannel, FreeingAGigasetDeviceClosesTheParkedChannel)
{
    struct Case {
        const char* protocol;
        bool frees;
    } cases[] = {{"Protocol Gigaset", true}, {"UNKNOWN", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.protocol);
        auto description = QVSyncDeviceDescription::syncDeviceFromProtocol(QString::fromLatin1(c.protocol));
        ASSERT_TRUE(description);
        const bool gigaset = description->isGigaset();
        ASSERT_EQ(gigaset, c.frees);

        auto device = std::make_unique<MFDevice>(
            QString::fromLatin1(MFDevice::kHistory), std::make_shared<QVariantMap>(),
            QVariantMap{{QStringLiteral("Dorvanti.SyncMLProtocol"), QString::fromLatin1(c.protocol)}}, description,
            MFDevice::Makers());

        ObexSwitchSettings settings;
        settings.isGigaset = true;   // the transport parks in either case
        CommonObexATSwitchTransportLayer transport(device.get(), settings, {}, QStringLiteral("Bluetooth"), false);
        transport.setChannelFactory([](const QString&, const QVariantMap&, MFDevice* owner,
                                        SerialDelegateProtocol* delegate, SerialATChannel::PhoneTraits traits) {
            auto channel = std::make_unique<FakeSerialATChannel>(owner, delegate, traits);
            channel->onSend = [raw = channel.get()](const QByteArray& line) {
                if (!raw->modeObex())
                    raw->deliver(line.startsWith("AT+CPROT") ? "\r\nCONNECT\r\n" : "\r\nOK\r\n");
            };
            return channel;
        });
        std::optional<int> opened;
        ASSERT_EQ(transport.openTransportLayer(QVDeviceCallback::commandObject(
                      &kCallbackSender, [&](QVDeviceCallback& cb) { opened = cb.returnStatus(); }, {})),
                  0);
        ASSERT_TRUE(testing_support::runUntil([&] { return opened.has_value(); }, 5));
        ASSERT_EQ(transport.closeTransportLayer(nullptr), 0);
        ASSERT_NE(parkedChannel(), nullptr);

        device.reset();
        EXPECT_EQ(parkedChannel() == nullptr, c.frees);
        freeParkedChannel();
    }
}

} // namespace
