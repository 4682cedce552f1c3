#include "platform/bluetooth/BluetoothInquiry.h"

#include "platform/IOReturn.h"
#include "platform/RunLoop.h"
#include "platform/bluetooth/BluetoothStack.h"

#include <QObject>

namespace platform {

BluetoothInquiry::BluetoothInquiry() : _guard(std::make_unique<QObject>())
{
}

BluetoothInquiry::~BluetoothInquiry() = default;

void BluetoothInquiry::setSearchCriteria(int serviceClass, int majorClass, int minorClass)
{
    _serviceClass = serviceClass;
    _majorClass = majorClass;
    _minorClass = minorClass;
}

bool BluetoothInquiry::passesFilter(quint32 classOfDevice) const
{
    if (_majorClass != kAnyClass && int(bluetooth::majorDeviceClass(classOfDevice)) != _majorClass)
        return false;
    if (_minorClass != kAnyClass && int(bluetooth::minorDeviceClass(classOfDevice)) != _minorClass)
        return false;
    if (_serviceClass != kAnyClass && (bluetooth::serviceClasses(classOfDevice) & quint32(_serviceClass)) == 0)
        return false;
    return true;
}

int BluetoothInquiry::start()
{
    if (_running)
        return kIOReturnBusy;
    _found.clear();
    _waitingForName.clear();
    _namesAnnounced = false;
    const int status = startSearch();
    if (status != 0)
        return status;
    _running = true;
    return 0;
}

int BluetoothInquiry::stop()
{
    if (!_running)
        return kIOReturnNotOpen;
    stopSearch();
    // The event comes on a later pass, as the stack's own would.
    _running = false;
    runloop::performOnMainThread([this] { finish(0, true); }, _guard.get());
    return 0;
}

void BluetoothInquiry::searchStarted()
{
    if (_running && _delegate)
        _delegate->deviceInquiryStarted(*this);
}

void BluetoothInquiry::found(const std::shared_ptr<BluetoothDevice>& device)
{
    if (!_running || !device)
        return;
    const QString key = device->addressString();
    if (_found.contains(key) || !passesFilter(device->classOfDevice()))
        return;
    _found.insert(key);
    const bool nameless = device->name().isEmpty();
    if (nameless && _updateNames)
        _waitingForName.insert(key);
    if (_delegate)
        _delegate->deviceInquiryDeviceFound(*this, device);
    if (nameless && _updateNames && !_namesAnnounced && _running && _delegate) {
        _namesAnnounced = true;
        _delegate->deviceInquiryUpdatingDeviceNamesStarted(*this, namesPending());
    }
}

void BluetoothInquiry::nameLearned(const std::shared_ptr<BluetoothDevice>& device)
{
    // Only a name that came counts; the device keeps waiting for one.
    if (!_running || !device || device->name().isEmpty() || !_waitingForName.remove(device->addressString()))
        return;
    if (_delegate)
        _delegate->deviceInquiryDeviceNameUpdated(*this, device, namesPending());
}

void BluetoothInquiry::searchEnded(int error)
{
    if (!_running)
        return;
    _running = false;
    finish(error, false);
}

void BluetoothInquiry::finish(int error, bool aborted)
{
    if (_delegate)
        _delegate->deviceInquiryComplete(*this, error, aborted);
}

} // namespace platform
