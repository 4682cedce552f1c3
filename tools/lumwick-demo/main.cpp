// Runs the stand-alone setup wizard. With --simulated the Bluetooth layer is
// the simulated one, and a stand-in for the phone-choosing pane lists three
// paired phones and checks them one after another: one is ready, one has a
// broken pairing, one is out of reach. No radio is needed.
#include "lumwick/AKPaneController.h"
#include "lumwick/BluetoothDeviceExpert.h"
#include "lumwick/DeviceExpertPane.h"
#include "lumwick/ModelQuery.h"
#include "lumwick/QVUIKit.h"
#include "platform/Clock.h"
#include "platform/NotificationCenter.h"
#include "platform/RunLoop.h"
#include "platform/bluetooth/BluetoothStackSimulated.h"

#include <QApplication>
#include <QDebug>
#include <QDialog>
#include <QLabel>
#include <QVBoxLayout>

namespace {

const QString kReadyPhone = QStringLiteral("00:1e:75:11:22:33");
const QString kStalePhone = QStringLiteral("00:1e:75:44:55:66");
const QString kAwayPhone = QStringLiteral("00:1e:75:77:88:99");

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

// Knows one model; takes a second to "ask the phone".
class DemoModelQuery : public ModelQuery {
public:
    int qvIDForBTAddress(const QString& address, int) override
    {
        platform::runloop::runFor(1.0);
        return platform::BluetoothAddress::fromString(address) == platform::BluetoothAddress::fromString(kReadyPhone)
                   ? 412
                   : -1;
    }
    QString modelNameForQVID(int id) override { return id == 412 ? QStringLiteral("KG800") : QString(); }
    int qvIDForUSBAddress(const QString&) override { return -1; }
    QString deviceTypeForQVID(int) override { return {}; }
};

// Stands in for the phone-choosing pane: one row per phone, checked in turn;
// Next goes on with the first phone that is ready.
class DemoSelectionPane : public AKPaneController, public DeviceExpertPane {
public:
    QString defaultNibName() const override { return QStringLiteral("AKStartPane"); }
    QString localizationKey() const override { return QStringLiteral("kSelectDevice"); }

    void prepareForDisplay() override
    {
        setPreviousButtonEnabled(true);
        setNextButtonEnabled(false);
    }

    void startProcessing() override
    {
        QWidget* view = wizardPaneView();
        if (auto* text = view->findChild<QLabel*>(QStringLiteral("introduction")))
            text->setText(QStringLiteral("Phones paired with this computer:"));
        m_experts.clear();
        auto* layout = static_cast<QVBoxLayout*>(view->layout());
        layout->addStretch(1);
        for (const QString& address : {kReadyPhone, kStalePhone, kAwayPhone}) {
            auto expert = BluetoothDeviceExpert::expertForAddress(address, this);
            if (!expert)
                continue;
            layout->insertWidget(int(m_experts.size()) + 1, expert->view());
            expert->setProgress(0);
            m_experts.push_back(expert);
        }
        m_next = 0;
        m_finished = platform::NotificationCenter::defaultCenter().addObserver(
            this, QString::fromLatin1(BluetoothDeviceExpert::kExpertFinishedNotification), nullptr,
            [this](const platform::Notification&) { checkNext(); });
        m_checkLater.setCallback([this] { checkNext(); });
        m_checkLater.start(0.5);
    }

    void stopProcessing() override
    {
        m_checkLater.stop();
        platform::NotificationCenter::defaultCenter().removeObserver(m_finished);
    }

    void validateButtons() override
    {
        for (const auto& expert : m_experts) {
            if (expert->expertFinished() && expert->isReachable() && expert->properties()->deviceNumber() > 0) {
                mainController()->setDeviceExpert(expert);
                setNextButtonEnabled(true);
                return;
            }
        }
    }
    bool enableWindowsMobile() const override { return false; }
    void addInvalidExpert(std::shared_ptr<DeviceExpert>) override {}

private:
    void checkNext()
    {
        if (m_next >= m_experts.size())
            return;
        std::shared_ptr<BluetoothDeviceExpert> expert = m_experts[m_next++];
        m_checkLater.setCallback([expert] { expert->checkTTY(); });
        m_checkLater.start(0.5);
    }

    std::vector<std::shared_ptr<BluetoothDeviceExpert>> m_experts;
    size_t m_next = 0;
    platform::Timer m_checkLater;
    platform::NotificationCenter::Token m_finished = 0;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const bool simulated = app.arguments().contains(QStringLiteral("--simulated"));
    DemoModelQuery query;
    QVUIKit kit;
    if (simulated) {
        auto stack = std::make_shared<platform::BluetoothStackSimulated>();
        stack->addDevice(kReadyPhone, QStringLiteral("Anna's KG800"), true, {});
        stack->addDevice(kStalePhone, QStringLiteral("U8360"), true, {});
        stack->setStalePairing(kStalePhone);
        platform::BluetoothStack::setShared(stack);
        ModelQuery::setShared(&query);
        kit.setPaneFactories(
            [] { return std::unique_ptr<AKPaneController>(new DemoSelectionPane); }, {});
    }
    if (!kit.startWizardWithOwner(std::make_shared<DemoOwner>()))
        return 1;
    QObject::connect(kit.wizardWindow(), &QDialog::finished, &app, &QApplication::quit);
    const int status = app.exec();
    kit.stop();
    ModelQuery::setShared(nullptr);
    platform::BluetoothStack::setShared(nullptr);
    return status;
}
