// The phone window's channel look-ups against the simulated phone's SDP
// records, and the helpers for looking at SyncML traffic.
#include "../links/BluetoothPhoneFixture.h"
#include "DeviceWindowTestSupport.h"

#include "devicewindow/DeviceWindowXmlDebug.h"

#include "platform/Paths.h"
#include "platform/bluetooth/QuorBluetoothExtensions.h"

#include <QFile>

namespace {

using namespace devicewindow_tests;

class PhoneChannelsTest : public BluetoothPhoneFixture { };

TEST_F(PhoneChannelsTest, TheFiveLookUpsAnswerWhatTheBluetoothLayerAnswers)
{
    addPhone("lg");
    DeviceWindowController controller;
    EXPECT_EQ(controller.getDialupChannel(), platform::kNoRfcommChannel) << "no phone: no channel";
    auto device = makeDevice(MFDevice::kUSBSerial, {{"USB.PortName", "/dev/null-phone"}, {"BT.BT_Address", address()}});
    controller.setMFDevice(device.get());
    const std::shared_ptr<platform::BluetoothDevice> phone = platform::btDeviceForAddress(address());
    ASSERT_TRUE(phone);
    phone->performSdpQuery();
    ASSERT_TRUE(testing_support::runUntil([&] { return !phone->services().isEmpty(); }, 5.0));
    EXPECT_EQ(controller.getDialupChannel(), platform::dunChannel(*phone));
    EXPECT_EQ(controller.getObexPushChannel(), platform::obexObjectPushChannel(*phone));
    EXPECT_EQ(controller.getSyncMLChannel(), platform::syncMLChannel(*phone));
    EXPECT_EQ(controller.getFileTransferChannel(), platform::obexFTPChannel(*phone));
    EXPECT_EQ(controller.getPCSuiteChannel(), platform::nokiaPCSuiteChannel(*phone));
    EXPECT_NE(controller.getDialupChannel(), platform::kNoRfcommChannel) << "the simulated phone offers dial-up";
    controller.setMFDevice(nullptr);
}

TEST(PhoneXmlDebug, LinesElementsAndEightBitText)
{
    const QByteArray data("first\r\nsecond\n\nlast");
    qsizetype offset = 0;
    QStringList lines;
    while (const std::optional<QByteArray> line = xmldebug::readLine(data, &offset))
        lines << QString::fromLatin1(*line);
    EXPECT_EQ(lines, (QStringList{"first", "second", "", "last"}));

    struct Case {
        const char* xml;
        const char* tag;
        std::optional<QByteArray> content;
    } const cases[] = {
        {"<SyncML><MsgID>7</MsgID></SyncML>", "MsgID", QByteArray("7")},
        {"<a><MsgIDX>1</MsgIDX><MsgID attr=\"x\">2</MsgID></a>", "MsgID", QByteArray("2")},
        {"<a><Final/></a>", "Final", QByteArray("")},
        {"<a><MsgID>open", "MsgID", std::nullopt},
        {"<a><MsgID", "MsgID", std::nullopt},
        {"<a></a>", "MsgID", std::nullopt},
        {"<a></a>", "", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(xmldebug::findElement(c.xml, c.tag), c.content) << c.xml;

    EXPECT_EQ(xmldebug::reencode8Bit("Gr\xfc\xdf"), QByteArray("Gr\xc3\xbc\xc3\x9f"));
    EXPECT_EQ(xmldebug::reencode8Bit("Gr\xc3\xbc\xc3\x9f"), QByteArray("Gr\xc3\xbc\xc3\x9f")) << "UTF-8 stays";
}

TEST(PhoneXmlDebug, WbxmlIsWrittenAsXmlAndBadBuffersWriteNothing)
{
    const QString path = platform::paths::expandTilde(QStringLiteral("~/xmldata.hex"));
    QFile::remove(path);
    EXPECT_FALSE(xmldebug::writeWbxmlAsXml(QByteArray("\x03\x9f\x53", 3)));
    EXPECT_FALSE(QFile::exists(path));
    // <SyncML><SyncBody><Final/></SyncBody></SyncML> in SyncML 1.1.
    const QByteArray wbxml("\x03\x9f\x53\x6a\x00\x6d\x6b\x12\x01\x01", 10);
    ASSERT_TRUE(xmldebug::writeWbxmlAsXml(wbxml));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().endsWith("<SyncML xmlns=\"SYNCML:SYNCML1.1\"><SyncBody><Final/></SyncBody></SyncML>"));
}

} // namespace
