#include "platform/Coder.h"

#include "platform/Exception.h"
#include "platform/PropertyList.h"

namespace platform {

namespace {
// Where a keyed archive keeps its unkeyed values; no key an object writes
// begins with "$".
constexpr const char* kUnkeyedKey = "$unkeyed";

std::nullopt_t fail(QString* error, const QString& why)
{
    if (error)
        *error = why;
    return std::nullopt;
}
} // namespace

Coder::Coder(Kind kind) : m_kind(kind) {}

void Coder::encodeValue(const QVariant& value)
{
    m_unkeyed.append(value);
}

QVariant Coder::decodeValue()
{
    return m_nextUnkeyed < m_unkeyed.size() ? m_unkeyed.at(m_nextUnkeyed++) : QVariant();
}

void Coder::requireKeyed(const char* method) const
{
    if (!allowsKeyedCoding())
        throw Exception(QStringLiteral("NSInvalidArgumentException"),
                        QStringLiteral("-[Coder %1]: only a keyed coder takes keys").arg(QLatin1String(method)));
}

void Coder::encodeObject(const QString& key, const QVariant& value)
{
    requireKeyed("encodeObject:forKey:");
    m_keyed.insert(key, value);
}

bool Coder::containsValueForKey(const QString& key) const
{
    requireKeyed("containsValueForKey:");
    return m_keyed.contains(key);
}

QVariant Coder::decodeObjectForKey(const QString& key) const
{
    requireKeyed("decodeObjectForKey:");
    return m_keyed.value(key);
}

QVariant Coder::archive() const
{
    if (!allowsKeyedCoding())
        return m_unkeyed;
    QVariantMap whole = m_keyed;
    if (!m_unkeyed.isEmpty())
        whole.insert(QLatin1String(kUnkeyedKey), m_unkeyed);
    return whole;
}

QByteArray Coder::archivedData() const
{
    return plist::toXml(archive());
}

std::optional<Coder> Coder::fromArchive(const QVariant& archive, Kind kind, QString* error)
{
    Coder coder(kind);
    if (kind == Kind::Sequential) {
        if (archive.typeId() != QMetaType::QVariantList)
            return fail(error, QStringLiteral("a sequential archive is a list"));
        coder.m_unkeyed = archive.toList();
        return coder;
    }
    if (archive.typeId() != QMetaType::QVariantMap)
        return fail(error, QStringLiteral("a keyed archive is a dictionary"));
    coder.m_keyed = archive.toMap();
    const QVariant unkeyed = coder.m_keyed.take(QLatin1String(kUnkeyedKey));
    if (unkeyed.isValid() && unkeyed.typeId() != QMetaType::QVariantList)
        return fail(error, QStringLiteral("the unkeyed values of an archive are a list"));
    coder.m_unkeyed = unkeyed.toList();
    return coder;
}

std::optional<Coder> Coder::fromArchivedData(const QByteArray& data, Kind kind, QString* error)
{
    QString why;
    const QVariant value = plist::read(data, &why);
    if (!value.isValid())
        return fail(error, why);
    return fromArchive(value, kind, error);
}

} // namespace platform
