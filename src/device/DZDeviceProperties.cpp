#include "device/DZDeviceProperties.h"

#include "foundation/QuorNSDictionaryExtensions.h"

void DZDeviceProperties::setPortNames(const QVariantList& names)
{
    if (!names.isEmpty())
        _properties.insert(kPortNamesKey, names);
}

void DZDeviceProperties::setMountPoints(const QVariantList& mountPoints)
{
    if (!mountPoints.isEmpty())
        _properties.insert(kMountPointsKey, mountPoints);
}

void DZDeviceProperties::setPCSuiteServiceRecord(const QByteArray& record)
{
    if (!record.isNull())
        _properties.insert(kPCSuiteServiceRecordKey, record);
}

QString DZDeviceProperties::description() const
{
    const QString user = btUserName();
    const QString model = btModelName();
    const QString dictionary =
        _properties.isEmpty() ? QString::fromLatin1(kNoProperties) : formattedDescription(_properties);
    return QString::fromLatin1(kDescriptionFormat)
        .arg(user.isEmpty() ? QString::fromLatin1(kUnknownUserName) : user,
             model.isEmpty() ? QString::fromLatin1(kUnknownModel) : model, QString::number(deviceNumber()),
             dictionary);
}
