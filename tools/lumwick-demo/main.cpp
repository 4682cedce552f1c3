// Runs the stand-alone setup wizard with the real phone-choosing pane and the
// program's model query. With --simulated no radio and no cable are needed:
// the Bluetooth layer is the simulated one with a paired LG phone (a phone
// simulator behind its RFCOMM channels, checked and identified over AT), a
// paired phone whose pairing is broken and a phone only an inquiry finds
// (its name comes later); and a USB LG phone (a phone simulator on a
// pseudo-terminal) sits behind the simulated USB registry.
#include "PhoneSimulator.h"
#include "ServiceRecords.h"
#include "app/ProgramModelQuery.h"
#include "app/SimulatedUsb.h"
#include "lumwick/DeviceSelectionController.h"
#include "lumwick/QVUIKit.h"
#include "platform/RunLoop.h"
#include "platform/bluetooth/BluetoothStackSimulated.h"
#include "platform/bluetooth/QuorBluetoothExtensions.h"
#include "usbdevice/DZDeviceProperties.h"

#include <QApplication>
#include <QDebug>
#include <QDialog>
#include <QTemporaryDir>

namespace {

const QString kLGPhone = QStringLiteral("00:1e:75:11:22:33");
const QString kStalePhone = QStringLiteral("00:1e:75:44:55:66");
const QString kFoundPhone = QStringLiteral("00:1e:75:77:88:99");

// Prints the result and ends the program when the wizard ends.
class DemoOwner : public LumwickProtocol {
public:
    QString getAssistantTitle() override { return {}; }
    QImage getAssistantLogo() override { return {}; }
    void assistantDidEndWithoutPairing() override {}
    void assistantDidEndWithPairing(const QVariantMap& properties) override
    {
        qInfo().noquote() << "wizard ended with" << QDebug::toString(properties);
        QApplication::quit();
    }
    // The program takes every phone whose model it knows.
    bool isValid(const QVariantMap& properties) override
    {
        return properties.value(QLatin1String(DZDeviceProperties::kDeviceNumberKey)).toInt() > 0;
    }
};

// The simulated phones; false (said why) when a simulator does not start.
struct SimulatedPhones {
    QTemporaryDir dir;
    std::unique_ptr<phonesim::PhoneSimulator> bluetooth;
    std::unique_ptr<phonesim::PhoneSimulator> usb;

    bool start()
    {
        std::optional<phonesim::PhoneProfile> lg = phonesim::PhoneProfile::named(QStringLiteral("lg"));
        if (!lg || !dir.isValid())
            return false;
        const QString socket = dir.filePath(QStringLiteral("phone.sock"));
        bluetooth = std::make_unique<phonesim::PhoneSimulator>(*lg);
        usb = std::make_unique<phonesim::PhoneSimulator>(*lg);
        if (!bluetooth->startListening(socket) || !usb->start()) {
            qWarning().noquote() << "phone simulator:" << bluetooth->errorString() << usb->errorString();
            return false;
        }
        const quint32 phoneClass = platform::bluetooth::classOfDevice(platform::bluetooth::kMajorClassPhone, 3);
        auto stack = std::make_shared<platform::BluetoothStackSimulated>();
        QString error;
        if (!stack->loadDevices(phonesim::ServiceRecords::deviceFile(kLGPhone, QStringLiteral("Anna's KU990"),
                                                                     QStringLiteral("lg"), socket),
                                &error)) {
            qWarning().noquote() << "device file:" << error;
            return false;
        }
        stack->setClassOfDevice(kLGPhone, phoneClass);
        // The paired phone's services were read once, as when it was paired.
        platform::BluetoothStack::setShared(stack);
        bool read = false;
        stack->deviceWithAddressString(kLGPhone)->performSdpQuery([&read](int) { read = true; });
        platform::runloop::waitUntil([&read] { return read; }, 0.1, 50);
        stack->addDevice(kStalePhone, QStringLiteral("U8360"), true,
                         {platform::SdpServiceRecord::make({platform::BluetoothUuid::uuid16(platform::kSerialPortUuid)},
                                                           {}, quint8(1))});
        stack->setClassOfDevice(kStalePhone, phoneClass);
        stack->setStalePairing(kStalePhone);
        stack->addDevice(kFoundPhone, QStringLiteral("Mia's KE850"), false, {});
        stack->setClassOfDevice(kFoundPhone, phoneClass);
        stack->setNameLearnedByInquiry(kFoundPhone);
        stack->setInquiryTiming(3.0, 10.24);
        platform::BluetoothStack::setShared(stack);
        return simulatedusb::install(usb->slavePath() + QStringLiteral(" 0x1004 0x6000 354123012345672"));
    }
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    SimulatedPhones phones;
    if (app.arguments().contains(QStringLiteral("--simulated")) && !phones.start())
        return 1;
    ProgramModelQuery query;
    ModelQuery::setShared(&query);
    QVUIKit kit;
    kit.setPaneFactories([] { return std::unique_ptr<AKPaneController>(new DeviceSelectionController); }, {});
    if (!kit.startWizardWithOwner(std::make_shared<DemoOwner>()))
        return 1;
    QObject::connect(kit.wizardWindow(), &QDialog::finished, &app, &QApplication::quit);
    const int status = app.exec();
    kit.stop();
    ModelQuery::setShared(nullptr);
    platform::BluetoothStack::setShared(nullptr);
    return status;
}
