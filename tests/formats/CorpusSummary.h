#pragma once

// What a vCard reader must find in the text of a contact: its names,
// organisation, numbers and e-mail addresses with their types, addresses and
// the photo's checksum, as the JSON summary kept beside the writer's corpus.
#include "formats/VCardGenerator.h"
#include "formats/VCardRelations.h"
#include "formats/VXDictionary.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>

namespace contactforms {

using namespace contactkey;

inline QJsonArray typesOf(const QVariant& subRecord)
{
    QJsonArray types;
    for (const QVariant& entry : relationArrayForItem(subRecord))
        types.append(entry.toMap().value(VXDictionary::kRelationValues).toList().value(0).toString());
    return types;
}

inline QVariantMap subRecordOf(const VXDictionary& vx, const QVariant& id)
{
    return vx.otherObjectForKey(id.toString()).toMap();
}

// What a reader must find in the text of a contact.
inline QJsonObject summaryOf(const VXDictionary& vx)
{
    const auto main = [&vx](const char* key) { return vx.mainObjectForKey(QString::fromLatin1(key)).toString(); };
    QJsonObject summary;
    summary.insert(QStringLiteral("name"), QJsonArray{main(kLastName), main(kFirstName), main(kMiddleName),
                                                      main(kTitle), main(kSuffix)});
    if (!main(kCompanyName).isEmpty()) {
        QJsonArray org{main(kCompanyName)};
        if (!main(kDepartment).isEmpty())
            org.append(main(kDepartment));
        summary.insert(QStringLiteral("org"), org);
    }
    for (const auto& [listKey, field] : {std::pair{kPhoneNumbers, "tel"}, std::pair{kEmailAddresses, "email"}}) {
        QJsonArray entries;
        for (const QVariant& id : vx.mainObjectForKey(QString::fromLatin1(listKey)).toList()) {
            const QVariantMap sub = subRecordOf(vx, id);
            entries.append(QJsonObject{{QStringLiteral("value"), sub.value(QStringLiteral("value")).toString()},
                                       {QStringLiteral("types"), typesOf(sub)}});
        }
        if (!entries.isEmpty())
            summary.insert(QString::fromLatin1(field), entries);
    }
    QJsonArray addresses;
    for (const QVariant& id : vx.mainObjectForKey(QString::fromLatin1(kStreetAddresses)).toList()) {
        const QVariantMap sub = subRecordOf(vx, id);
        const QStringList lines =
            sub.value(QStringLiteral("street")).toString().split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
        const QString extended = lines.size() >= 2 ? lines[0] : QString();
        const QString box = lines.size() >= 3 ? lines[1] : QString();
        const QString street = lines.size() >= 3 ? lines.mid(2).join(u'\n') : lines.last();
        addresses.append(QJsonObject{
            {QStringLiteral("box"), box},
            {QStringLiteral("extended"), extended},
            {QStringLiteral("street"), street},
            {QStringLiteral("city"), sub.value(QStringLiteral("city")).toString()},
            {QStringLiteral("region"), sub.value(QStringLiteral("state")).toString()},
            {QStringLiteral("code"), sub.value(QStringLiteral("postal code")).toString()},
            {QStringLiteral("country"), sub.value(QStringLiteral("country")).toString()},
            {QStringLiteral("types"), typesOf(sub)},
        });
    }
    if (!addresses.isEmpty())
        summary.insert(QStringLiteral("adr"), addresses);
    const QByteArray photo = vx.mainObjectForKey(QString::fromLatin1(kImage)).toByteArray();
    if (!photo.isEmpty())
        summary.insert(QStringLiteral("photo_md5"),
                       QString::fromLatin1(QCryptographicHash::hash(photo, QCryptographicHash::Md5).toHex()));
    return summary;
}

} // namespace contactforms
