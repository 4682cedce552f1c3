#include "../../bench/sms/SmsCorpus.h"

#include "kestrova/sms/PduCodec.h"
#include "kestrova/sms/sms.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

using namespace kestrova;

namespace {

const QString kRecipient = QStringLiteral("+4915112345678");
constexpr int kReference = 0x42;

std::unique_ptr<pduList> encode(const corpus::SmsCorpusEntry& entry, sms& m, int& error)
{
    m.setTP_DCS(entry.dcs);
    m.setMR(kReference);
    m.setUtf8String(entry.text.toUtf8());
    if (entry.dcs == 8)
        m.setUcs2Text(entry.text);
    auto recipients = std::make_unique<addressList>();
    recipients->appendItem(kRecipient);
    m.setAddressList(std::move(recipients));
    return createPduListFromSms(m, &error);
}

QString dataPath(const char* name)
{
    return QStringLiteral(MARVESTO_TEST_DATA "/") + QLatin1String(name);
}

} // namespace

TEST(SmsRoundTrip, EveryCorpusMessageComesBack)
{
    for (const auto& entry : corpus::smsCorpus()) {
        sms m;
        int error = -1;
        auto pdus = encode(entry, m, error);
        ASSERT_TRUE(pdus) << entry.name << " error " << error;
        EXPECT_EQ(pdus->length(), entry.parts) << entry.name;
        if (entry.dcs == 0) {
            EXPECT_EQ(m.getUsedCodepage(), entry.codePage) << entry.name;
        }

        // Listed back as stored messages.
        for (const auto& p : *pdus)
            p->setStatus(3);
        smsList list;
        EXPECT_EQ(createSmsListFromPduList(list, *pdus), 0) << entry.name;
        ASSERT_EQ(list.length(), 1) << entry.name;
        list.resetPos();
        const sms* back = list.nextItem();
        EXPECT_EQ(back->getUtf8Text(), entry.text) << entry.name;
        EXPECT_EQ(back->getAddress(), kRecipient) << entry.name;
        EXPECT_EQ(back->getTP_DCS(), entry.dcs) << entry.name;
        if (entry.parts > 1) {
            EXPECT_EQ(back->getMultiPartMR(), kReference) << entry.name;
            EXPECT_EQ(back->getPartCount(), entry.parts) << entry.name;
        }
        if (entry.dcs == 0) {
            EXPECT_EQ(back->getUsedCodepage(), entry.codePage) << entry.name;
        }
    }
}

// The SUBMIT PDUs of the corpus as checked against an independent decoder
// (tests/sms/tools/check_fixtures.py). The encoder must keep producing them;
// MARVESTO_SMS_WRITE_FIXTURES=1 rewrites the file after a deliberate change.
TEST(SmsFixtures, SubmitPdusMatchTheCheckedFixtures)
{
    QJsonArray produced;
    for (const auto& entry : corpus::smsCorpus()) {
        sms m;
        int error = 0;
        auto pdus = encode(entry, m, error);
        ASSERT_TRUE(pdus);
        QJsonArray texts;
        for (const auto& p : *pdus)
            texts.append(QString::fromLatin1(p->getPduText()));
        produced.append(QJsonObject{{QStringLiteral("name"), QString::fromLatin1(entry.name)},
                                    {QStringLiteral("text"), entry.text},
                                    {QStringLiteral("number"), kRecipient},
                                    {QStringLiteral("reference"), kReference},
                                    {QStringLiteral("parts"), entry.parts},
                                    {QStringLiteral("pdus"), texts}});
    }
    QFile file(dataPath("submit_fixtures.json"));
    if (qEnvironmentVariableIntValue("MARVESTO_SMS_WRITE_FIXTURES") == 1) {
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QJsonDocument(produced).toJson());
        return;
    }
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QJsonDocument::fromJson(file.readAll()).array(), produced);
}

// SMS-DELIVER PDUs made by independent encoders (tests/sms/tools/).
TEST(SmsFixtures, DeliverPdusFromOtherEncodersDecode)
{
    QFile file(dataPath("deliver_fixtures.json"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonArray cases = QJsonDocument::fromJson(file.readAll()).array();
    ASSERT_FALSE(cases.isEmpty());
    for (const QJsonValue& value : cases) {
        const QJsonObject c = value.toObject();
        const std::string name = c[QStringLiteral("name")].toString().toStdString();
        pduList pdus;
        int index = 1;
        for (const QJsonValue& text : c[QStringLiteral("pdus")].toArray())
            pdus.appendItem(std::make_unique<pdu>(text.toString().toLatin1(), index++));
        smsList list;
        EXPECT_EQ(createSmsListFromPduList(list, pdus), 0) << name;
        ASSERT_EQ(list.length(), 1) << name;
        list.resetPos();
        const sms* m = list.nextItem();
        EXPECT_EQ(m->getUtf8Text(), c[QStringLiteral("text")].toString()) << name;
        EXPECT_EQ(m->getAddress(), c[QStringLiteral("sender")].toString()) << name;
        const QJsonArray stamp = c[QStringLiteral("timestamp")].toArray();
        for (int i = 0; i < 7 && i < stamp.size(); ++i)
            EXPECT_EQ(m->timestamp()[i], stamp[i].toInt()) << name << " field " << i;
        if (c.contains(QStringLiteral("reference"))) {
            EXPECT_EQ(m->getMultiPartMR(), c[QStringLiteral("reference")].toInt() & 0xFF) << name;
            EXPECT_EQ(m->getPartCount(), c[QStringLiteral("parts")].toInt()) << name;
        }
    }
}

// The DELIVER listing the benchmark decodes lists exactly its messages.
TEST(SmsRoundTrip, DeliverCorpusListsItsMessages)
{
    QStringList expected;
    pduList pdus;
    unsigned index = 1;
    for (const QByteArray& text : corpus::deliverCorpus(&expected))
        pdus.appendItem(std::make_unique<pdu>(text, index++));
    smsList list;
    int dropped = -1;
    EXPECT_EQ(createSmsListFromPduList(list, pdus, &dropped), 0);
    EXPECT_EQ(dropped, 0);
    QStringList listed;
    for (const auto& m : list)
        listed.append(m->getUtf8Text());
    EXPECT_EQ(listed, expected);
}
