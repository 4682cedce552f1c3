// The export texts of contact items: each contact of the writer's corpus
// (photo, labels, three-line streets, non-ASCII names) exported as 2.1 and 3.0
// through the contact item must match the fixture files, which an independent
// reader (tests/formats/vobject_check.py) reads back and compares with the
// summary written beside them. MARVESTO_UPDATE_FIXTURES=1 rewrites the files.
#include "ContactForms.h"
#include "CorpusSummary.h"

#include "device/QVSyncDeviceDB.h"
#include "device/QVSyncDeviceDescription.h"
#include "device/qvDeviceDB.h"
#include "syncmodel/DeviceDescriptionLimits.h"
#include "syncmodel/QVVCardElem.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>

#include <gtest/gtest.h>

namespace {

const QString kFolder = QStringLiteral(MARVESTO_TEST_DATA "/contact-export");
const QString kPhotoPath = QStringLiteral(MARVESTO_SOURCE_DIR "/tests/formats/data/vcard-writer/photo.jpg");

bool updating()
{
    return qEnvironmentVariableIntValue("MARVESTO_UPDATE_FIXTURES") == 1;
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class ContactExportCorpus : public ::testing::Test {
protected:
    void SetUp() override
    {
        QVSyncDeviceDB::sharedSyncDeviceDB().reset();
        auto shipped = std::make_shared<qvDeviceDB>();
        ASSERT_TRUE(shipped->openDB(qvDeviceDB::defaultDatabasePath()));
        SyncDeviceLimits::setResolver([shipped](const QString& protocol) -> std::shared_ptr<SyncDeviceLimits> {
            auto description = std::make_shared<QVSyncDeviceDescription>(shipped);
            if (description->setupFromProtocol(protocol) != 0)
                return nullptr;
            return std::make_shared<DeviceDescriptionLimits>(description);
        });
    }
    void TearDown() override
    {
        SyncDeviceLimits::setResolver({});
        QVSyncDeviceDB::sharedSyncDeviceDB().reset();
    }
};

} // namespace

TEST_F(ContactExportCorpus, MatchesTheFixtures)
{
    QDir().mkpath(kFolder);
    const QByteArray photo = readFile(kPhotoPath);
    ASSERT_FALSE(photo.isEmpty());
    for (auto& [name, vx] : contactforms::contactCorpus(photo)) {
        SCOPED_TRACE(name.toStdString());
        const auto elem = QVVCardElem::vCardWithDict(&vx, QStringLiteral("Tarnex:") + name, QString(), QString(),
                                                     QString(), QString());
        const std::pair<QString, QByteArray> files[] = {
            {name + QStringLiteral(".json"), QJsonDocument(contactforms::summaryOf(vx)).toJson()},
            {name + QStringLiteral("-21.vcf"), elem->foreignVCard21Representation(QSize(64, 64)).toUtf8()},
            {name + QStringLiteral("-30.vcf"), elem->foreignVCard30DataRepresentation(QSize(64, 64))},
        };
        for (const auto& [file, bytes] : files) {
            ASSERT_FALSE(bytes.isEmpty()) << qPrintable(file);
            const QString path = kFolder + u'/' + file;
            if (updating()) {
                QFile out(path);
                ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
                out.write(bytes);
            } else {
                EXPECT_EQ(readFile(path), bytes) << qPrintable(path);
            }
        }
    }
}
