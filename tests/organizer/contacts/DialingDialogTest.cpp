#include "ContactsTestSupport.h"

#include "jobs/QVAction.h"
#include "organizer/contacts/ContactStore.h"
#include "organizer/contacts/DialingDialog.h"
#include "platform/gui/Animation.h"
#include "VirtualTime.h"

#include <QPushButton>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace contactstest;

namespace {

// A dial job the test drives by hand.
class HandDrivenDialJob : public QVAction {
public:
    QString displayString() const override { return shown; }
    bool cancelAction() override
    {
        ++cancels;
        return true;
    }
    QString shown = QStringLiteral("Dialing");
    int cancels = 0;
};

class DialingDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::gui::setBeepHandler([this] { ++beeps; });
        dialog.setJobMaker([this](const QString& number) {
            made.append(number);
            job = std::make_shared<HandDrivenDialJob>();
            return job;
        });
        dialog.setJobPoster([this](const std::shared_ptr<QVAction>&) { return accept; });
    }
    void TearDown() override { platform::gui::setBeepHandler({}); }

    DialingDialog dialog;
    std::shared_ptr<HandDrivenDialJob> job;
    QStringList made;
    bool accept = true;
    int beeps = 0;
};

} // namespace

TEST_F(DialingDialogTest, AnEmptyNumberDialsNothing)
{
    EXPECT_FALSE(dialog.doDialNumber(nullptr, QString()));
    EXPECT_FALSE(dialog.isSheetOpen());
    EXPECT_TRUE(made.isEmpty());
    EXPECT_EQ(beeps, 0);
}

TEST_F(DialingDialogTest, ARefusedJobBeepsAndSaysDialError)
{
    accept = false;
    EXPECT_TRUE(dialog.doDialNumber(nullptr, QStringLiteral("0800 123")));
    EXPECT_TRUE(dialog.isSheetOpen());
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(dialog.dialingStatusText(), "DIAL_ERROR");
    EXPECT_FALSE(dialog.dialAction());
    // Hang up without a job ends the sheet.
    QSignalSpy ended(&dialog, &DialingDialog::sheetEnded);
    dialog.hangUpButton()->click();
    EXPECT_FALSE(dialog.isSheetOpen());
    ASSERT_EQ(ended.count(), 1);
    EXPECT_EQ(ended.at(0).at(0).toInt(), 1);
}

TEST_F(DialingDialogTest, TheSheetNamesThePersonOrTheNumberAlone)
{
    const QString root = newStoreRoot();
    writeContactFile(root, "ann.vcf", card("u-ann", "Lee", "Ann", {"+49 171 5550112"}));
    ContactStore store(root);
    dialog.setContactStore(&store);
    ASSERT_TRUE(dialog.doDialNumber(nullptr, QStringLiteral("0171 5550112")));
    EXPECT_EQ(dialog.dialingNumberText(), "Ann Lee\n\n<0171 5550112>");
    EXPECT_EQ(dialog.dialingStatusText(), "Preparing");
    dialog.phoneDialingSheetDidEnd(1);
    ASSERT_TRUE(dialog.doDialNumber(nullptr, QStringLiteral("112")));
    EXPECT_EQ(dialog.dialingNumberText(), "\n112\n") << "no stray '>' without a person";
    EXPECT_EQ(made, (QStringList{"0171 5550112", "112"}));
}

TEST_F(DialingDialogTest, TheSheetFollowsTheJobAndClosesWhenItEndsWell)
{
    QSignalSpy ended(&dialog, &DialingDialog::sheetEnded);
    ASSERT_TRUE(dialog.doDialNumber(nullptr, QStringLiteral("5550100")));
    ASSERT_EQ(dialog.dialAction(), job);
    job->shown = QStringLiteral("Connect");
    job->postProcessAction(0.5f);
    EXPECT_EQ(dialog.dialingStatusText(), "Connect");
    job->postEndAction(0);
    EXPECT_FALSE(dialog.isSheetOpen());
    ASSERT_EQ(ended.count(), 1);
    EXPECT_EQ(ended.at(0).at(0).toInt(), 1);
    EXPECT_FALSE(dialog.dialAction());
    EXPECT_EQ(beeps, 0);
}

TEST_F(DialingDialogTest, AFailedJobBeepsShowsItsErrorAndLeavesTheSheetOpen)
{
    ASSERT_TRUE(dialog.doDialNumber(nullptr, QStringLiteral("5550100")));
    job->setFeedBackErrorString(QStringLiteral("NO_CARRIER"));
    job->postEndAction(-1);
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(dialog.dialingStatusText(), "NO_CARRIER");
    EXPECT_TRUE(dialog.isSheetOpen());
    EXPECT_FALSE(dialog.dialAction());
    // The job's later reports no longer reach the sheet.
    job->shown = QStringLiteral("Connect");
    job->postProcessAction(1.0f);
    EXPECT_EQ(dialog.dialingStatusText(), "NO_CARRIER");
    dialog.hangUp();
    EXPECT_FALSE(dialog.isSheetOpen());
}

TEST_F(DialingDialogTest, HangUpCancelsTheRunningCallAndEscapeMeansHangUp)
{
    ASSERT_TRUE(dialog.doDialNumber(nullptr, QStringLiteral("5550100")));
    dialog.hangUpButton()->click();
    EXPECT_EQ(job->cancels, 1);
    EXPECT_EQ(dialog.dialingStatusText(), "HangUp");
    EXPECT_TRUE(dialog.isSheetOpen()) << "the sheet waits for the job's end";
    dialog.reject();
    EXPECT_EQ(job->cancels, 2);
    job->postEndAction(0);
    EXPECT_FALSE(dialog.isSheetOpen());
}

TEST_F(DialingDialogTest, ADialWhileAnotherRunsFollowsOnlyTheNewJob)
{
    ASSERT_TRUE(dialog.doDialNumber(nullptr, QStringLiteral("5550100")));
    const std::shared_ptr<HandDrivenDialJob> first = job;
    ASSERT_TRUE(dialog.doDialNumber(nullptr, QStringLiteral("5550101")));
    ASSERT_NE(job, first);
    first->postEndAction(0);
    EXPECT_TRUE(dialog.isSheetOpen()) << "the first job's end is not the sheet's";
    EXPECT_EQ(dialog.number(), "5550101");
    job->postEndAction(0);
    EXPECT_FALSE(dialog.isSheetOpen());
}

TEST_F(DialingDialogTest, ASheetThatGoesAwayHangsUpItsCallAndOutlivesItsAddressBook)
{
    // A sheet destroyed while its call runs cancels the call: nothing else
    // could hang up afterwards.
    auto doomed = std::make_unique<DialingDialog>();
    doomed->setJobMaker([this](const QString&) {
        job = std::make_shared<HandDrivenDialJob>();
        return job;
    });
    doomed->setJobPoster([](const std::shared_ptr<QVAction>&) { return true; });
    ASSERT_TRUE(doomed->doDialNumber(nullptr, QStringLiteral("5550100")));
    const std::shared_ptr<HandDrivenDialJob> running = job;
    doomed.reset();
    EXPECT_EQ(running->cancels, 1);
    running->postEndAction(0);   // its end reaches no one

    // An address book deleted before the next dial names nobody.
    const QString root = newStoreRoot();
    writeContactFile(root, "ann.vcf", card("u-ann", "Lee", "Ann", {"5550100"}));
    auto store = std::make_unique<ContactStore>(root);
    dialog.setContactStore(store.get());
    store.reset();
    ASSERT_TRUE(dialog.doDialNumber(nullptr, QStringLiteral("5550100")));
    EXPECT_EQ(dialog.dialingNumberText(), "\n5550100\n");
}
