#pragma once

#include "platform/NotificationCenter.h"
#include "platform/bluetooth/BluetoothInquiry.h"
#include "usbdevice/DZDeviceProperties.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

class BluetoothDeviceExpert;
class DeviceExpert;
class DeviceSelectionController;
class QVWizardCallbacks;

namespace platform {
class BluetoothDevice;
class Timer;
} // namespace platform

// Checks the paired phones of the selection list one at a time (the one the
// user selected first) and, once they are done, searches for phones in reach
// again and again until the pane is left. One shared instance, reset at each
// pane start; every wait is an owned timer on the platform clock.
class BluetoothExpertScheduler : public platform::BluetoothInquiryDelegate {
public:
    // Before each check; between inquiries, after an error.
    static constexpr double kCheckDelay = 0.5;
    static constexpr double kInquiryPause = 0.5;
    static constexpr double kInquiryErrorPause = 2.0;

    // A local adapter whose power is on.
    static bool hasBluetooth();
    static BluetoothExpertScheduler& sharedScheduler();

    BluetoothExpertScheduler();
    ~BluetoothExpertScheduler() override;
    BluetoothExpertScheduler(const BluetoothExpertScheduler&) = delete;
    BluetoothExpertScheduler& operator=(const BluetoothExpertScheduler&) = delete;

    // The experts of the last visit become invalid (their links are still
    // closed at the stop); empty lists, no next expert, not stopped.
    void reinit();
    // One expert per paired phone with a surveyed service; empty without
    // Bluetooth. Paired phones whose services were never read are asked
    // for them now; those that offer a surveyed service join the list (and
    // the chain) when the answer comes.
    QList<std::shared_ptr<BluetoothDeviceExpert>> findPairedDevicesAndCreateDeviceExperts();
    std::shared_ptr<BluetoothDeviceExpert> BluetoothDeviceExpertWithProperties(const DZDeviceProperties& properties);
    // Starts the chain of checks (with Bluetooth).
    void startRecognition();
    // The chain's step, on every "BTEScheduler.ExpertFinished".
    void callNextPairedExpert();
    // Starts an inquiry for phones (replacing a running one).
    void getNewDevices();
    // Stops the chain and the inquiry, closes every expert's link.
    void stopOperation();
    // Lets go of every expert (their pane goes away).
    void releaseExperts();
    bool shouldContinue() const { return !m_shouldStop; }
    bool shouldStop() const { return m_shouldStop; }

    std::shared_ptr<BluetoothDeviceExpert> findDeviceExpertForDevice(const platform::BluetoothDevice& device) const;
    std::shared_ptr<BluetoothDeviceExpert> findDeviceExpertForAddress(const QString& address) const;
    bool isKnownDevice(const platform::BluetoothDevice& device) const;
    bool isNewDevice(const platform::BluetoothDevice& device) const { return !isKnownDevice(device); }
    // A phone found by the inquiry: a row and an unpaired expert.
    void addDeviceExpert(const std::shared_ptr<BluetoothDeviceExpert>& expert);

    void deviceInquiryStarted(platform::BluetoothInquiry& inquiry) override;
    void deviceInquiryDeviceFound(platform::BluetoothInquiry& inquiry,
                                  const std::shared_ptr<platform::BluetoothDevice>& device) override;
    void deviceInquiryUpdatingDeviceNamesStarted(platform::BluetoothInquiry& inquiry, int devicesRemaining) override;
    void deviceInquiryDeviceNameUpdated(platform::BluetoothInquiry& inquiry,
                                        const std::shared_ptr<platform::BluetoothDevice>& device,
                                        int devicesRemaining) override;
    void deviceInquiryComplete(platform::BluetoothInquiry& inquiry, int error, bool aborted) override;

    const QList<std::shared_ptr<BluetoothDeviceExpert>>& pairedDeviceExperts() const { return m_paired; }
    const QList<std::shared_ptr<BluetoothDeviceExpert>>& unpairedDeviceExperts() const { return m_unpaired; }
    const QList<std::shared_ptr<DeviceExpert>>& invalidExperts() const { return m_invalid; }
    int nextPairedExpert() const { return m_nextPairedExpert; }
    platform::BluetoothInquiry* inquiry() const { return m_search.get(); }
    void setDoSupportWindowsMobile(bool on) { m_doSupportWindowsMobile = on; }
    bool doSupportWindowsMobile() const { return m_doSupportWindowsMobile; }
    void setDeviceSelectionController(DeviceSelectionController* pane) { m_pane = pane; }
    DeviceSelectionController* deviceSelectionController() const { return m_pane; }
    void setMainController(QVWizardCallbacks* host) { m_host = host; }
    QVWizardCallbacks* mainController() const { return m_host; }
    // Keeps an expert whose link must still be closed at the stop.
    void addInvalidExpert(std::shared_ptr<DeviceExpert> expert);

private:
    void checkLater(const std::shared_ptr<BluetoothDeviceExpert>& expert);
    void surveyLater(const std::shared_ptr<platform::BluetoothDevice>& device);
    void surveyed(const std::shared_ptr<platform::BluetoothDevice>& device, int status);

    QList<std::shared_ptr<BluetoothDeviceExpert>> m_paired;
    int m_nextPairedExpert = -1;
    QList<std::shared_ptr<BluetoothDeviceExpert>> m_unpaired;
    QList<std::shared_ptr<DeviceExpert>> m_invalid;
    bool m_shouldStop = false;
    std::unique_ptr<platform::BluetoothInquiry> m_search;
    bool m_doSupportWindowsMobile = false;
    DeviceSelectionController* m_pane = nullptr; // cleared by the pane when it goes
    QVWizardCallbacks* m_host = nullptr;
    platform::NotificationCenter::Token m_observer = 0;
    std::unique_ptr<platform::Timer> m_check;
    std::unique_ptr<platform::Timer> m_nextInquiry;
    // Paired phones whose records are being read; a check under way.
    QStringList m_surveying;
    bool m_checking = false;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};
