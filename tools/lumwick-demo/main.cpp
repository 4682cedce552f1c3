// Runs the stand-alone setup wizard with the real phone-choosing pane and the
// program's model query. With --simulated no radio and no cable are needed:
// the Bluetooth layer is the simulated one with a paired LG phone (a phone
// simulator behind its RFCOMM channels, checked and identified over AT), a
// paired phone whose pairing is broken and a phone only an inquiry finds
// (its name comes later) and is not paired: choosing it leads to the pairing
// pane, where the simulated phone's user types the code the pane shows
// (--pairing=confirm: the phone asks to confirm a passkey instead;
// --pairing=wrong: the user types another code); and a USB LG phone (a phone
// simulator on a pseudo-terminal) sits behind the simulated USB registry.
#include "PhoneSimulator.h"
#include "ServiceRecords.h"
#include "app/ProgramModelQuery.h"
#include "app/SimulatedUsb.h"
#include "lumwick/BluetoothPairingController.h"
#include "lumwick/DeviceSelectionController.h"
#include "lumwick/QVUIKit.h"
#include "platform/RunLoop.h"
#include "platform/bluetooth/BluetoothStackSimulated.h"
#include "platform/bluetooth/QuorBluetoothExtensions.h"
#include "usbdevice/DZDeviceProperties.h"

#include <QApplication>
#include <QJsonDocument>
#include <QLabel>
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
    // The program takes every phone whose model it knows, and a phone not
    // identified yet (0), which the pairing pane identifies.
    bool isValid(const QVariantMap& properties) override
    {
        const QVariant id = properties.value(QLatin1String(DZDeviceProperties::kDeviceNumberKey));
        return id.isValid() && id.toInt() >= 0;
    }
};

// The simulated phones; false (said why) when a simulator does not start.
// What the simulated phone's user reads off the pairing pane.
QString codeOnScreen()
{
    for (QWidget* widget : QApplication::allWidgets()) {
        if (widget->objectName() == QLatin1String("codeTextField"))
            if (auto* label = qobject_cast<QLabel*>(widget))
                return label->text();
    }
    return {};
}

struct SimulatedPhones {
    QTemporaryDir dir;
    std::unique_ptr<phonesim::PhoneSimulator> bluetooth;
    std::unique_ptr<phonesim::PhoneSimulator> found;
    std::unique_ptr<phonesim::PhoneSimulator> usb;

    // The phone only an inquiry finds: not paired, asks for a PIN (or to
    // confirm a passkey) when the pane pairs it.
    bool addFoundPhone(platform::BluetoothStackSimulated& stack, const phonesim::PhoneProfile& lg,
                       const QString& pairing)
    {
        const QString socket = dir.filePath(QStringLiteral("found.sock"));
        found = std::make_unique<phonesim::PhoneSimulator>(lg);
        if (!found->startListening(socket)) {
            qWarning().noquote() << "phone simulator:" << found->errorString();
            return false;
        }
        QVariantMap file = QJsonDocument::fromJson(phonesim::ServiceRecords::deviceFile(
                                                       kFoundPhone, QStringLiteral("Mia's KE850"),
                                                       QStringLiteral("lg"), socket))
                               .toVariant()
                               .toMap();
        QVariantList devices = file.value(QStringLiteral("devices")).toList();
        QVariantMap device = devices.value(0).toMap();
        device.insert(QStringLiteral("paired"), false);
        device.insert(QStringLiteral("nameLearnedByInquiry"), true);
        device.insert(QStringLiteral("pairing"),
                      QVariantMap{{QStringLiteral("mode"), pairing == QLatin1String("confirm") ? QStringLiteral("confirm")
                                                                                                : QStringLiteral("pin")},
                                  {QStringLiteral("passkey"), 482913}});
        devices[0] = device;
        file.insert(QStringLiteral("devices"), devices);
        QString error;
        if (!stack.loadDevices(QJsonDocument::fromVariant(file).toJson(), &error)) {
            qWarning().noquote() << "device file:" << error;
            return false;
        }
        if (pairing == QLatin1String("wrong"))
            stack.setPairingPinSource(kFoundPhone, [] { return QStringLiteral("11111111"); });
        else
            stack.setPairingPinSource(kFoundPhone, [] { return codeOnScreen(); });
        // The phone answers the pairing a moment later, as a person would.
        stack.setPairingDelay(1.5);
        return true;
    }

    bool start(const QString& pairing)
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
        if (!addFoundPhone(*stack, *lg, pairing))
            return false;
        stack->setClassOfDevice(kFoundPhone, phoneClass);
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
    QString pairing;
    for (const QString& argument : app.arguments()) {
        if (argument.startsWith(QLatin1String("--pairing=")))
            pairing = argument.mid(10);
    }
    if (app.arguments().contains(QStringLiteral("--simulated")) && !phones.start(pairing))
        return 1;
    ProgramModelQuery query;
    ModelQuery::setShared(&query);
    QVUIKit kit;
    kit.setPaneFactories([] { return std::unique_ptr<AKPaneController>(new DeviceSelectionController); },
                         [] { return std::unique_ptr<AKPaneController>(new BluetoothPairingController); });
    if (!kit.startWizardWithOwner(std::make_shared<DemoOwner>()))
        return 1;
    QObject::connect(kit.wizardWindow(), &QDialog::finished, &app, &QApplication::quit);
    const int status = app.exec();
    kit.stop();
    ModelQuery::setShared(nullptr);
    platform::BluetoothStack::setShared(nullptr);
    return status;
}
