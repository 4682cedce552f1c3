// Outside check of the simulated Samsung phone: Debian's gammu, speaking AT
// over the pty, lists the messages the Samsung reader reads.
#include "VirtualTime.h"

#include "kestrova/core/QVSmsKitAsync.h"
#include "kestrova/vendors/VendorChains.h"

#include "PhoneSimulator.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// From +123, "Hi"; from +4917123, "Ää" (UCS2).
const QByteArray kSamsungGammuHi = "07919471010670F004039121F300006221012143000A02C834";
const QByteArray kSamsungGammuUcs2 = "07919471010670F0040791947121F30008622101214300000400C400E4";

QString runSamsungGammu(const QString& device)
{
    QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("gammurc"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    file.write("[gammu]\ndevice = " + device.toUtf8() + "\nconnection = at\n");
    file.close();
    QProcess gammu;
    gammu.start(QStringLiteral("gammu"), {QStringLiteral("-c"), config, QStringLiteral("getallsms")});
    if (!gammu.waitForFinished(60000)) {
        gammu.kill();
        gammu.waitForFinished();
    }
    return QString::fromUtf8(gammu.readAllStandardOutput() + gammu.readAllStandardError());
}

struct SamsungGammuCallback : smsKitAsync {
    QVariantList messages;
    QList<int> finished;
    void smsKitReadingBoxData(QVSmsKitAsync*, const QVariantList& list, const QString&) override { messages += list; }
    void smsKitReadingFinished(QVSmsKitAsync*, int code) override { finished.append(code); }
};

} // namespace

TEST(SamsungGammuCheck, GammuListsWhatTheReaderReads)
{
    if (QStandardPaths::findExecutable(QStringLiteral("gammu")).isEmpty())
        GTEST_SKIP() << "gammu is not installed (scripts/install-deps.sh installs it)";
    kestrova::vendors::registerVendorChains();
    testing_support::OutsideInputScope outside;
    phonesim::PhoneSimulator sim(*phonesim::PhoneProfile::named(QStringLiteral("samsung")));
    sim.modifySession([](phonesim::PhoneSession& s) {
        s.sms.store("SM", 1, kSamsungGammuHi);
        s.sms.store("ME", 0, kSamsungGammuUcs2);
    });
    ASSERT_TRUE(sim.start()) << sim.errorString().toStdString();
    const QString listing = runSamsungGammu(sim.slavePath());
    EXPECT_TRUE(listing.contains(QStringLiteral("\"+123\""))) << listing.toStdString();
    EXPECT_TRUE(listing.contains(QStringLiteral("Hi"))) << listing.toStdString();
    EXPECT_TRUE(listing.contains(QStringLiteral("\"+4917123\""))) << listing.toStdString();
    sim.stop();

    phonesim::PhoneSimulator again(*phonesim::PhoneProfile::named(QStringLiteral("samsung")));
    again.modifySession([](phonesim::PhoneSession& s) {
        s.sms.store("SM", 1, kSamsungGammuHi);
        s.sms.store("ME", 0, kSamsungGammuUcs2);
    });
    ASSERT_TRUE(again.start()) << again.errorString().toStdString();
    SamsungGammuCallback cb;
    QVSmsKitAsync kit;
    kit.setCallback(&cb);
    kit.setFilename(again.slavePath());
    kit.setFamily(QStringLiteral("samsung"));
    kit.startReading();
    ASSERT_TRUE(testing_support::runUntil([&] { return !cb.finished.isEmpty(); }, 120.0, 0.05));
    EXPECT_EQ(cb.finished, (QList<int>{0}));
    QStringList read;
    for (const QVariant& m : cb.messages)
        read.append(m.toMap().value("number").toString() + ' ' + m.toMap().value("message").toString());
    read.sort();
    EXPECT_EQ(read, (QStringList{"+123 Hi", "+4917123 Ää"}));
}
