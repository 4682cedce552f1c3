#pragma once

// Contact item forms for the vCard writer's tests and benchmark.

#include "formats/VCardGenerator.h"
#include "formats/VXDictionary.h"

#include <QString>
#include <QVariantList>
#include <QVariantMap>

#include <utility>
#include <vector>

namespace contactforms {

inline QVariantMap entry(const QString& value, const QString& type = QString(), const QString& label = QString())
{
    QVariantMap sub{{QStringLiteral("value"), value}};
    if (!type.isNull())
        sub.insert(QStringLiteral("type"), type);
    if (!label.isNull())
        sub.insert(QStringLiteral("label"), label);
    return sub;
}

inline QVariantMap address(const QString& street, const QString& city, const QString& postalCode,
                           const QString& country, const QString& type = QStringLiteral("home"))
{
    return {{QStringLiteral("street"), street},         {QStringLiteral("city"), city},
            {QStringLiteral("postal code"), postalCode}, {QStringLiteral("country"), country},
            {QStringLiteral("type"), type}};
}

// Builds one contact: main fields, sub-records appended to their lists under
// ids "Tarnex:1", "Tarnex:2", ... and relations stored as they are.
class ContactBuilder {
public:
    ContactBuilder& set(const char* key, const QVariant& value)
    {
        vx.setMainObject(value, QString::fromLatin1(key));
        return *this;
    }
    QString add(const char* listKey, const QVariantMap& subRecord)
    {
        const QString id = QStringLiteral("Tarnex:%1").arg(++m_next);
        vx.setOtherObject(subRecord, id);
        QVariantList list = vx.mainObjectForKey(QString::fromLatin1(listKey)).toList();
        list.append(id);
        vx.setMainObject(list, QString::fromLatin1(listKey));
        return id;
    }
    ContactBuilder& with(const char* listKey, const QVariantMap& subRecord)
    {
        add(listKey, subRecord);
        return *this;
    }
    ContactBuilder& relate(const char* listKey, const QString& id, const QVariant& params)
    {
        const QString sectionKey = VXDictionary::kRelationsPrefix + QString::fromLatin1(listKey);
        QVariantMap section = vx.objectForKey(sectionKey).toMap();
        section.insert(id, params);
        vx.setObject(section, sectionKey);
        return *this;
    }

    VXDictionary vx;

private:
    int m_next = 0;
};

// Contacts that use every list type, quoted-printable names, multi-line
// streets and a photo; the photo bytes come from the caller.
inline std::vector<std::pair<QString, VXDictionary>> contactCorpus(const QByteArray& jpegPhoto)
{
    using namespace contactkey;
    std::vector<std::pair<QString, VXDictionary>> corpus;

    ContactBuilder plain;
    plain.set(kLastName, QStringLiteral("Doe")).set(kFirstName, QStringLiteral("John"));
    plain.with(kPhoneNumbers, entry(QStringLiteral("+44 20 7946 0001"), QStringLiteral("home")))
        .with(kPhoneNumbers, entry(QStringLiteral("+44 20 7946 0002"), QStringLiteral("work")))
        .with(kPhoneNumbers, entry(QStringLiteral("+44 7700 900003"), QStringLiteral("mobile")))
        .with(kEmailAddresses, entry(QStringLiteral("john@example.org"), QStringLiteral("home")))
        .with(kURLs, entry(QStringLiteral("http://example.org/john"), QStringLiteral("home")))
        .with(kStreetAddresses, address(QStringLiteral("1 Main Street"), QStringLiteral("London"),
                                        QStringLiteral("N1 9GU"), QStringLiteral("United Kingdom")));
    corpus.emplace_back(QStringLiteral("plain"), plain.vx);

    ContactBuilder accented;
    accented.set(kLastName, QStringLiteral("Müller"))
        .set(kFirstName, QStringLiteral("Jörg"))
        .set(kCompanyName, QStringLiteral("Müller & Söhne"))
        .set(kDepartment, QStringLiteral("Vertrieb"))
        .set(kJobTitle, QStringLiteral("Geschäftsführer"));
    accented.with(kPhoneNumbers, entry(QStringLiteral("+49 89 123456"), QStringLiteral("work")))
        .with(kEmailAddresses, entry(QStringLiteral("joerg@example.de"), QStringLiteral("work")))
        .with(kStreetAddresses, address(QStringLiteral("c/o Schmidt\nPostfach 12\nBahnhofstraße 5"),
                                        QStringLiteral("München"), QStringLiteral("80335"),
                                        QStringLiteral("Deutschland"), QStringLiteral("work")));
    corpus.emplace_back(QStringLiteral("accented"), accented.vx);

    ContactBuilder everyType;
    everyType.set(kLastName, QStringLiteral("Every"))
        .set(kFirstName, QStringLiteral("Type"))
        .set(kMiddleName, QStringLiteral("Q"))
        .set(kTitle, QStringLiteral("Dr."))
        .set(kSuffix, QStringLiteral("Jr."))
        .set(kNotes, QStringLiteral("first line\nsecond line"));
    for (const auto& [number, type] : std::initializer_list<std::pair<const char*, const char*>>{
             {"100", "home"}, {"101", "work"}, {"102", "home fax"}, {"103", "work fax"}, {"104", "mobile"},
             {"105", "pager"}, {"106", "main"}})
        everyType.with(kPhoneNumbers, entry(QString::fromLatin1(number), QString::fromLatin1(type)));
    everyType.with(kPhoneNumbers, entry(QStringLiteral("107"), QStringLiteral("other"), QStringLiteral("CAR")))
        .with(kEmailAddresses, entry(QStringLiteral("home@example.com"), QStringLiteral("home")))
        .with(kEmailAddresses, entry(QStringLiteral("work@example.com"), QStringLiteral("work")))
        .with(kEmailAddresses, entry(QStringLiteral("plain@example.com")))
        .with(kURLs, entry(QStringLiteral("http://example.com/work"), QStringLiteral("work")))
        .with(kStreetAddresses, address(QStringLiteral("Flat 2\r12 High Street"), QStringLiteral("Leeds"),
                                        QStringLiteral("LS1 1AA"), QStringLiteral("UK")))
        .with(kStreetAddresses, address(QStringLiteral("Unit 4\r\nPO Box 77\r\nIndustrial Road 9"),
                                        QStringLiteral("York"), QStringLiteral("YO1 7HH"), QStringLiteral("UK"),
                                        QStringLiteral("work")));
    corpus.emplace_back(QStringLiteral("every-type"), everyType.vx);

    ContactBuilder company;
    company.set(kCompanyName, QStringLiteral("Example Ltd; Branch"))
        .with(kPhoneNumbers, entry(QStringLiteral("+1 555 0100"), QStringLiteral("main")));
    corpus.emplace_back(QStringLiteral("company"), company.vx);

    ContactBuilder photo;
    photo.set(kLastName, QStringLiteral("Photo"))
        .set(kFirstName, QStringLiteral("Anna"))
        .set(kImage, jpegPhoto)
        .with(kPhoneNumbers, entry(QStringLiteral("555 0199"), QStringLiteral("mobile")));
    corpus.emplace_back(QStringLiteral("photo"), photo.vx);
    return corpus;
}

} // namespace contactforms
