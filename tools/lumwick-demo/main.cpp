// Runs the stand-alone setup wizard. With --simulated the Bluetooth layer is
// the simulated one with two phones in reach, so no radio is needed.
#include "lumwick/QVUIKit.h"
#include "platform/bluetooth/BluetoothStackSimulated.h"

#include <QApplication>
#include <QDebug>
#include <QDialog>

namespace {

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
    bool isValid(const QVariantMap&) override { return true; }
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (app.arguments().contains(QStringLiteral("--simulated"))) {
        auto stack = std::make_shared<platform::BluetoothStackSimulated>();
        stack->addDevice(QStringLiteral("00-1e-75-11-22-33"), QStringLiteral("Anna's KG800"), true, {});
        stack->addDevice(QStringLiteral("00-1e-75-44-55-66"), QStringLiteral("U8360"), false, {});
        platform::BluetoothStack::setShared(stack);
    }
    QVUIKit kit;
    if (!kit.startWizardWithOwner(std::make_shared<DemoOwner>()))
        return 1;
    QObject::connect(kit.wizardWindow(), &QDialog::finished, &app, &QApplication::quit);
    const int status = app.exec();
    kit.stop();
    platform::BluetoothStack::setShared(nullptr);
    return status;
}
