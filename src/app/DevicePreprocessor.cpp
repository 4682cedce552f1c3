#include "app/DevicePreprocessor.h"

#include "app/AppLog.h"

#include "device/MFDeviceInfo.h"
#include "device/QVSyncDeviceDescription.h"
#include "foundation/NamedLog.h"
#include "jobs/QVAction.h"
#include "phone/MFDevice.h"
#include "platform/IOReturn.h"
#include "platform/PropertyList.h"
#include "platform/RunLoop.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace {

DevicePreprocessor::JobMaker& jobMaker()
{
    static DevicePreprocessor::JobMaker maker;
    return maker;
}

DevicePreprocessor::AnchorPath& anchorPath()
{
    static DevicePreprocessor::AnchorPath path;
    return path;
}

constexpr const char* kSyncProtocolKey = "Dorvanti.SyncMLProtocol";

} // namespace

static_assert(DevicePreprocessor::kBusy == platform::kIOReturnBusy);
static_assert(DevicePreprocessor::kIOError == platform::kIOReturnIOError);

void DevicePreprocessor::setJobMaker(JobMaker maker)
{
    jobMaker() = std::move(maker);
}

void DevicePreprocessor::setAnchorPath(AnchorPath path)
{
    anchorPath() = std::move(path);
}

QString DevicePreprocessor::devFieldLenFilePath(MFDevice& device)
{
    const QString anchors = anchorPath() ? anchorPath()(device) : QString();
    if (anchors.isEmpty())
        return QString();
    return QFileInfo(anchors).path() + QLatin1Char('/') + QLatin1String(kFieldLengthsFile);
}

bool DevicePreprocessor::needsPreprocessing(MFDevice& device)
{
    const QVariant protocol = device.devInfo() ? device.devInfo()->objectForKey(QLatin1String(kSyncProtocolKey))
                                               : QVariant();
    return protocol.typeId() == QMetaType::QString && protocol.toString() == QLatin1String(kSamsungProtocol);
}

int32_t DevicePreprocessor::preprocessDevice(MFDevice& device)
{
    if (!needsPreprocessing(device))
        return 0;
    if (waiting_) {
        qCWarning(lcApp) << "a preprocessing wait runs already";
        return kIOError;
    }
    const std::shared_ptr<QVAction> job = jobMaker() ? jobMaker()(device, *this) : nullptr;
    if (!job) {
        qCWarning(lcApp) << "no preprocessing job for this phone";
        state_ = kIOError;
        return state_;
    }
    job->setPriority(0);
    device_ = &device;
    state_ = kBusy;
    if (!device.addAction(job)) {
        // A refused job never reports back.
        QVLOG(qvlog::kXT, QStringLiteral("preprocessing job refused by the job queue"));
        device_ = nullptr;
        state_ = kIOError;
        return state_;
    }
    const double jobTimeout = std::max(job->waitTimeout(), 0.0) + std::max(job->runTimeout(), 0.0);
    const double bound = (jobTimeout > 0 ? jobTimeout : kDefaultJobTimeout) + kGraceAfterTimeout;
    waiting_ = true;
    const bool ended = platform::runloop::waitUntil([this] { return state_ != kBusy; }, kWaitSlice,
                                                    int(std::ceil(bound / kWaitSlice)));
    waiting_ = false;
    device_ = nullptr;
    if (!ended) {
        QVLOG(qvlog::kXT, QStringLiteral("preprocessing job did not end within %1 s").arg(bound));
        job->killAction(false);
        state_ = kIOError;
    }
    return state_;
}

bool DevicePreprocessor::loadFieldLengths(MFDevice& device, bool isNewDevice)
{
    const QString path = devFieldLenFilePath(device);
    if (path.isEmpty())
        return true;
    if (isNewDevice || !QFileInfo::exists(path))
        return preprocessDevice(device) == 0;
    QString error;
    const QVariant lengths = platform::plist::readFile(path, &error);
    if (lengths.typeId() != QMetaType::QVariantMap) {
        QVLOG(qvlog::kXT, QStringLiteral("field lengths at %1 unreadable: %2").arg(path, error));
        return true;
    }
    if (!lengths.toMap().isEmpty() && device.syncDescription())
        device.syncDescription()->setDeviceFieldLengths(lengths.toMap());
    return true;
}

void DevicePreprocessor::endAction(const QVariantMap& prepDict, int32_t error)
{
    if (!prepDict.isEmpty() && device_) {
        if (device_->syncDescription())
            device_->syncDescription()->setDeviceFieldLengths(prepDict);
        const QString path = devFieldLenFilePath(*device_);
        QString problem;
        if (!path.isEmpty() && !platform::plist::writeFile(path, prepDict, &problem))
            QVLOG(qvlog::kXT, QStringLiteral("field lengths not written to %1: %2").arg(path, problem));
    }
    // A job that ends "busy" would keep the wait going.
    state_ = error == kBusy ? kIOError : error;
}

void DevicePreprocessor::preprocessingDone(int32_t returnStatus)
{
    state_ = returnStatus == kBusy ? kIOError : returnStatus;
    qCInfo(lcApp).noquote() << QStringLiteral("**** preprocessingDone *** with returnStatus = 0x%1")
                                   .arg(quint32(returnStatus), 8, 16, QLatin1Char('0'));
}
