#include "lumwick/BluetoothDeviceExpert.h"

#include "lumwick/AKPaneController.h"
#include "lumwick/DeviceExpertPane.h"
#include "lumwick/LumwickLog.h"
#include "lumwick/ModelQuery.h"
#include "lumwick/OrbitalexWizard.h"
#include "lumwick/PieProgressIndicator.h"
#include "platform/Clock.h"
#include "platform/NotificationCenter.h"
#include "platform/bluetooth/BluetoothStack.h"
#include "platform/gui/Interface.h"

#include <QLabel>

namespace {
constexpr const char* kReady = "kReady";
constexpr const char* kNotReachable = "kNotReachable";
constexpr const char* kUnknown = "kUnknown";
constexpr const char* kHasStalePairing = "kHasStalePairing";
constexpr const char* kIsConnected = "kIsConnected";
constexpr const char* kNotConnected = "kNotConnected";
constexpr const char* kQueryingDevice = "kQueryingDevice";
} // namespace

std::shared_ptr<BluetoothDeviceExpert> BluetoothDeviceExpert::expertForDevice(
    std::shared_ptr<platform::BluetoothDevice> device, AKPaneController* controller)
{
    if (!controller || !controller->mainController())
        return nullptr;
    return std::make_shared<BluetoothDeviceExpert>(std::move(device), controller);
}

std::shared_ptr<BluetoothDeviceExpert> BluetoothDeviceExpert::expertForAddress(const QString& address,
                                                                               AKPaneController* controller)
{
    return expertForDevice(platform::BluetoothStack::shared().deviceWithAddressString(address), controller);
}

std::shared_ptr<BluetoothDeviceExpert> BluetoothDeviceExpert::init()
{
    lumwick::lumwickLog(QStringLiteral("init not allowed on BluetoothDeviceExpert, use initWithDevice..."));
    return nullptr;
}

BluetoothDeviceExpert::BluetoothDeviceExpert(AKPaneController* controller)
    : BluetoothDeviceExpert(nullptr, controller)
{
}

BluetoothDeviceExpert::BluetoothDeviceExpert(std::shared_ptr<platform::BluetoothDevice> device,
                                             AKPaneController* controller)
    : DeviceExpert(controller)
    , m_continuationTimer(std::make_unique<platform::Timer>())
    , m_finishedTimer(std::make_unique<platform::Timer>())
{
    if (pane())
        loadRow();
    m_properties = std::make_shared<DZDeviceProperties>();
    if (device) {
        m_device = std::move(device);
        const QString name = m_device->name();
        setBTNameString(lumwick::displayName(name, m_device->addressString()));
        m_properties->setBTAddress(m_device->addressString());
        setStatusTextString(QString::fromLatin1(m_device->isPaired() ? kIsConnected : kNotConnected));
    }
    haltProgressWithStatus(kIconEmpty);
    m_properties->setDeviceNumber(0);
    m_bluetoothExpert = true;
    m_usbExpert = false;
}

BluetoothDeviceExpert::~BluetoothDeviceExpert()
{
    delete m_row.data();
}

DeviceExpertPane* BluetoothDeviceExpert::pane() const
{
    return dynamic_cast<DeviceExpertPane*>(m_controller);
}

void BluetoothDeviceExpert::loadRow()
{
    m_row = pane()->loadBluetoothTableEntryNib();
    if (!m_row)
        return;
    m_btName = platform::gui::outlet<QLabel>(m_row, QStringLiteral("BTName"));
    m_statusText = platform::gui::outlet<QLabel>(m_row, QStringLiteral("StatusText"));
    m_progress = platform::gui::outlet<QVProgressPie>(m_row, QStringLiteral("BTprogressIndicator"));
}

QString BluetoothDeviceExpert::btNameString() const
{
    return m_btName ? m_btName->text() : QString();
}

QString BluetoothDeviceExpert::statusTextString() const
{
    return m_statusText ? m_statusText->text() : QString();
}

void BluetoothDeviceExpert::setBTNameString(const QString& name)
{
    if (m_btName)
        m_btName->setText(name);
}

void BluetoothDeviceExpert::setStatusTextString(const QString& key)
{
    if (m_statusText)
        m_statusText->setText(key.isEmpty() ? QString() : lumwick::localized(key));
}

void BluetoothDeviceExpert::setProgress(double value)
{
    if (!m_progress)
        return;
    m_progress->setHalted(false);
    m_progress->setDoubleValue(value);
    m_progress->update();
}

void BluetoothDeviceExpert::haltProgressWithStatus(int kind)
{
    setProgressHaltedWithImage(getStatusIcon(kind));
}

void BluetoothDeviceExpert::setProgressHaltedWithImage(const QImage& image)
{
    if (!m_progress)
        return;
    m_progress->setHaltedImage(image);
    m_progress->setHalted(true);
}

void BluetoothDeviceExpert::toggleAnimation()
{
    m_isAnimating = !m_isAnimating;
    if (!m_progress)
        return;
    if (m_isAnimating)
        m_progress->setHalted(true);
    else
        setProgress(10);
}

void BluetoothDeviceExpert::checkTTY()
{
    setProgress(0);
    const QString address = readProps() ? readProps()->btAddress() : QString();
    std::shared_ptr<platform::BluetoothDevice> device =
        address.isEmpty() ? nullptr : platform::BluetoothStack::shared().deviceWithAddressString(address);
    if (!device) {
        notReachable();
        return;
    }
    m_device = device;
    const QString name = device->name();
    if (!name.isEmpty())
        props().setBTUserName(name);
    setProgress(10);
    setStatusTextString(QString::fromLatin1(kQueryingDevice));

    closeConnection();
    std::weak_ptr<BluetoothDeviceExpert> self = weak_from_this();
    setContinuation([self] {
        if (auto expert = self.lock())
            expert->continueCeckTTYAfterFirstOpenConnection();
    });
    connectionComplete(device->openConnection(kCheckPageTimeout, false));
}

void BluetoothDeviceExpert::connectionComplete(int status)
{
    m_connectionCompleteStatus = status;
    if (!m_continuation || m_continuationTimer->isActive())
        return;
    m_continuationTimer->setCallback([this] {
        // Taken once: a completion after this only updates the status.
        const std::function<void()> continuation = std::move(m_continuation);
        m_continuation = {};
        if (continuation)
            continuation();
    });
    m_continuationTimer->start(kContinuationDelay);
}

void BluetoothDeviceExpert::continueCeckTTYAfterFirstOpenConnection()
{
    if (m_connectionCompleteStatus != 0) {
        notReachable();
        return;
    }
    setProgress(30);
    if (m_device && lumwick::hasBrokenPairing(*m_device)) {
        brokenPairing();
        return;
    }
    setProgress(50);
    if (!closeConnection())
        lumwick::lumwickLog(QStringLiteral("BDE: cCTTYAFOpenConnection: closeConnection didn't succeed"));
    const QString address = readProps() ? readProps()->btAddress() : QString();
    const int model = ModelQuery::shared().qvIDForBTAddress(address, kModelQueryRetries);
    closeConnection();
    setProgress(70);

    DeviceExpertPane* selection = pane();
    if (model == -1 && selection && selection->enableWindowsMobile()) {
        foundWindowsMobile();
        return;
    }
    if (m_connectionCompleteStatus != 0) {
        brokenPairing();
        return;
    }
    if (model > 0) {
        props().setDeviceNumber(model);
        props().setBTModelName(ModelQuery::shared().modelNameForQVID(model));
        if (m_controller && m_controller->isValid(getPropertiesDictionary())) {
            deviceReady();
            return;
        }
    }
    unknownDevice();
}

void BluetoothDeviceExpert::endCheck(const std::function<void()>& beforeClose)
{
    if (beforeClose)
        beforeClose();
    setProgress(90);
    closeConnection();
    setProgress(100);
    m_expertFinished = true;
    if (DeviceExpertPane* selection = pane())
        selection->validateButtons();
    postExpertFinished();
}

void BluetoothDeviceExpert::deviceReady()
{
    endCheck();
    setStatusTextString(QString::fromLatin1(kReady));
    m_isReachable = true;
    haltProgressWithStatus(kIconOk);
}

void BluetoothDeviceExpert::notReachable()
{
    endCheck();
    setStatusTextString(QString::fromLatin1(kNotReachable));
    m_isReachable = false;
    haltProgressWithStatus(kIconStop);
}

void BluetoothDeviceExpert::unknownDevice()
{
    endCheck();
    setStatusTextString(QString::fromLatin1(kUnknown));
    m_isReachable = true;
    haltProgressWithStatus(kIconStop);
}

void BluetoothDeviceExpert::brokenPairing()
{
    setStatusTextString(QString::fromLatin1(kHasStalePairing));
    props().setDeviceHasStalePairing(true);
    m_isReachable = true;
    endCheck([this] {
        setProgress(80);
        removePairing();
        DeviceExpertPane* selection = pane();
        if (std::shared_ptr<BluetoothDeviceExpert> self = weak_from_this().lock(); selection && self)
            selection->addInvalidExpert(self);
    });
    haltProgressWithStatus(kIconAttention);
}

void BluetoothDeviceExpert::foundWindowsMobile()
{
    endCheck();
    m_isReachable = true;
    if (m_progress)
        m_progress->setHalted(true);
}

bool BluetoothDeviceExpert::expertFinished()
{
    const bool stale = readProps() && readProps()->deviceHasStalePairing();
    if (isPaired() && !stale)
        return m_expertFinished;
    return true;
}

void BluetoothDeviceExpert::removePairing()
{
    if (m_device)
        lumwick::removePairing(*m_device);
}

QString BluetoothDeviceExpert::description() const
{
    return describedAs("BluetoothDeviceExpert");
}

void BluetoothDeviceExpert::postExpertFinished()
{
    m_finishedTimer->setCallback([this] {
        platform::NotificationCenter::defaultCenter().post(QString::fromLatin1(kExpertFinishedNotification), static_cast<const DeviceExpert*>(this));
    });
    m_finishedTimer->start(kFinishedDelay);
}
