// Outside checks of the simulated phone: Debian's gammu, speaking AT over the
// pty, lists the message storage the kit reads and sends a text the phone
// records, and reads the SIM phonebook the engine reads.
#include "EngineTestSupport.h"

#include "PhoneSimulator.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Received from +123, "Hi"; and from +4917123, a UCS2 "Ää".
const QByteArray kHi = "07919471010670F004039121F300006221012143000A02C834";
const QByteArray kUcs2 = "07919471010670F0040791947121F30008622101214300000400C400E4";

QString runGammu(const QString& config, const QStringList& arguments)
{
    QProcess gammu;
    gammu.start(QStringLiteral("gammu"), QStringList{QStringLiteral("-c"), config} + arguments);
    if (!gammu.waitForFinished(60000)) {
        gammu.kill();
        gammu.waitForFinished();
    }
    return QString::fromUtf8(gammu.readAllStandardOutput() + gammu.readAllStandardError());
}

// A gammu configuration for the simulated phone's pty in dir.
QString gammuConfig(const QTemporaryDir& dir, const phonesim::PhoneSimulator& sim)
{
    const QString config = dir.filePath(QStringLiteral("gammurc"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    file.write("[gammu]\ndevice = " + sim.slavePath().toUtf8() + "\nconnection = at\n");
    return config;
}

} // namespace

TEST(GammuCheck, ListsStoredMessagesAndSendsOne)
{
    if (QStandardPaths::findExecutable(QStringLiteral("gammu")).isEmpty())
        GTEST_SKIP() << "gammu is not installed (scripts/install-deps.sh installs it)";
    phonesim::PhoneSimulator sim(*phonesim::PhoneProfile::named(QStringLiteral("sonyericsson")));
    sim.modifySession([](phonesim::PhoneSession& s) {
        s.sms.store("SM", 1, kHi);
        s.sms.store("ME", 0, kUcs2);
    });
    ASSERT_TRUE(sim.start()) << sim.errorString().toStdString();
    QTemporaryDir dir;
    const QString config = gammuConfig(dir, sim);
    ASSERT_FALSE(config.isEmpty());

    const QString listing = runGammu(config, {QStringLiteral("getallsms")});
    EXPECT_TRUE(listing.contains(QStringLiteral("\"+123\""))) << listing.toStdString();
    EXPECT_TRUE(listing.contains(QStringLiteral("Hi"))) << listing.toStdString();
    EXPECT_TRUE(listing.contains(QStringLiteral("\"+4917123\""))) << listing.toStdString();
    EXPECT_TRUE(listing.contains(QStringLiteral("Ää"))) << listing.toStdString();

    const QString sending =
        runGammu(config, {QStringLiteral("sendsms"), QStringLiteral("TEXT"), QStringLiteral("+123"), QStringLiteral("-text"),
                          QStringLiteral("Hello")});
    const QList<QByteArray> sent = sim.session().sms.sentPdus;
    ASSERT_EQ(sent.size(), 1) << sending.toStdString();
    EXPECT_EQ(coretest::decodeSubmit(sent.first()), qMakePair(QStringLiteral("Hello"), QStringLiteral("+123")));
}

TEST(GammuCheck, ReadsTheSimPhonebook)
{
    if (QStandardPaths::findExecutable(QStringLiteral("gammu")).isEmpty())
        GTEST_SKIP() << "gammu is not installed (scripts/install-deps.sh installs it)";
    phonesim::PhoneSimulator sim(*phonesim::PhoneProfile::named(QStringLiteral("nokia")));
    sim.modifySession([](phonesim::PhoneSession& s) {
        s.phonebook.storages[0].put(1, {1, QStringLiteral("+49301234"), 145, QStringLiteral("Anna")});
        s.phonebook.storages[0].put(4, {4, QStringLiteral("0171555"), 129, QStringLiteral("Smith, J")});
        s.phonebook.storages[0].put(7, {7, QStringLiteral("112"), 129, QStringLiteral("Bär Öl")});
    });
    ASSERT_TRUE(sim.start()) << sim.errorString().toStdString();
    QTemporaryDir dir;
    const QString config = gammuConfig(dir, sim);
    ASSERT_FALSE(config.isEmpty());

    const QString listing = runGammu(config, {QStringLiteral("getmemory"), QStringLiteral("SM"), QStringLiteral("1"),
                                              QStringLiteral("10")});
    const QString lines = QString::fromLatin1(sim.receivedLines().join('|'));
    EXPECT_TRUE(listing.contains(QStringLiteral("7 entries empty, 3 entries filled"))) << listing.toStdString();
    for (const char* text : {"\"+49301234\"", "\"Anna\"", "\"0171555\"", "\"Smith, J\"", "\"112\"", "\"Bär Öl\""})
        EXPECT_TRUE(listing.contains(QString::fromUtf8(text))) << text << "\n" << listing.toStdString() << lines.toStdString();
    // gammu read in the richest set the phone offers.
    EXPECT_TRUE(lines.contains(QStringLiteral("AT+CSCS=\"UCS2\""))) << lines.toStdString();
}
