// The phone window's controller: file-name helpers, the history check of a
// listed phone and its Bluetooth channels.
#include "devicewindow/DeviceWindowController.h"

#include "devicewindow/DeviceWindowKeys.h"

#include "device/MFDeviceInfo.h"
#include "device/qvDeviceDB.h"
#include "foundation/FileManagerAdds.h"
#include "foundation/FormattingUtil.h"
#include "phone/DeviceEntryMakers.h"
#include "phone/MFDevice.h"
#include "platform/Paths.h"
#include "platform/bluetooth/QuorBluetoothExtensions.h"

#include <QDir>
#include <QFileInfo>

using namespace devicewindowkeys;

namespace {

bool helpersFolderHasEntries(const QString& path)
{
    if (path.isNull())
        return false;
    const QDir dir(path);
    return dir.exists() && !dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot).isEmpty();
}

} // namespace

bool DeviceWindowController::isAllowedFileForMobile(const QString& path)
{
    return !QFileInfo(path).fileName().startsWith(QLatin1Char('.'));
}

QString DeviceWindowController::removeBadChars(const QString& text)
{
    QString clean = text;
    clean.remove(QLatin1Char('/'));
    return clean;
}

bool DeviceWindowController::deviceHasHistory(const QVariantMap& entry)
{
    const std::shared_ptr<qvDeviceDB> db = qvDeviceDB::sharedDeviceDB();
    if (!db || !entry.contains(deviceentry::kDeviceID))
        return false;
    const QVariantMap row = db->getDictForDeviceByID(entry.value(deviceentry::kDeviceID));
    if (row.isEmpty())
        return false;
    const QString mirror = removeBadChars(FormattingUtil::makeMirrorFileName(
        row.value(QStringLiteral("Dorvanti.Model")).toString(), entry.value(deviceentry::kSerialNo).toString()));
    const QString support = resolveAliasToDirectory(platform::paths::applicationSupportDirectory());
    if (support.isNull())
        return false;
    const QString mirrors = resolveAliasToDirectory(support + QLatin1Char('/') + QLatin1String(kMirrorsFolder));
    if (mirrors.isNull())
        return false;
    const QString phone = resolveAliasToDirectory(mirrors + QLatin1Char('/') + mirror);
    if (phone.isNull())
        return false;
    return helpersFolderHasEntries(phone + QLatin1Char('/') + QLatin1String(kHistoryFolder))
        || helpersFolderHasEntries(QStringLiteral("%1/%2/%3").arg(phone, QLatin1String(kOtherDataFolder),
                                                                 QLatin1String(kHistoryFolder)));
}

// Bluetooth channels, from the records of the phone's last SDP query.

int DeviceWindowController::rfcommChannel(int service) const
{
    if (!mfDevice_ || !mfDevice_->devInfo())
        return platform::kNoRfcommChannel;
    const std::shared_ptr<platform::BluetoothDevice> device =
        platform::btDeviceForAddress(mfDevice_->devInfo()->objectForKey(deviceentry::kBTAddress).toString());
    if (!device)
        return platform::kNoRfcommChannel;
    switch (service) {
    case 0:
        return platform::dunChannel(*device);
    case 1:
        return platform::obexObjectPushChannel(*device);
    case 2:
        return platform::syncMLChannel(*device);
    case 3:
        return platform::obexFTPChannel(*device);
    default:
        return platform::nokiaPCSuiteChannel(*device);
    }
}

int DeviceWindowController::getDialupChannel() const { return rfcommChannel(0); }
int DeviceWindowController::getObexPushChannel() const { return rfcommChannel(1); }
int DeviceWindowController::getSyncMLChannel() const { return rfcommChannel(2); }
int DeviceWindowController::getFileTransferChannel() const { return rfcommChannel(3); }
int DeviceWindowController::getPCSuiteChannel() const { return rfcommChannel(4); }
