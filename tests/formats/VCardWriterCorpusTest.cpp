// The writer's corpus: each contact written as 2.1 and 3.0 with the shipped
// export descriptions must match the fixture files, which an independent
// reader (tests/formats/vobject_check.py) reads back and compares with the
// summary written beside them. MARVESTO_UPDATE_FIXTURES=1 rewrites the files.
#include "ContactForms.h"

#include "device/QVSyncDeviceDB.h"
#include "device/QVSyncDeviceDescription.h"
#include "device/qvDeviceDB.h"
#include "formats/VCardRelations.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace contactforms;
using namespace contactkey;

namespace {

const QString kFolder = QStringLiteral(MARVESTO_TEST_DATA "/vcard-writer");

bool updating()
{
    return qEnvironmentVariableIntValue("MARVESTO_UPDATE_FIXTURES") == 1;
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << qPrintable(path);
    file.write(bytes);
}

// A fixture photo, made once: a JPEG within the export limit goes unchanged.
QByteArray corpusPhoto()
{
    const QString path = kFolder + QStringLiteral("/photo.jpg");
    QByteArray jpeg = readFile(path);
    if (jpeg.isEmpty() && updating()) {
        QImage image(40, 30, QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y, qRgb(x * 6, y * 8, (x * y) % 256));
        image.save(path, "JPEG", 90);
        jpeg = readFile(path);
    }
    return jpeg;
}

QJsonArray typesOf(const QVariant& subRecord)
{
    QJsonArray types;
    for (const QVariant& entry : relationArrayForItem(subRecord))
        types.append(entry.toMap().value(VXDictionary::kRelationValues).toList().value(0).toString());
    return types;
}

QVariantMap subRecordOf(const VXDictionary& vx, const QVariant& id)
{
    return vx.otherObjectForKey(id.toString()).toMap();
}

// What a reader must find in the text of a contact.
QJsonObject summaryOf(const VXDictionary& vx)
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

TEST(VCardWriterCorpus, MatchesTheFixtures)
{
    QDir().mkpath(kFolder);
    const QByteArray photo = corpusPhoto();
    ASSERT_FALSE(photo.isEmpty()) << "run with MARVESTO_UPDATE_FIXTURES=1 to make " << qPrintable(kFolder);

    QVSyncDeviceDB::sharedSyncDeviceDB().reset();
    auto shipped = std::make_shared<qvDeviceDB>();
    ASSERT_TRUE(shipped->openDB(qvDeviceDB::defaultDatabasePath()));
    for (auto& [name, vx] : contactCorpus(photo)) {
        SCOPED_TRACE(name.toStdString());
        const QByteArray summary = QJsonDocument(summaryOf(vx)).toJson();
        std::vector<std::pair<QString, QByteArray>> files{{name + QStringLiteral(".json"), summary}};
        for (const auto& [protocol, suffix] :
             {std::pair{"Export-2.1", "-21.vcf"}, std::pair{"Export-3.0", "-30.vcf"}}) {
            QVSyncDeviceDescription description(shipped);
            ASSERT_EQ(description.setupFromProtocol(QString::fromLatin1(protocol)), 0);
            files.emplace_back(name + QLatin1String(suffix),
                               createVCardForVXDict(&vx, description, true, false, QString()).toUtf8());
        }
        for (const auto& [file, bytes] : files) {
            const QString path = kFolder + u'/' + file;
            if (updating())
                writeFile(path, bytes);
            else
                EXPECT_EQ(readFile(path), bytes) << qPrintable(path);
        }
    }
    QVSyncDeviceDB::sharedSyncDeviceDB().reset();
}

} // namespace
