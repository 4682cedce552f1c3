#include "usbdevice/DZDeviceProperties.h"

#include "platform/Values.h"

#include <QDebug>
#include <QMetaType>

#include <cmath>

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

QString DZDeviceProperties::string(const char* key) const
{
    const QVariant value = _properties.value(QLatin1String(key));
    return platform::values::isString(value) ? value.toString() : QString();
}

qint64 DZDeviceProperties::number(const char* key) const
{
    const QVariant value = _properties.value(QLatin1String(key));
    switch (platform::values::kindOf(value)) {
    case platform::values::Kind::Bool:
    case platform::values::Kind::Signed:
    case platform::values::Kind::Unsigned:
        return value.toLongLong();
    case platform::values::Kind::Floating: {
        const double number = value.toDouble();
        return std::trunc(number) == number && std::abs(number) < 9e15 ? qint64(number) : 0;
    }
    case platform::values::Kind::String: {
        // Ids from the device database and stored lists come as decimal text.
        bool ok = false;
        const qint64 number = value.toString().trimmed().toLongLong(&ok);
        return ok ? number : 0;
    }
    default:
        return 0;
    }
}

QVariantList DZDeviceProperties::list(const char* key) const
{
    const QVariant value = _properties.value(QLatin1String(key));
    const int type = value.typeId();
    return type == QMetaType::QVariantList || type == QMetaType::QStringList ? value.toList() : QVariantList();
}

QByteArray DZDeviceProperties::pcSuiteServiceRecord() const
{
    const QVariant value = _properties.value(QLatin1String(kPCSuiteServiceRecordKey));
    return value.typeId() == QMetaType::QByteArray ? value.toByteArray() : QByteArray();
}

QString DZDeviceProperties::description() const
{
    const QString user = btUserName();
    const QString model = btModelName();
    const QString dictionary =
        _properties.isEmpty() ? QString::fromLatin1(kNoProperties) : QDebug::toString(_properties);
    return QString::fromLatin1(kDescriptionFormat)
        .arg(user.isEmpty() ? QString::fromLatin1(kUnknownUserName) : user,
             model.isEmpty() ? QString::fromLatin1(kUnknownModel) : model, QString::number(deviceNumber()),
             dictionary);
}
