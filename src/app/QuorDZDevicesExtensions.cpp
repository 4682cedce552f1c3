#include "app/QuorDZDevicesExtensions.h"

#include "app/AppController.h"

#include "device/PhoneIconFromiSyncSearcher.h"
#include "device/QVSyncDeviceDescription.h"
#include "device/SyncDescriptionServer.h"
#include "foundation/QuorvalisDebugging.h"
#include "platform/Values.h"
#include "platform/gui/Images.h"
#include "platform/gui/Interface.h"

#include <QImageReader>

namespace quordz {

namespace {

int gDebuggingOverride = -1;
constexpr qint64 kMaxPictureBytes = 4 * 1024 * 1024;

} // namespace

QString textValue(const QVariantMap& row, const QString& key)
{
    const QVariant value = row.value(key);
    switch (value.typeId()) {
    case QMetaType::QString:
        return value.toString();
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return value.toString();
    default:
        return {};
    }
}

QString devName(const QVariantMap& row)
{
    return textValue(row, QStringLiteral("Dorvanti.Manufacturer")) + textValue(row, QStringLiteral("Dorvanti.Model"));
}

int devNameComparisation(const QVariantMap& row, const QVariantMap& other)
{
    return QString::compare(devName(row), devName(other), Qt::CaseInsensitive);
}

bool supportsUSB(const QVariantMap& row)
{
    return !textValue(row, QStringLiteral("Dorvanti.DT_USB_Model")).isEmpty();
}

bool supportsSMSSend(const QVariantMap& row)
{
    const QString send = textValue(row, QStringLiteral("Dorvanti.sendSMS"));
    return !send.isEmpty() && send != QLatin1String("NoSMS");
}

bool supportsSMSRead(const QVariantMap& row)
{
    const QString protocol = textValue(row, QStringLiteral("Dorvanti.SyncMLProtocol"));
    if (protocol.isEmpty())
        return false;
    const std::shared_ptr<QVSyncDeviceDescription> description =
        SyncDescriptionServer::sharedSyncDescriptionServer().syncDeviceFromProtocol(protocol);
    if (!description)
        return false;
    const QVariant syncSMS = description->objectForKey(QStringLiteral("SyncML.syncSMS"));
    if (syncSMS.isValid() && platform::values::toLongLong(syncSMS) != 0)
        return true;
    const QVariant database = description->objectForKey(QStringLiteral("SyncML.SMSDatabase"));
    return database.isValid() && !database.toString().isEmpty();
}

QString smsExportMark(const QVariantMap& row)
{
    const bool read = supportsSMSRead(row);
    const bool send = supportsSMSSend(row);
    if (read && send)
        return QStringLiteral("R/W");
    if (send)
        return QStringLiteral("W");
    if (read)
        return QStringLiteral("R");
    return {};
}

QString pictureIdentification(const QVariantMap& row)
{
    const QString identification = textValue(row, QStringLiteral("Dorvanti.Identification"));
    return identification.isEmpty() ? QStringLiteral("SIEMENS+C81") : identification;
}

QImage modelPicture(const QVariantMap& row)
{
    QImage picture;
    const QString path = getPhoneIconForModel(pictureIdentification(row));
    if (!path.isEmpty()) {
        QImageReader reader(path);
        // A picture that claims an absurd size is not decoded.
        const QSize size = reader.size();
        if (size.isValid() && qint64(size.width()) * size.height() <= kMaxPictureBytes)
            picture = reader.read();
    }
    if (picture.isNull())
        picture = platform::gui::image(QLatin1String(platform::gui::kProgramBundle), QStringLiteral("DefaultHandyLogo"));
    return picture;
}

bool debuggingOn()
{
    if (gDebuggingOverride >= 0)
        return gDebuggingOverride == 1;
    if (AppController* controller = AppController::sharedAppController())
        return controller->debugEnabled();
    return QuorvalisDebugging::sharedQuorvalisDebugging().isDebuggingON();
}

void setDebuggingOverride(int value)
{
    gDebuggingOverride = value;
}

} // namespace quordz
