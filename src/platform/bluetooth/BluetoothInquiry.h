#pragma once

#include <QSet>
#include <QString>
#include <memory>

namespace platform {

class BluetoothDevice;
class BluetoothInquiry;

// Receives the events of an inquiry, on the main thread and never inside the
// call that caused them.
class BluetoothInquiryDelegate {
public:
    virtual ~BluetoothInquiryDelegate() = default;
    virtual void deviceInquiryStarted(BluetoothInquiry& inquiry) = 0;
    virtual void deviceInquiryDeviceFound(BluetoothInquiry& inquiry,
                                          const std::shared_ptr<BluetoothDevice>& device) = 0;
    virtual void deviceInquiryUpdatingDeviceNamesStarted(BluetoothInquiry& inquiry, int devicesRemaining) = 0;
    virtual void deviceInquiryDeviceNameUpdated(BluetoothInquiry& inquiry,
                                                const std::shared_ptr<BluetoothDevice>& device,
                                                int devicesRemaining) = 0;
    // error 0 for a normal end; aborted when stop() ended it.
    virtual void deviceInquiryComplete(BluetoothInquiry& inquiry, int error, bool aborted) = 0;
};

// A search for the devices in reach. Each device is reported once per run,
// only when it passes the class filter; with name updates on, a device found
// without a name gets a name event once the stack learned it. A run ends with
// exactly one complete event. Made by BluetoothStack::makeInquiry().
class BluetoothInquiry {
public:
    static constexpr int kAnyClass = -1;
    // How long a run searches (the radio's standard inquiry length).
    static constexpr double kInquiryLength = 10.24;

    virtual ~BluetoothInquiry();
    BluetoothInquiry(const BluetoothInquiry&) = delete;
    BluetoothInquiry& operator=(const BluetoothInquiry&) = delete;

    void setDelegate(BluetoothInquiryDelegate* delegate) { _delegate = delegate; }
    BluetoothInquiryDelegate* delegate() const { return _delegate; }
    // kAnyClass for any; major and minor device class, service class bits.
    void setSearchCriteria(int serviceClass, int majorClass, int minorClass);
    void setUpdateNewDeviceNames(bool update) { _updateNames = update; }
    bool updateNewDeviceNames() const { return _updateNames; }

    // 0 when the run started (its started event follows); an error status
    // when it could not start (no complete event then).
    int start();
    // Ends a run: the complete event follows with aborted set. 0 when a run
    // was going.
    int stop();
    bool isRunning() const { return _running; }

    // Whether a class of device passes the filter.
    bool passesFilter(quint32 classOfDevice) const;

protected:
    BluetoothInquiry();
    // Backend hooks: begin searching (answer 0 when started), end searching.
    virtual int startSearch() = 0;
    virtual void stopSearch() = 0;

    // Backends report through these, from the main loop.
    void searchStarted();
    void found(const std::shared_ptr<BluetoothDevice>& device);
    void nameLearned(const std::shared_ptr<BluetoothDevice>& device);
    // The search ended by itself.
    void searchEnded(int error);

private:
    void finish(int error, bool aborted);
    int namesPending() const { return int(_waitingForName.size()); }

    BluetoothInquiryDelegate* _delegate = nullptr;
    int _serviceClass = kAnyClass;
    int _majorClass = kAnyClass;
    int _minorClass = kAnyClass;
    bool _updateNames = false;
    bool _running = false;
    bool _namesAnnounced = false;
    QSet<QString> _found;
    QSet<QString> _waitingForName;
    std::unique_ptr<class QObject> _guard;
};

} // namespace platform
