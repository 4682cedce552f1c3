#pragma once

// Contact items over descriptions from a small test device database: the
// export descriptions and a few phone models with limits and quirks.
#include "DeviceDBTestSupport.h"

#include "device/QVSyncDeviceDB.h"
#include "device/QVSyncDeviceDescription.h"
#include "device/qvDeviceDB.h"
#include "syncmodel/DeviceDescriptionLimits.h"
#include "syncmodel/QVVCardElem.h"

#include <QMap>

#include <gtest/gtest.h>

namespace contacttest {

inline const char kRows[] = R"SQL(
INSERT INTO SyncML (SyncMLProtocol, ProtocolClass, VCardVersion, Charset, MaxNo_PhoneNumbers, MaxNo_Emails,
    MaxNo_URLs, MaxNo_Addresses, SyncMLPhotos, MaxPictureBytes)
    VALUES ('Export-2.1', 'Export', '2.1', 'UTF-8', '100000', '100000', '100000', '100000', '1', '16777216');
INSERT INTO SyncML (SyncMLProtocol, ProtocolClass, VCardVersion, Charset, MaxNo_PhoneNumbers, MaxNo_Emails,
    MaxNo_URLs, MaxNo_Addresses, SyncMLPhotos, MaxPictureBytes)
    VALUES ('Export-3.0', 'Export', '3.0', 'UTF-8', '100000', '100000', '100000', '100000', '1', '16777216');
INSERT INTO SyncML (SyncMLProtocol, VCardVersion, Charset, MaxNo_PhoneNumbers, MaxNo_Emails, MaxNo_URLs,
    MaxNo_Addresses) VALUES ('Phone', '2.1', 'UTF-8', '60', '10', '10', '10');
INSERT INTO SyncML (SyncMLProtocol, VCardVersion, MaxNo_PhoneNumbers) VALUES ('NoCharset', '2.1', '10');
INSERT INTO SyncML (SyncMLProtocol, VCardVersion, Charset, MaxLen_FirstName, MaxLen_LastName, MaxLen_Company,
    MaxLen_PhoneNumber, AllowedCharsInPhoneNumber, MaxNo_PhoneNumbers)
    VALUES ('Short', '2.1', 'UTF-8', '3', '20', '4', '8', '+0123456789', '10');
INSERT INTO SyncML (SyncMLProtocol, ProtocolClass, VCardVersion, MaxNo_PhoneNumbers, MaxNo_Emails, MaxNo_URLs)
    VALUES ('Protocol LG Test', 'LG', '2.1', '10', '10', '10');
INSERT INTO SyncML (SyncMLProtocol, VCardVersion, CopyCompanyToName, MaxNo_PhoneNumbers)
    VALUES ('CopyCompany', '2.1', '1', '10');
INSERT INTO SyncML (SyncMLProtocol, VCardVersion, IgnoreElements, IgnoreProperties)
    VALUES ('Ignore', '2.1', 'PHOTO', 'X-RING');
)SQL";

// Installs the test database's descriptions as the protocols' shared ones.
class ContactTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_path = buildTestDeviceDB(QStringLiteral("contact-item"), QString::fromUtf8(kRows));
        ASSERT_FALSE(s_path.isEmpty());
    }

    void SetUp() override
    {
        QVSyncDeviceDB::sharedSyncDeviceDB().reset();
        auto db = std::make_shared<qvDeviceDB>();
        ASSERT_TRUE(db->openDB(s_path));
        auto known = std::make_shared<QMap<QString, std::shared_ptr<SyncDeviceLimits>>>();
        SyncDeviceLimits::setResolver([db, known](const QString& protocol) -> std::shared_ptr<SyncDeviceLimits> {
            auto& limits = (*known)[protocol];
            if (!limits) {
                auto description = std::make_shared<QVSyncDeviceDescription>(db);
                if (description->setupFromProtocol(protocol) != 0)
                    return nullptr;
                limits = std::make_shared<DeviceDescriptionLimits>(description);
            }
            return limits;
        });
    }
    void TearDown() override
    {
        SyncDeviceLimits::setResolver({});
        QVSyncDeviceDB::sharedSyncDeviceDB().reset();
    }

    static std::shared_ptr<SyncDeviceLimits> limits(const char* protocol)
    {
        return SyncDeviceLimits::fromProtocol(QString::fromLatin1(protocol));
    }

    // A contact read from the phone's text, on the phone as "1".
    static std::shared_ptr<QVVCardElem> fromText(const QString& text, const char* protocol = "Phone",
                                                 const QString& sourceURI = QStringLiteral("1"))
    {
        auto elem = QVVCardElem::elemWithData(text, sourceURI, QString::fromLatin1(protocol), QStringLiteral("Phone"),
                                              QString());
        EXPECT_TRUE(elem);
        return elem;
    }

    static QString card(const QString& body)
    {
        return QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\n") + body + QStringLiteral("END:VCARD\r\n");
    }

    static inline QString s_path;
};

} // namespace contacttest
