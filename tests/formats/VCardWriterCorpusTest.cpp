// The writer's corpus: each contact written as 2.1 and 3.0 with the shipped
// export descriptions must match the fixture files, which an independent
// reader (tests/formats/vobject_check.py) reads back and compares with the
// summary written beside them. MARVESTO_UPDATE_FIXTURES=1 rewrites the files.
#include "ContactForms.h"
#include "CorpusSummary.h"

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

} // namespace
