#include "syncengine/SyncValues.h"

#include "platform/PropertyList.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QVariantList>
#include <QVariantMap>

#include <limits>

namespace platform::syncengine {

namespace {

constexpr int kMaxDepth = 512;
constexpr int kMaxDescription = 200;

std::optional<QVariant> normalized(const QVariant& value, int depth)
{
    if (depth > kMaxDepth)
        return std::nullopt;
    switch (value.typeId()) {
    case QMetaType::QString:
        if (!plist::isXmlText(value.toString()))
            return std::nullopt;
        return value;
    case QMetaType::QByteArray:
    case QMetaType::Bool:
        return value;
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::SChar:
        return QVariant(value.toLongLong());
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UShort:
    case QMetaType::UChar: {
        const qulonglong n = value.toULongLong();
        if (n > qulonglong(std::numeric_limits<qlonglong>::max()))
            return QVariant(n);
        return QVariant(qlonglong(n));
    }
    case QMetaType::Double:
    case QMetaType::Float:
        return QVariant(value.toDouble());
    case QMetaType::QDateTime: {
        const QDateTime date = value.toDateTime();
        if (!date.isValid())
            return std::nullopt;
        return QVariant(QDateTime::fromSecsSinceEpoch(date.toSecsSinceEpoch(), Qt::UTC));
    }
    case QMetaType::QStringList: {
        QVariantList list;
        for (const QString& s : value.toStringList()) {
            if (!plist::isXmlText(s))
                return std::nullopt;
            list.append(s);
        }
        return QVariant(list);
    }
    case QMetaType::QVariantList: {
        QVariantList list;
        for (const QVariant& item : value.toList()) {
            std::optional<QVariant> n = normalized(item, depth + 1);
            if (!n)
                return std::nullopt;
            list.append(std::move(*n));
        }
        return QVariant(list);
    }
    case QMetaType::QVariantMap:
    case QMetaType::QVariantHash: {
        QVariantMap map;
        const QVariantMap source = value.toMap();
        for (auto it = source.cbegin(); it != source.cend(); ++it) {
            std::optional<QVariant> n = normalized(it.value(), depth + 1);
            if (!n || !plist::isXmlText(it.key()))
                return std::nullopt;
            map.insert(it.key(), std::move(*n));
        }
        return QVariant(map);
    }
    default:
        return std::nullopt;
    }
}

} // namespace

std::optional<QVariant> normalizedValue(const QVariant& value)
{
    return normalized(value, 0);
}

QString describeValue(const QVariant& value)
{
    QString text;
    switch (value.typeId()) {
    case QMetaType::UnknownType:
        text = QStringLiteral("(cleared)");
        break;
    case QMetaType::QByteArray:
        text = QStringLiteral("<%1 bytes>").arg(value.toByteArray().size());
        break;
    case QMetaType::QDateTime:
        text = value.toDateTime().toUTC().toString(Qt::ISODate);
        break;
    case QMetaType::QVariantList:
    case QMetaType::QVariantMap:
        text = QString::fromUtf8(QJsonDocument::fromVariant(value).toJson(QJsonDocument::Compact));
        break;
    default:
        text = value.toString();
    }
    if (text.size() > kMaxDescription)
        text = text.left(kMaxDescription) + QStringLiteral("...");
    return text;
}

} // namespace platform::syncengine
