#include "device/DZUSBSerialDevice.h"
#include "platform/UsbRegistrySimulated.h"

#include "PhoneSimulator.h"

#include <QProcess>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

using platform::UsbDevice;
using platform::UsbRegistry;
using platform::UsbRegistrySimulated;

namespace {

constexpr int kVendor = 0x1004;

UsbDevice modem(const QString& location, const QString& serial, const QStringList& ttys)
{
    UsbDevice d;
    d.location = location;
    d.vendorId = kVendor;
    d.productId = 0x6000;
    d.vendorName = QStringLiteral("LG Electronics");
    d.productName = QStringLiteral("LG USB Modem");
    d.serialNumber = serial;
    d.ttyPaths = ttys;
    return d;
}

QVariantMap stored(const QVariant& serial = QVariant(), int vendor = kVendor)
{
    QVariantMap d{{"vendorId", vendor}, {"productId", 0x6000}};
    if (serial.isValid())
        d.insert("serialNumber", serial);
    return d;
}

// The settings of a tty as stty prints them, read while we hold it open.
QString sttySettings(int fd, const QString& path)
{
    // Exclusive use keeps stty out unless we are root: let it in for the look.
    const bool root = ::geteuid() == 0;
    if (!root)
        ::ioctl(fd, TIOCNXCL);
    QProcess stty;
    stty.start(QStringLiteral("stty"), {QStringLiteral("-a"), QStringLiteral("-F"), path});
    stty.waitForFinished(10000);
    if (!root)
        ::ioctl(fd, TIOCEXCL);
    return QString::fromLocal8Bit(stty.readAllStandardOutput() + stty.readAllStandardError());
}

class DZUSBSerialDeviceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        registry = std::make_shared<UsbRegistrySimulated>();
        UsbRegistry::setShared(registry);
    }
    void TearDown() override { UsbRegistry::setShared(nullptr); }

    void startPhone()
    {
        sim = std::make_unique<phonesim::PhoneSimulator>(*phonesim::PhoneProfile::named(QStringLiteral("lg")));
        ASSERT_TRUE(sim->start()) << sim->errorString().toStdString();
        registry->addInterface(registry->addDevice(modem(QStringLiteral("1-1"), QStringLiteral("35201234"),
                                                         {sim->slavePath()})),
                               1, UsbRegistry::kClassCdcData);
    }

    std::shared_ptr<UsbRegistrySimulated> registry;
    std::unique_ptr<phonesim::PhoneSimulator> sim;
};

} // namespace

TEST_F(DZUSBSerialDeviceTest, MatchingRules)
{
    registry->addInterface(registry->addDevice(modem(QStringLiteral("1-1"), QStringLiteral("35201234"),
                                                     {QStringLiteral("/dev/ttyACM0")})),
                           1, UsbRegistry::kClassCdcData);
    UsbDevice other = modem(QStringLiteral("1-2"), QStringLiteral("77777777"), {QStringLiteral("/dev/ttyACM2")});
    registry->addInterface(registry->addDevice(other), 1, UsbRegistry::kClassCdcData);

    const struct {
        const char* what;
        QVariantMap dict;
        QString port;   // null: no match
    } cases[] = {
        {"serial given as found", stored("35201234"), "/dev/ttyACM0"},
        {"stored serial normalised before the compare", stored("0035201234"), "/dev/ttyACM0"},
        {"other phone of the vendor", stored("77777777"), "/dev/ttyACM2"},
        {"no stored serial: any modem of the vendor", stored(), "/dev/ttyACM0"},
        {"unknown serial", stored("12345678"), QString()},
        {"other vendor", stored("35201234", 0x0421), QString()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DZUSBSerialDevice device(c.dict);
        const std::optional<QVariantMap> found = device.deviceInfo();
        EXPECT_EQ(found.has_value(), !c.port.isNull());
        EXPECT_EQ(device.isSerialAvailable(), !c.port.isNull());
        if (found) {
            EXPECT_EQ(found->value("portName").toString(), c.port);
        }
    }
    EXPECT_FALSE(DZUSBSerialDevice::deviceWithDict({{"productId", 1}}));
    EXPECT_EQ(DZUSBSerialDevice::bsdModemPath(kVendor, 0x6000, QStringLiteral("77777777")),
              QStringLiteral("/dev/ttyACM2"));
    EXPECT_TRUE(DZUSBSerialDevice::bsdModemPath(kVendor, 0x6000, QStringLiteral("1")).isNull());
}

TEST_F(DZUSBSerialDeviceTest, FoundModemWithoutTtyNeverMatchesWhenBothSerialsAreKnown)
{
    DZUSBSerialDevice device(stored("35201234"));
    DZDeviceProperties noPort = DZDeviceProperties::devicePropertiesWithDictionary(
        {{"vendorId", kVendor}, {"serialNumber", "0035201234"}});
    EXPECT_FALSE(device.isValidDevice(&noPort));
    DZDeviceProperties noSerial =
        DZDeviceProperties::devicePropertiesWithDictionary({{"vendorId", kVendor}});
    EXPECT_TRUE(device.isValidDevice(&noSerial));
}

TEST_F(DZUSBSerialDeviceTest, OpensTheTtyRawAndRestoresItAtClose)
{
    startPhone();
    const QString before = sttySettings(-1, sim->slavePath());
    ASSERT_TRUE(before.contains("speed")) << before.toStdString();

    DZUSBSerialDevice device(stored("35201234"));
    EXPECT_FALSE(device.isConnected());
    ASSERT_TRUE(device.openSerialDevice());
    ASSERT_TRUE(device.isConnected());
    EXPECT_EQ(device.connectedDevice().value("portName").toString(), sim->slavePath());
    EXPECT_TRUE(DZUSBSerialDevice::isPseudoTerminal(device.fileDescriptor()));
    EXPECT_NE(::fcntl(device.fileDescriptor(), F_GETFL) & O_NONBLOCK, 0);

    const QString open = sttySettings(device.fileDescriptor(), sim->slavePath());
    SCOPED_TRACE(open.toStdString());
    // A pseudo-terminal keeps everything but parity, which its driver always
    // clears; the settings asked for hold it (checked below).
    for (const char* setting : {"speed 19200 baud", "min = 1", "time = 10", "cs8", "crtscts", "-icanon",
                                "-echo ", "-isig", "-opost", "-ixon", "-icrnl"})
        EXPECT_TRUE(open.contains(QLatin1String(setting))) << setting;
    struct termios asked = DZUSBDeviceIdentifier::modemSettings(termios{});
    EXPECT_EQ(asked.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_EQ(asked.c_cflag & (PARENB | PARODD | CRTSCTS), tcflag_t(PARENB | CRTSCTS));
    EXPECT_EQ(cfgetospeed(&asked), speed_t(B19200));

    // Already open: answered without touching the tty.
    const int fd = device.fileDescriptor();
    EXPECT_TRUE(device.openSerialDevice());
    EXPECT_EQ(device.fileDescriptor(), fd);

    EXPECT_TRUE(device.closeSerialDevice());
    EXPECT_FALSE(device.isConnected());
    EXPECT_TRUE(device.connectedDevice().isEmpty());
    EXPECT_EQ(sttySettings(-1, sim->slavePath()), before);
}

TEST_F(DZUSBSerialDeviceTest, TtyIsUsedByOneOpenerAtATime)
{
    startPhone();
    DZUSBSerialDevice first(stored());
    DZUSBSerialDevice second(stored());
    ASSERT_TRUE(first.openSerialDevice());
    EXPECT_FALSE(second.openSerialDevice());
    EXPECT_FALSE(second.isConnected());
    first.closeSerialDevice();
    EXPECT_TRUE(second.openSerialDevice());
}

TEST_F(DZUSBSerialDeviceTest, NothingToOpenWithoutThePhoneOrItsTty)
{
    DZUSBSerialDevice absent(stored());
    EXPECT_FALSE(absent.openSerialDevice());

    registry->addInterface(registry->addDevice(modem(QStringLiteral("1-1"), QString(),
                                                     {QStringLiteral("/nonexistent/ttyACM9")})),
                           1, UsbRegistry::kClassCdcData);
    DZUSBSerialDevice gone(stored());
    EXPECT_TRUE(gone.isSerialAvailable());
    EXPECT_FALSE(gone.openSerialDevice());
    EXPECT_FALSE(gone.isConnected());
    EXPECT_TRUE(gone.closeSerialDevice());
}

TEST_F(DZUSBSerialDeviceTest, SerialNumberAskedOverAT)
{
    startPhone();
    DZUSBSerialDevice device(stored());
    ASSERT_TRUE(device.openSerialDevice());
    EXPECT_EQ(DZUSBDeviceIdentifier::getSerilCmdString(device.fileDescriptor()),
              QString::fromLatin1(phonesim::PhoneProfile::named(QStringLiteral("lg"))->imei()));
    EXPECT_TRUE(sim->receivedLines().contains("AT+cgsn"));
}

TEST(DZUSBSerialPortTest, ReadBufferStopsAtTheLimitOrAfterSevenIdleReads)
{
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_NONBLOCK), 0);
    const QByteArray lots(5000, 'x');
    ASSERT_EQ(::write(fds[1], lots.constData(), lots.size()), lots.size());
    // Steps of 128 up to 2048 bytes, then reading stops.
    EXPECT_EQ(DZUSBDeviceIdentifier::readBuffer(fds[0]).size(), 2048);
    // The rest, then seven empty reads.
    EXPECT_EQ(DZUSBDeviceIdentifier::readBuffer(fds[0]).size(), 2048);
    EXPECT_EQ(DZUSBDeviceIdentifier::readBuffer(fds[0]).size(), 5000 - 4096);
    EXPECT_TRUE(DZUSBDeviceIdentifier::readBuffer(fds[0]).isEmpty());
    EXPECT_FALSE(DZUSBDeviceIdentifier::isPseudoTerminal(fds[0]));
    ::close(fds[0]);
    ::close(fds[1]);
}
