// Speed of a 500-entry slow read over an emulated 460,800 bit/s line (in
// virtual time: the share of the line rate the protocol reaches), and gammu
// reading the same phonebook from phonesim paced at that rate (real time).
// Runs only when MARVESTO_IRMC_SPEED is set.
#include "IrmcSessionTestSupport.h"

#include "PhoneProfile.h"
#include "PhoneSimulator.h"
#include "platform/Clock.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>

using irmctest::IrmcSessionTest;

TEST_F(IrmcSessionTest, SpeedOfA500EntrySlowReadNextToGammu)
{
    if (qEnvironmentVariableIsEmpty("MARVESTO_IRMC_SPEED"))
        GTEST_SKIP() << "set MARVESTO_IRMC_SPEED=1 to measure";
    constexpr int kRate = 460800;
    for (int n = 1; n <= 500; ++n)
        phone->addEntry(phonesim::IrmcPhone::card(QStringLiteral("Entry%1").arg(n, 3, 10, QLatin1Char('0')),
                                                  QStringLiteral("+4930%1").arg(1000 + n)));
    const QByteArray book = phone->get(QStringLiteral("telecom/pb.vcf")).value_or(QByteArray());
    lineRate = kRate;
    open();
    const double start = platform::Clock::instance().now();
    QElapsedTimer wallClock;
    wallClock.start();
    EXPECT_EQ(session->performReadContacts(true), 0);
    ASSERT_TRUE(testing_support::runUntil([&] { return user.deliveries > 0; }, 600));
    const double ours = platform::Clock::instance().now() - start;
    const double wallSeconds = double(wallClock.nsecsElapsed()) / 1e9;
    EXPECT_EQ(user.items().size(), 500);
    const double lineSeconds = double(book.size()) * 10.0 / kRate;

    double gammuSeconds = -1;
    const QString gammu = QStandardPaths::findExecutable(QStringLiteral("gammu"));
    if (!gammu.isEmpty()) {
        phonesim::PhoneSimulator sim(*phonesim::PhoneProfile::named(QStringLiteral("lg")));
        const auto irmc = phone;
        sim.modifyObexServer([irmc](phonesim::ObexServer& obex) { obex.setIrmcPhone(irmc); });
        sim.setLineRate(kRate);
        ASSERT_TRUE(sim.start());
        QTemporaryDir work;
        QFile config(QDir(work.path()).filePath(QStringLiteral("gammurc")));
        ASSERT_TRUE(config.open(QIODevice::WriteOnly));
        config.write("[gammu]\ndevice = " + sim.slavePath().toLocal8Bit() + "\nconnection = at\nmodel = atobex\n");
        config.close();
        QProcess client;
        client.setProcessChannelMode(QProcess::MergedChannels);
        QElapsedTimer wall;
        wall.start();
        client.start(gammu,
                     {QStringLiteral("-c"), config.fileName(), QStringLiteral("getallmemory"), QStringLiteral("ME")});
        client.waitForFinished(600000);
        gammuSeconds = double(wall.nsecsElapsed()) / 1e9;
        EXPECT_TRUE(client.readAll().contains("Entry500"));
    }
    std::printf("IrMC slow read, 500 entries, %lld bytes at %d bit/s: %.3f s on the line (%.3f s of it the bytes "
                "themselves: %.0f %% of the line rate; %.2f s of wall time for the run); gammu getallmemory ME: "
                "%.2f s; gammu / ours = %.1f\n",
                static_cast<long long>(book.size()), kRate, ours, lineSeconds, 100.0 * lineSeconds / ours, wallSeconds,
                gammuSeconds, gammuSeconds > 0 ? gammuSeconds / ours : 0.0);
}
