// The writer's corpus: each contact written as 2.1 and 3.0 with the shipped
// export descriptions must match the fixture files, which an independent
// reader (tests/formats/vobject_check.py) reads back and compares with the
// summary written beside them. MARVESTO_UPDATE_FIXTURES=1 rewrites the files.
#include "ContactForms.h"
#include "CorpusSummary.h"
#include "TestFiles.h"

#include "device/QVSyncDeviceDB.h"
#include "device/QVSyncDeviceDescription.h"
#include "device/qvDeviceDB.h"
#include "formats/VCardReader.h"
#include "formats/VCardRelations.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

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

void writeCorpusFile(const QString& path, const QByteArray& bytes)
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
                writeCorpusFile(path, bytes);
            else
                EXPECT_EQ(readFile(path), bytes) << qPrintable(path);
        }
    }
    QVSyncDeviceDB::sharedSyncDeviceDB().reset();
}

// 3.0 text values with commas, semicolons, backslashes and line breaks, plain
// and quoted-printable: a strict 3.0 reader (python3-vobject, skipped when it
// is missing) and the import reader both read each value whole.
TEST(VCardWriterCorpus, StrictReaderReadsEscaped30Texts)
{
#ifndef MARVESTO_SYSTEM_PYTHON
    GTEST_SKIP() << "no python3";
#else
    const QString python = QStringLiteral(MARVESTO_SYSTEM_PYTHON);
    QProcess probe;
    probe.start(python, {QStringLiteral("-c"), QStringLiteral("import vobject")});
    if (!probe.waitForFinished(30000) || probe.exitCode() != 0)
        GTEST_SKIP() << "python3-vobject is not installed";

    struct Texts {
        QString last, first, company, department, jobTitle, notes, extended, box, street, city;
    };
    const Texts written[] = {
        {QStringLiteral("Doe, Jr"), QStringLiteral("Ann; Marie"), QStringLiteral("A,B"), QStringLiteral("Sales, North"),
         QStringLiteral("Head, Sales"), QStringLiteral("a, b; c\\d\nline 2"), QStringLiteral("c/o Smith, Jones"),
         QStringLiteral("Flat 2, Block B"), QStringLiteral("1, Main St"), QStringLiteral("Town;East")},
        {QStringLiteral("Müller, Jr"), QStringLiteral("Jörg"), QStringLiteral("Ä,B"), QStringLiteral("Küche; Süd"),
         QStringLiteral("Geschäftsführer, Vertrieb"), QStringLiteral("é, è; x\ny"), QStringLiteral("c/o Ö, Ü"),
         QStringLiteral("Box 7"), QStringLiteral("Straße 1, Hof"), QStringLiteral("Köln, Süd")},
    };
    QVSyncDeviceDB::sharedSyncDeviceDB().reset();
    auto shipped = std::make_shared<qvDeviceDB>();
    ASSERT_TRUE(shipped->openDB(qvDeviceDB::defaultDatabasePath()));
    QVSyncDeviceDescription description(shipped);
    ASSERT_EQ(description.setupFromProtocol(QStringLiteral("Export-3.0")), 0);
    QString text;
    for (const Texts& t : written) {
        ContactBuilder contact;
        contact.set(kLastName, t.last)
            .set(kFirstName, t.first)
            .set(kCompanyName, t.company)
            .set(kDepartment, t.department)
            .set(kJobTitle, t.jobTitle)
            .set(kNotes, t.notes)
            .with(kStreetAddresses,
                  address(t.extended + u'\n' + t.box + u'\n' + t.street, t.city, QString(), QString()));
        const QString card = createVCardForVXDict(&contact.vx, description, true, false, QString());
        text += card;
        // The import reader reads the card back whole.
        const auto cards = elemsForVCard(card);
        ASSERT_TRUE(cards);
        const QVariantMap read = cards->first().map();
        for (const auto& [key, value] :
             {std::pair{kLastName, t.last}, std::pair{kFirstName, t.first}, std::pair{kCompanyName, t.company},
              std::pair{kDepartment, t.department}, std::pair{kJobTitle, t.jobTitle}, std::pair{kNotes, t.notes}})
            EXPECT_EQ(read.value(QLatin1String(key)).toString(), value) << key;
        const QVariantMap adr = read.value(QLatin1String(kStreetAddresses)).toList().value(0).toMap();
        EXPECT_EQ(adr.value(QLatin1String(kStreet)).toString(), t.extended + u'\r' + t.box + u'\r' + t.street);
        EXPECT_EQ(adr.value(QLatin1String(kCity)).toString(), t.city);
    }
    QVSyncDeviceDB::sharedSyncDeviceDB().reset();

    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString path = folder.filePath(QStringLiteral("escaped-30.vcf"));
    testing_support::writeFile(path, text.toUtf8());
    QProcess vobject;
    vobject.start(python, {QStringLiteral(MARVESTO_VOBJECT_CHECK), QStringLiteral("--dump"), path});
    ASSERT_TRUE(vobject.waitForFinished(30000));
    ASSERT_EQ(vobject.exitCode(), 0) << vobject.readAllStandardError().toStdString();
    const QJsonArray cards = QJsonDocument::fromJson(vobject.readAllStandardOutput()).array();
    ASSERT_EQ(cards.size(), 2);
    for (qsizetype i = 0; i < cards.size(); ++i) {
        const Texts& t = written[i];
        const QJsonObject card = cards.at(i).toObject();
        SCOPED_TRACE(t.last.toStdString());
        EXPECT_EQ(card.value(QStringLiteral("name")).toArray().at(0).toString(), t.last);
        EXPECT_EQ(card.value(QStringLiteral("name")).toArray().at(1).toString(), t.first);
        EXPECT_EQ(card.value(QStringLiteral("org")).toArray(), (QJsonArray{t.company, t.department}));
        EXPECT_EQ(card.value(QStringLiteral("title")).toString(), t.jobTitle);
        EXPECT_EQ(card.value(QStringLiteral("note")).toString(), t.notes);
        const QJsonObject adr = card.value(QStringLiteral("adr")).toArray().at(0).toObject();
        EXPECT_EQ(adr.value(QStringLiteral("extended")).toString(), t.extended);
        EXPECT_EQ(adr.value(QStringLiteral("box")).toString(), t.box);
        EXPECT_EQ(adr.value(QStringLiteral("street")).toString(), t.street);
        EXPECT_EQ(adr.value(QStringLiteral("city")).toString(), t.city);
    }
#endif
}

} // namespace
