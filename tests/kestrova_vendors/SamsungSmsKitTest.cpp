// Samsung messages through the SMS kit against the simulated phone: slot by
// slot, the phone memory and then the SIM.
#include "CoreTestSupport.h"
#include "VirtualTime.h"

#include "kestrova/core/QVSmsKitAsync.h"
#include "kestrova/vendors/SLTCommDeviceSamsungExt.h"
#include "kestrova/vendors/VendorChains.h"

#include "PhoneSimulator.h"

#include <gtest/gtest.h>

using phonesim::PhoneSession;
using testing_support::OutsideInputScope;
using testing_support::runUntil;

namespace {

const QByteArray kSamsungHi = "07919471010670F004039121F300006221012143000A02C834";
const QByteArray kSamsungDraft = "0001000A810000000000000002C834";
const QByteArray kSamsungSent = "000100039121F3000002C834";

struct SamsungSmsCallback : smsKitAsync {
    QList<QPair<QString, QVariantList>> boxes;
    QList<int> finished;
    void smsKitReadingBoxData(QVSmsKitAsync*, const QVariantList& list, const QString& box) override
    {
        boxes.append({box, list});
    }
    void smsKitReadingFinished(QVSmsKitAsync*, int code) override { finished.append(code); }
};

} // namespace

TEST(SamsungSmsKitTest, ReadsThePhoneMemoryThenTheSim)
{
    kestrova::vendors::registerVendorChains();
    OutsideInputScope outside;
    phonesim::PhoneSimulator sim(*phonesim::PhoneProfile::named(QStringLiteral("samsung")));
    ASSERT_TRUE(sim.start()) << sim.errorString().toStdString();
    sim.modifySession([](PhoneSession& s) {
        for (int i = 1; i <= 7; ++i)
            s.sms.store("ME", i == 2 ? 2 : i == 7 ? 3 : 1, i == 2 ? kSamsungDraft : i == 7 ? kSamsungSent : kSamsungHi);
        QList<phonesim::StoredSms>& me = s.sms.find("ME")->messages;
        me.erase(std::remove_if(me.begin(), me.end(), [](const auto& m) { return m.index >= 3 && m.index <= 6; }),
                 me.end());
        s.sms.store("SM", 0, kSamsungHi);
    });
    SamsungSmsCallback cb;
    QVSmsKitAsync kit;
    kit.setCallback(&cb);
    kit.setFilename(sim.slavePath());
    kit.setFamily(QStringLiteral("samsung"));
    kit.startReading();
    ASSERT_TRUE(runUntil([&] { return !cb.finished.isEmpty(); }, 120.0, 0.05));
    EXPECT_EQ(cb.finished, (QList<int>{0}));
    QStringList names;
    for (const auto& b : cb.boxes)
        names.append(b.first);
    EXPECT_EQ(names, (QStringList{"inbox", "drafts", "sent"}));
    const QVariantList inbox = cb.boxes.value(0).second;
    ASSERT_EQ(inbox.size(), 2);
    QStringList places;
    for (const QVariant& m : inbox)
        places.append(m.toMap().value("memory").toString() + m.toMap().value("memIndexes").toString());
    places.sort();
    EXPECT_EQ(places, (QStringList{"ME1", "SM1"}));

    const QByteArray wire = sim.received();
    qsizetype at = 0;
    for (const char* line : {"at+info\r", "AT+CPMS=\"SM\"\r", "AT+CPMS=\"ME\"\r", "AT+CMGF=0\r", "at+csdh=1\r",
                             "at+cmgr=1\r", "at+cmgr=2\r", "at+cmgr=7\r", "AT+CPMS=\"SM\"\r", "at+cmgr=1\r"}) {
        const qsizetype found = wire.indexOf(line, at);
        EXPECT_GE(found, at) << line;
        at = found < 0 ? at : found + 1;
    }
    EXPECT_EQ(wire.indexOf("at+cmgr=8\r"), -1);
}

TEST(SamsungSmsKitTest, StorageCountsAndReadAnswers)
{
    using Ext = SLTCommDeviceSamsungExt;
    const struct {
        const char* answer;
        int messages;
        int slots;
    } counts[] = {
        {"\r\n+CPMS: 5,100,5,100,5,100\r\n\r\nOK\r\n", 5, 100},
        {"\r\n+CPMS: \"ME\",5,100,\"ME\",5,100,\"ME\",5,100\r\n\r\nOK\r\n", 5, 100},
        {"+CPMS: 3,20,4,100", 4, 100},
    };
    for (const auto& c : counts) {
        SCOPED_TRACE(c.answer);
        const std::optional<Ext::Counts> parsed = Ext::parseStorageCounts(QLatin1String(c.answer));
        ASSERT_TRUE(parsed);
        EXPECT_EQ(parsed->messages, c.messages);
        EXPECT_EQ(parsed->slots, c.slots);
    }
    EXPECT_FALSE(Ext::parseStorageCounts(QStringLiteral("+CPMS: 5,100")));
    const auto read = Ext::parseReadAnswer(QStringLiteral("\r\n+CMGR: 3,,12\r\n0001000A81\r\n\r\nOK\r\n"));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->first, 3);
    EXPECT_EQ(read->second, QStringLiteral("0001000A81"));
    EXPECT_FALSE(Ext::parseReadAnswer(QStringLiteral("\r\n+CMS ERROR: 321\r\n")));
    EXPECT_FALSE(Ext::parseReadAnswer(QStringLiteral("\r\n+CMGR: 1,,0\r\n\r\nOK\r\n")));
}

TEST(SamsungSmsKitTest, AMemoryAnnouncingTooManySlotsEndsTheRead)
{
    kestrova::vendors::registerVendorChains();
    OutsideInputScope outside;
    phonesim::PhoneSimulator sim(*phonesim::PhoneProfile::named(QStringLiteral("samsung")));
    ASSERT_TRUE(sim.start()) << sim.errorString().toStdString();
    sim.modifySession([](PhoneSession& s) {
        s.sms.find("ME")->capacity = SLTCommDeviceSamsungExt::kMaxSlots + 1;
        s.sms.store("ME", 1, kSamsungHi);
    });
    SamsungSmsCallback cb;
    QVSmsKitAsync kit;
    kit.setCallback(&cb);
    kit.setFilename(sim.slavePath());
    kit.setFamily(QStringLiteral("samsung"));
    kit.startReading();
    ASSERT_TRUE(runUntil([&] { return !cb.finished.isEmpty(); }, 120.0, 0.05));
    EXPECT_EQ(cb.finished, (QList<int>{-1}));
    EXPECT_TRUE(cb.boxes.isEmpty());
    EXPECT_EQ(sim.received().indexOf("at+cmgr="), -1);
    // The next read is not refused as still running.
    sim.modifySession([](PhoneSession& s) { s.sms.find("ME")->capacity = 100; });
    cb.finished.clear();
    kit.startReading();
    ASSERT_TRUE(runUntil([&] { return !cb.finished.isEmpty(); }, 120.0, 0.05));
    EXPECT_EQ(cb.finished, (QList<int>{0}));
}
