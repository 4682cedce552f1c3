#pragma once

#include "lumwick/DeviceExpert.h"
#include "lumwick/PieProgressIndicator.h"

#include <QLabel>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

class DeviceExpertPane;

namespace platform {
class Timer;
}

// A Bluetooth phone of the selection list: its row (name, status text and
// progress pie) and its check: is the phone in reach, does its pairing still
// work, which model is it. A check ends in one of five outcomes (ready, not
// reachable, unknown, broken pairing, Windows Mobile); each marks the expert
// finished and, half a second later, posts "BTEScheduler.ExpertFinished" with
// the expert as sender, on which the scheduler checks the next phone.
class BluetoothDeviceExpert : public DeviceExpert, public std::enable_shared_from_this<BluetoothDeviceExpert> {
public:
    static constexpr const char* kExpertFinishedNotification = "BTEScheduler.ExpertFinished";
    // Page time-out of the check's baseband open, in slots of 0.625 ms.
    static constexpr int kCheckPageTimeout = 0x2000;
    static constexpr double kContinuationDelay = 0.2;
    static constexpr double kFinishedDelay = 0.5;
    static constexpr int kModelQueryRetries = 1;

    // Null when the controller is null or has no host.
    static std::shared_ptr<BluetoothDeviceExpert> expertForDevice(std::shared_ptr<platform::BluetoothDevice> device,
                                                                  AKPaneController* controller);
    // The device of the shared Bluetooth stack for the address.
    static std::shared_ptr<BluetoothDeviceExpert> expertForAddress(const QString& address,
                                                                   AKPaneController* controller);
    // An expert needs a device or at least a controller: refused (logged, null).
    static std::shared_ptr<BluetoothDeviceExpert> init();

    // With a device: its name (or address) in the row, its address in the
    // properties, "kIsConnected" or "kNotConnected" as status. A controller
    // that is a DeviceExpertPane gives the expert its row.
    BluetoothDeviceExpert(std::shared_ptr<platform::BluetoothDevice> device, AKPaneController* controller);
    // No device: the expert has no address, and its check ends not reachable.
    explicit BluetoothDeviceExpert(AKPaneController* controller);
    ~BluetoothDeviceExpert() override;

    // The row and its outlets; null without a row.
    QWidget* view() const { return m_row.data(); }
    QVProgressPie* progressIndicator() const { return m_progress.data(); }
    QString btNameString() const;
    QString statusTextString() const;
    void setBTNameString(const QString& name);
    // Shows the localized text of the key.
    void setStatusTextString(const QString& key);

    // Releases the pie's halt and shows the value.
    virtual void setProgress(double value);
    // Halts the pie showing the status image of the kind.
    void haltProgressWithStatus(int kind);
    void setProgressHaltedWithImage(const QImage& image);
    bool isAnimating() const { return m_isAnimating; }
    void toggleAnimation();

    // The check, started by the scheduler.
    void checkTTY();
    // The baseband open's completion: keeps the status and runs the
    // continuation once, 0.2 s later.
    void connectionComplete(int status);
    void continueCeckTTYAfterFirstOpenConnection();
    int connectionCompleteStatus() const { return m_connectionCompleteStatus; }

    // The outcomes.
    void notReachable();
    void brokenPairing();
    void unknownDevice();
    void foundWindowsMobile();

    // Finished: YES unless the phone is paired with a working pairing and its
    // check has not ended (unpaired and stale phones are never checked).
    bool expertFinished() override;
    void removePairing();
    bool isReady() override { return true; }
    bool isReachable() override { return m_isReachable; }
    QString description() const override;

    // What runs after a baseband open completes; an empty function clears it.
    void setContinuation(std::function<void()> continuation) { m_continuation = std::move(continuation); }
    bool hasContinuation() const { return bool(m_continuation); }

    void postExpertFinished();

private:
    void deviceReady();
    void loadRow();
    // Close, progress 90 and 100 around it, finished, the pane told, the
    // notification posted 0.5 s later.
    void endCheck(const std::function<void()>& beforeClose = {});
    DeviceExpertPane* pane() const;

    QPointer<QWidget> m_row;
    QPointer<QLabel> m_btName;
    QPointer<QLabel> m_statusText;
    QPointer<QVProgressPie> m_progress;
    bool m_isAnimating = false;
    int m_connectionCompleteStatus = 0;
    std::function<void()> m_continuation;
    bool m_expertFinished = false;
    bool m_isReachable = true;
    std::unique_ptr<platform::Timer> m_continuationTimer;
    std::unique_ptr<platform::Timer> m_finishedTimer;
};
