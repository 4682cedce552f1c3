#include "lumwick/BluetoothExpertScheduler.h"

#include "lumwick/BluetoothDeviceExpert.h"
#include "lumwick/DeviceSelectionController.h"
#include "lumwick/LumwickLog.h"
#include "lumwick/OrbitalexWizard.h"
#include "lumwick/QVBTDeviceScanner.h"
#include "platform/Clock.h"
#include "platform/bluetooth/BluetoothStack.h"

bool BluetoothExpertScheduler::hasBluetooth()
{
    platform::BluetoothStack& stack = platform::BluetoothStack::shared();
    return stack.hasAdapter() && stack.powerState() == platform::bluetooth::kPowerOn;
}

BluetoothExpertScheduler& BluetoothExpertScheduler::sharedScheduler()
{
    static BluetoothExpertScheduler scheduler;
    return scheduler;
}

BluetoothExpertScheduler::BluetoothExpertScheduler()
    : m_check(std::make_unique<platform::Timer>())
    , m_nextInquiry(std::make_unique<platform::Timer>())
{
    m_observer = platform::NotificationCenter::defaultCenter().addObserver(
        this, QString::fromLatin1(BluetoothDeviceExpert::kExpertFinishedNotification), nullptr,
        [this](const platform::Notification&) { callNextPairedExpert(); });
    m_nextInquiry->setCallback([this] { getNewDevices(); });
}

BluetoothExpertScheduler::~BluetoothExpertScheduler()
{
    platform::NotificationCenter::defaultCenter().removeObserver(m_observer);
    if (m_search)
        m_search->setDelegate(nullptr);
}

void BluetoothExpertScheduler::reinit()
{
    m_invalid.clear();
    for (const auto& expert : std::as_const(m_unpaired))
        m_invalid.append(expert);
    for (const auto& expert : std::as_const(m_paired))
        m_invalid.append(expert);
    m_unpaired.clear();
    m_paired.clear();
    m_nextPairedExpert = -1;
    m_shouldStop = false;
}

QList<std::shared_ptr<BluetoothDeviceExpert>> BluetoothExpertScheduler::findPairedDevicesAndCreateDeviceExperts()
{
    if (!hasBluetooth())
        return {};
    m_paired.clear();
    m_surveying.clear();
    for (const DZDeviceProperties& properties :
         QVBTDeviceScanner::getPropertiesOfPairedDevices().value_or(QList<DZDeviceProperties>())) {
        if (std::shared_ptr<BluetoothDeviceExpert> expert = BluetoothDeviceExpertWithProperties(properties))
            m_paired.append(expert);
    }
    for (const std::shared_ptr<platform::BluetoothDevice>& device :
         platform::BluetoothStack::shared().pairedDevices()) {
        if (!device->hasServiceRecords())
            surveyLater(device);
    }
    m_nextPairedExpert = m_paired.isEmpty() ? -1 : 0;
    return m_paired;
}

std::shared_ptr<BluetoothDeviceExpert> BluetoothExpertScheduler::BluetoothDeviceExpertWithProperties(
    const DZDeviceProperties& properties)
{
    std::shared_ptr<platform::BluetoothDevice> device = lumwick::withNSStringAddress(properties.btAddress());
    if (!device)
        return nullptr;
    std::shared_ptr<BluetoothDeviceExpert> expert = BluetoothDeviceExpert::expertForDevice(device, m_pane);
    if (!expert)
        return nullptr;
    expert->setProperties(std::make_shared<DZDeviceProperties>(properties));
    expert->setProgress(0);
    return expert;
}

void BluetoothExpertScheduler::surveyLater(const std::shared_ptr<platform::BluetoothDevice>& device)
{
    m_surveying.append(device->addressString());
    std::weak_ptr<bool> alive = m_alive;
    const int started = device->performSdpQuery([this, alive, device](int status) {
        if (alive.lock())
            surveyed(device, status);
    });
    if (started != 0)
        m_surveying.removeAll(device->addressString());
}

void BluetoothExpertScheduler::surveyed(const std::shared_ptr<platform::BluetoothDevice>& device, int status)
{
    if (!m_surveying.removeAll(device->addressString()) || m_shouldStop || status != 0 || isKnownDevice(*device))
        return;
    const std::optional<DZDeviceProperties> properties = QVBTDeviceScanner::getPropertiesOfDevice(*device);
    std::shared_ptr<BluetoothDeviceExpert> expert = properties ? BluetoothDeviceExpertWithProperties(*properties)
                                                               : nullptr;
    if (!expert)
        return;
    m_paired.append(expert);
    if (m_nextPairedExpert < 0 || m_nextPairedExpert > m_paired.size() - 1)
        m_nextPairedExpert = int(m_paired.size()) - 1;
    if (m_pane)
        m_pane->addRow(expert);
    // An idle chain takes it up now; a running one after its check.
    if (!m_checking && !m_check->isActive())
        platform::NotificationCenter::defaultCenter().post(
            QString::fromLatin1(BluetoothDeviceExpert::kExpertFinishedNotification), this);
}

void BluetoothExpertScheduler::startRecognition()
{
    m_shouldStop = false;
    if (hasBluetooth())
        platform::NotificationCenter::defaultCenter().post(
            QString::fromLatin1(BluetoothDeviceExpert::kExpertFinishedNotification), this);
}

void BluetoothExpertScheduler::checkLater(const std::shared_ptr<BluetoothDeviceExpert>& expert)
{
    std::weak_ptr<BluetoothDeviceExpert> weak = expert;
    m_check->setCallback([this, weak] {
        std::shared_ptr<BluetoothDeviceExpert> next = weak.lock();
        if (!next || m_shouldStop)
            return;
        m_checking = true;
        next->checkTTY();
    });
    m_check->start(kCheckDelay);
}

void BluetoothExpertScheduler::callNextPairedExpert()
{
    m_checking = false;
    if (m_shouldStop)
        return;
    if (m_pane) {
        auto selected = std::dynamic_pointer_cast<BluetoothDeviceExpert>(m_pane->selectedDeviceExpert());
        if (selected && m_paired.contains(selected) && selected->isPaired()
            && !(selected->properties() && selected->properties()->deviceHasStalePairing())
            && !selected->expertFinished()) {
            checkLater(selected);
            return;
        }
    }
    if (m_nextPairedExpert >= 0) {
        while (m_nextPairedExpert < m_paired.size() && m_paired.at(m_nextPairedExpert)->expertFinished())
            ++m_nextPairedExpert;
    }
    if (m_nextPairedExpert < 0 || m_nextPairedExpert >= m_paired.size()) {
        // Not inside the finishing expert's notification: on a later pass.
        m_nextInquiry->start(0);
        return;
    }
    checkLater(m_paired.at(m_nextPairedExpert++));
}

void BluetoothExpertScheduler::getNewDevices()
{
    if (m_shouldStop)
        return;
    std::unique_ptr<platform::BluetoothInquiry> search = platform::BluetoothStack::shared().makeInquiry();
    if (!search) {
        lumwick::lumwickLog(QStringLiteral("couldn't init an IOBluetoothDeviceInquiry"));
        return;
    }
    if (m_search) {
        m_search->setDelegate(nullptr);
        m_search->stop();
    }
    m_search = std::move(search);
    m_search->setDelegate(this);
    m_search->setSearchCriteria(platform::BluetoothInquiry::kAnyClass, int(platform::bluetooth::kMajorClassPhone),
                                platform::BluetoothInquiry::kAnyClass);
    m_search->setUpdateNewDeviceNames(true);
    if (const int status = m_search->start(); status != 0)
        lumwick::lumwickLog(QStringLiteral("device inquiry ended with error code 0x%1").arg(uint(status), 0, 16));
}

void BluetoothExpertScheduler::stopOperation()
{
    m_shouldStop = true;
    m_check->stop();
    m_nextInquiry->stop();
    if (m_search) {
        m_search->setDelegate(nullptr);
        m_search->stop();
        m_search.reset();
    }
    for (const auto& expert : std::as_const(m_paired))
        expert->closeConnection();
    for (const auto& expert : std::as_const(m_unpaired))
        expert->closeConnection();
    for (const auto& expert : std::as_const(m_invalid))
        expert->closeConnection();
}

void BluetoothExpertScheduler::releaseExperts()
{
    m_paired.clear();
    m_unpaired.clear();
    m_invalid.clear();
    m_surveying.clear();
    m_nextPairedExpert = -1;
}

std::shared_ptr<BluetoothDeviceExpert> BluetoothExpertScheduler::findDeviceExpertForAddress(
    const QString& address) const
{
    const std::optional<platform::BluetoothAddress> wanted = platform::BluetoothAddress::fromString(address);
    if (!wanted)
        return nullptr;
    for (const auto* list : {&m_paired, &m_unpaired}) {
        for (const auto& expert : *list) {
            if (expert->properties()
                && platform::BluetoothAddress::fromString(expert->properties()->btAddress()) == wanted)
                return expert;
        }
    }
    return nullptr;
}

std::shared_ptr<BluetoothDeviceExpert> BluetoothExpertScheduler::findDeviceExpertForDevice(
    const platform::BluetoothDevice& device) const
{
    return findDeviceExpertForAddress(device.addressString());
}

bool BluetoothExpertScheduler::isKnownDevice(const platform::BluetoothDevice& device) const
{
    return findDeviceExpertForDevice(device) != nullptr;
}

void BluetoothExpertScheduler::addDeviceExpert(const std::shared_ptr<BluetoothDeviceExpert>& expert)
{
    if (!expert)
        return;
    m_unpaired.append(expert);
    if (m_pane)
        m_pane->addRow(expert);
}

void BluetoothExpertScheduler::addInvalidExpert(std::shared_ptr<DeviceExpert> expert)
{
    if (expert && !m_invalid.contains(expert))
        m_invalid.append(std::move(expert));
}

void BluetoothExpertScheduler::deviceInquiryStarted(platform::BluetoothInquiry&)
{
}

void BluetoothExpertScheduler::deviceInquiryDeviceFound(platform::BluetoothInquiry& inquiry,
                                                        const std::shared_ptr<platform::BluetoothDevice>& device)
{
    if (!device || &inquiry != m_search.get() || isKnownDevice(*device))
        return;
    // A paired phone is listed by its services (read now when never read):
    // as a found phone it would stay unchecked and could never be chosen.
    if (device->isPaired())
        return;
    if (!lumwick::isPhone(*device) && !m_doSupportWindowsMobile && !lumwick::isComputerHandheld(*device))
        return;
    std::shared_ptr<BluetoothDeviceExpert> expert = BluetoothDeviceExpert::expertForDevice(device, m_pane);
    if (!expert) {
        lumwick::lumwickLog(QStringLiteral("couldn't create expert for newly found device"));
        return;
    }
    addDeviceExpert(expert);
    if (m_shouldStop && m_search)
        m_search->stop();
}

void BluetoothExpertScheduler::deviceInquiryUpdatingDeviceNamesStarted(platform::BluetoothInquiry&, int)
{
}

void BluetoothExpertScheduler::deviceInquiryDeviceNameUpdated(platform::BluetoothInquiry&,
                                                              const std::shared_ptr<platform::BluetoothDevice>& device,
                                                              int)
{
    if (!device)
        return;
    std::shared_ptr<BluetoothDeviceExpert> expert = findDeviceExpertForDevice(*device);
    const QString name = device->name();
    if (!expert || name.isEmpty())
        return;
    const QString shown = lumwick::displayName(name, device->addressString());
    expert->setBTNameString(shown);
    if (expert->properties())
        expert->properties()->setBTUserName(shown);
}

void BluetoothExpertScheduler::deviceInquiryComplete(platform::BluetoothInquiry&, int error, bool aborted)
{
    if (aborted) {
        lumwick::lumwickLog(QStringLiteral("Inquiry aborted"));
        return;
    }
    if (error != 0)
        lumwick::lumwickLog(QStringLiteral("device inquiry ended with error code 0x%1").arg(uint(error), 0, 16));
    if (m_shouldStop)
        return;
    // Not inside the inquiry's own callback: an owned timer starts the next.
    m_nextInquiry->start(error != 0 ? kInquiryErrorPause : kInquiryPause);
}
