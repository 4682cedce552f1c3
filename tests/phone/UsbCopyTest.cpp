#include "links/ObexCommand.h"
#include "phone/DorvantiUSBCopJob.h"
#include "phone/DorvantiUSBCopyHdlr.h"
#include "phone/FTPReceiver.h"

#include "TestFiles.h"
#include "VirtualTime.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Receiver : FTPReceiver {
    QList<int> percents;
    QList<int> ends;
    void notifyFinishedJob(ObexCommand& command) override { ends.append(command.getStatus()); }
    void showProgress(double, float prozDone) override { percents.append(int(prozDone)); }
};

class UsbCopyTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        const testing_support::OutsideInputScope outside;
        EXPECT_TRUE(DorvantiUSBCopyHdlr::terminateDorvantiUSBCopyHdlr());
    }
    QString path(const QString& name) const { return dir.path() + '/' + name; }
    // Copies and waits for the end.
    int copy(const QString& source, const QString& destination, bool overwrite)
    {
        Receiver receiver;
        DorvantiUSBCopyHdlr::sharedDorvantiUSBCopyHdlr().copyPathAsync(source, destination, overwrite, &receiver);
        const testing_support::OutsideInputScope outside;
        EXPECT_TRUE(testing_support::runUntil([&] { return !receiver.ends.isEmpty(); }, 60));
        return receiver.ends.value(0, 1);
    }

    QTemporaryDir dir;
};

} // namespace

TEST_F(UsbCopyTest, AnExistingDestinationIsReplacedOnlyWhenAllowed)
{
    testing_support::writeFile(path("src.jpg"), "new");
    testing_support::writeFile(path("dst.jpg"), "old");
    EXPECT_EQ(copy(path("src.jpg"), path("dst.jpg"), false), -48);
    EXPECT_EQ(testing_support::readFile(path("dst.jpg")), "old");
    EXPECT_EQ(copy(path("src.jpg"), path("dst.jpg"), true), 0);
    EXPECT_EQ(testing_support::readFile(path("dst.jpg")), "new");

    EXPECT_EQ(copy(path("missing.jpg"), path("x.jpg"), true), -43);
    QFile::link(path("src.jpg"), path("link.jpg"));
    EXPECT_EQ(copy(path("link.jpg"), path("y.jpg"), true), -50) << "only regular files are read";
    QDir().mkpath(path("folder"));
    EXPECT_EQ(copy(path("folder"), path("z.jpg"), true), -50);
    EXPECT_FALSE(QFile::exists(path("x.jpg")) || QFile::exists(path("y.jpg")) || QFile::exists(path("z.jpg")));
    // A copy into a missing folder fails without leaving anything behind.
    EXPECT_EQ(copy(path("src.jpg"), path("none/dst.jpg"), true), ENOENT);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot).size(), 3);
}

TEST_F(UsbCopyTest, ProgressComesOnlyWhenTheWholePercentChanges)
{
    testing_support::writeFile(path("big.bin"), QByteArray(300 * 65536 + 17, 'b'));
    Receiver receiver;
    DorvantiUSBCopyHdlr::sharedDorvantiUSBCopyHdlr().copyPathAsync(path("big.bin"), path("copy.bin"), false, &receiver);
    const testing_support::OutsideInputScope outside;
    ASSERT_TRUE(testing_support::runUntil([&] { return !receiver.ends.isEmpty(); }, 60));
    EXPECT_EQ(receiver.ends, QList<int>{0});
    ASSERT_FALSE(receiver.percents.isEmpty());
    for (int n = 1; n < receiver.percents.size(); ++n)
        EXPECT_LT(receiver.percents.at(n - 1), receiver.percents.at(n));
    EXPECT_EQ(receiver.percents.last(), 100);
    EXPECT_EQ(QFile(path("copy.bin")).size(), 300 * 65536 + 17);
    EXPECT_EQ(DorvantiUSBCopyHdlr::sharedDorvantiUSBCopyHdlr().count(), 0);
}

TEST_F(UsbCopyTest, AKilledJobDeliversNothingAndLeavesNoPartialFile)
{
    testing_support::writeFile(path("big.bin"), QByteArray(64 << 20, 'k'));
    Receiver receiver;
    auto& handler = DorvantiUSBCopyHdlr::sharedDorvantiUSBCopyHdlr();
    const auto job = handler.copyPathAsync(path("big.bin"), path("copy.bin"), false, &receiver);
    const testing_support::OutsideInputScope outside;
    EXPECT_TRUE(handler.killJobs(job));
    EXPECT_FALSE(handler.killJobs(job)) << "no longer running";
    testing_support::runFor(1.0);
    EXPECT_TRUE(receiver.ends.isEmpty());
    EXPECT_EQ(job->status(), -1702);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1) << "no partial copy";
}

TEST_F(UsbCopyTest, TerminatingEndsEveryJobAndTheHandler)
{
    EXPECT_TRUE(DorvantiUSBCopyHdlr::terminateDorvantiUSBCopyHdlr());
    EXPECT_EQ(DorvantiUSBCopyHdlr::existingHandler(), nullptr);

    testing_support::writeFile(path("big.bin"), QByteArray(64 << 20, 't'));
    Receiver receiver;
    DorvantiUSBCopyHdlr::sharedDorvantiUSBCopyHdlr().copyPathAsync(path("big.bin"), path("a.bin"), false, &receiver);
    DorvantiUSBCopyHdlr::sharedDorvantiUSBCopyHdlr().copyPathAsync(path("big.bin"), path("b.bin"), false, &receiver);
    const testing_support::OutsideInputScope outside;
    EXPECT_TRUE(DorvantiUSBCopyHdlr::terminateDorvantiUSBCopyHdlr());
    EXPECT_EQ(DorvantiUSBCopyHdlr::existingHandler(), nullptr);
    EXPECT_TRUE(receiver.ends.isEmpty());
}

TEST(UsbCopyStatusTest, FileSystemErrorsReachTheReceiverAsProgramCodes)
{
    EXPECT_EQ(DorvantiUSBCopJob::receiverStatus(28), -34);
    EXPECT_EQ(DorvantiUSBCopJob::receiverStatus(30), -44);
    EXPECT_EQ(DorvantiUSBCopJob::receiverStatus(5), 5);
    EXPECT_EQ(DorvantiUSBCopJob::receiverStatus(0), 0);
}
