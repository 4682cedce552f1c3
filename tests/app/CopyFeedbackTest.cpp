#include "TarnexTestSupport.h"

#include "app/CopyFromMobileFeedbackController.h"
#include "app/TarnexKeys.h"
#include "widgets/TarnexAlertSheet.h"

#include "jobs/JobNames.h"
#include "jobs/QVFeedBack.h"
#include "phone/MFDevice.h"
#include "platform/NotificationCenter.h"
#include "VirtualTime.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {

using app_tests::key;
using app_tests::onePhone;
using app_tests::TarnexFixture;
using testing_support::runFor;
using namespace tarnexkeys;

// A job entry with a given status and texts, optionally showing another's.
class Entry : public QVFeedBack {
public:
    Entry(int status, QString text, QString sub = QString(), std::shared_ptr<QVFeedBack> ref = nullptr)
        : status_(status), text_(std::move(text)), sub_(std::move(sub)), ref_(std::move(ref))
    {
    }
    int feedBackStatus() const override { return status_; }
    QString displayString() const override { return text_; }
    QString displaySubString() const override { return sub_; }
    std::shared_ptr<QVFeedBack> refContent() const override { return ref_; }

private:
    int status_;
    QString text_;
    QString sub_;
    std::shared_ptr<QVFeedBack> ref_;
};

// The copy pane hosted by the main window, which shows the phone matrix (a
// probe) with an open phone.
struct CopyPaneFixture {
    CopyPaneFixture()
    {
        f.start();
        pane->initWithDefaultNib();
        pane->setMainController(f.tarnex.get());
        pane->awakeFromNib();
        phone = f.useProbePhone(app_tests::phoneEntry(QStringLiteral("35412345678901")), QStringLiteral("USB-Serial"));
        phone->setMFDevice(std::make_shared<MFDevice>(
            QStringLiteral("USB-Serial"), std::make_shared<QVariantMap>(QVariantMap{{"Common.SerialNo", "1"}}),
            QVariantMap{{"Dorvanti.DeviceProtocol", "default"}}, nullptr, MFDevice::Makers()));
        pane->setDevice(phone);
    }
    ~CopyPaneFixture() { phone->setMFDevice(nullptr); }

    bool sheetShown() const { return f.tarnex->alertSheet() && f.tarnex->alertSheet()->isVisible(); }
    QVariantMap feedback(const std::shared_ptr<QVFeedBack>& entry, QVariantMap keys) const
    {
        keys.insert(jobnames::kFeedBackEntryKey, QVariant::fromValue(entry));
        return keys;
    }

    TarnexFixture f{onePhone(), true};
    std::unique_ptr<CopyFromMobileFeedbackController> pane = std::make_unique<CopyFromMobileFeedbackController>();
    std::shared_ptr<app_tests::ProbePhone> phone;
};

TEST(CopyFeedbackPane, IsNamedAndLoadsItsForm)
{
    CopyPaneFixture c;
    EXPECT_EQ(c.pane->defaultNibName(), QStringLiteral("CopyFeedbackView"));
    EXPECT_EQ(c.pane->localizationKey(), QStringLiteral("kCopyFromMobileFeedbackPaneName"));
    ASSERT_NE(c.pane->progressBar(), nullptr);
    ASSERT_NE(c.pane->feedbackTextField(), nullptr);
    EXPECT_NE(c.pane->percentDoneTextField(), nullptr);
    EXPECT_NE(c.pane->whatsGoingOnAndErrorReportingTextField(), nullptr);
    c.pane->prepareForDisplay();
    EXPECT_EQ(c.pane->progressBar()->maximum(), 0) << "a reset bar is busy";
    EXPECT_EQ(c.pane->numberOfTasks(), 0u);
}

TEST(CopyFeedbackPane, SuccessAndNothingToDoFillTheBarAndMoveOnAfterASecond)
{
    for (int code : {0, CopyFromMobileFeedbackController::kNothingToDo}) {
        SCOPED_TRACE(code);
        CopyPaneFixture c;
        c.f.tarnex->enableChangeToNextPane(false);
        ASSERT_EQ(c.f.tarnex->currentPaneIndex(), TarnexController::kMatrixIndex);
        c.pane->progressReady(code);
        EXPECT_EQ(c.pane->feedbackTextField()->text(), QStringLiteral("Phone copied"));
        EXPECT_EQ(c.pane->progressBar()->maximum(), CopyFromMobileFeedbackController::kBarMaximum);
        EXPECT_EQ(c.pane->progressBar()->value(), c.pane->progressBar()->maximum());
        EXPECT_TRUE(c.f.tarnex->goToNextPaneButton()->isEnabled());
        runFor(0.6);
        EXPECT_EQ(c.pane->progressBar()->value(), 0) << "the full bar empties after half a second";
        EXPECT_EQ(c.f.tarnex->currentPaneIndex(), TarnexController::kMatrixIndex);
        runFor(0.5);
        EXPECT_EQ(c.f.tarnex->currentPaneIndex(), TarnexController::kConnectingIndex);
        EXPECT_FALSE(c.sheetShown());
    }
}

TEST(CopyFeedbackPane, SuspendedAndCancelledLeaveThePaneAndOtherCodesAskToRestartThePhone)
{
    struct Case {
        int32_t code;
        bool sheet;
    };
    for (const Case& each : {Case{CopyFromMobileFeedbackController::kSuspended, false},
                             Case{CopyFromMobileFeedbackController::kCancelled, false}, Case{1, true},
                             Case{-1, true}, Case{0xAC001, true}}) {
        SCOPED_TRACE(each.code);
        CopyPaneFixture c;
        c.pane->feedbackTextField()->setText(QStringLiteral("Copying"));
        c.pane->progressReady(each.code);
        runFor(1.2);
        EXPECT_EQ(c.sheetShown(), each.sheet);
        EXPECT_EQ(c.pane->feedbackTextField()->text(), QStringLiteral("Copying"));
        EXPECT_EQ(c.f.tarnex->currentPaneIndex(), TarnexController::kMatrixIndex);
        if (each.sheet) {
            TarnexAlertSheet* sheet = c.f.tarnex->alertSheet();
            EXPECT_EQ(sheet->titleLabel()->text(), QStringLiteral("The phone stopped answering"));
            EXPECT_EQ(sheet->defaultButton()->text(), QStringLiteral("Quit"));
            EXPECT_EQ(sheet->alternateButton()->text(), QStringLiteral("Previous"));
        }
    }
}

TEST(CopyFeedbackPane, OnlyThisPhonesDyingSessionShowsTheSheetAndOnlyOnce)
{
    CopyPaneFixture c;
    platform::NotificationCenter& center = platform::NotificationCenter::defaultCenter();
    int otherPhone = 0;
    center.post(jobnames::kNotifySessionDiedError, &otherPhone);
    center.post(jobnames::kNotifySessionDiedError, nullptr);
    EXPECT_FALSE(c.sheetShown()) << "another phone's session is not this pane's";
    EXPECT_FALSE(c.pane->sessionDied());

    center.post(jobnames::kNotifySessionDiedError, c.phone->mfDevice().get());
    ASSERT_TRUE(c.sheetShown());
    EXPECT_TRUE(c.pane->sessionDied());
    c.f.tarnex->alertSheet()->hide();
    center.post(jobnames::kNotifySessionDiedError, c.phone->mfDevice().get());
    EXPECT_FALSE(c.sheetShown()) << "no second sheet";
}

TEST(CopyFeedbackPane, PreviousOnTheSheetGoesBackToThePhonesAndQuitEndsTheProgram)
{
    {
        CopyPaneFixture c;
        c.f.app.controller->awakeFromNib();
        c.f.tarnex->switchToNamedPane(key(kConnectingPane), 1);
        runFor(1.0);
        ASSERT_EQ(c.f.tarnex->currentPaneIndex(), TarnexController::kConnectingIndex);
        platform::NotificationCenter::defaultCenter().post(jobnames::kNotifySessionDiedError, c.phone->mfDevice().get());
        ASSERT_TRUE(c.sheetShown());
        c.f.tarnex->alertSheet()->alternateButton()->click();
        runFor(1.0);
        EXPECT_EQ(c.f.tarnex->currentPaneIndex(), TarnexController::kMatrixIndex);
        EXPECT_FALSE(c.f.app.state->steps.contains(QStringLiteral("AppWillQuit"))) << "one phone's failure does not end the program";
        EXPECT_FALSE(c.pane->sessionDied()) << "the next phone's session may tell again";
    }
    {
        CopyPaneFixture c;
        c.f.app.controller->awakeFromNib();
        c.pane->progressReady(7);
        ASSERT_TRUE(c.sheetShown());
        c.f.tarnex->alertSheet()->defaultButton()->click();
        runFor(1.0);
        EXPECT_TRUE(c.f.app.state->steps.contains(QStringLiteral("AppWillQuit")));
    }
}

TEST(CopyFeedbackPane, FeedbackDrivesTheBarAndTheStatusLine)
{
    CopyPaneFixture c;
    QProgressBar* bar = c.pane->progressBar();
    auto running = std::make_shared<Entry>(CopyFromMobileFeedbackController::kStatusRunning, QStringLiteral("Contacts"),
                                           QStringLiteral("3 of 5"));
    c.pane->startProgress();

    c.pane->feedBackDictNotify(c.feedback(running, {{jobnames::kFeedProcessActionKey, 42.0f}}));
    EXPECT_EQ(bar->maximum(), CopyFromMobileFeedbackController::kBarMaximum);
    EXPECT_EQ(bar->value(), 42);
    EXPECT_EQ(c.pane->feedbackTextField()->text(), QStringLiteral("Contacts 3 of 5"));

    c.pane->feedBackDictNotify(c.feedback(running, {}));
    EXPECT_EQ(bar->value(), 0) << "a running entry without a percentage";

    // A start with an end in the same dictionary is a start.
    c.pane->feedBackDictNotify(c.feedback(running, {{jobnames::kFeedStartActionKey, true},
                                                    {jobnames::kFeedEndActionKey, 0}}));
    EXPECT_EQ(bar->maximum(), 0);
    EXPECT_NE(c.pane->feedbackTextField()->text(), QStringLiteral("Phone copied"));

    // The shown entry's own texts when it refers to another.
    auto inner = std::make_shared<Entry>(0, QStringLiteral("Calendar"));
    auto outer = std::make_shared<Entry>(CopyFromMobileFeedbackController::kStatusRunning, QStringLiteral("Group"),
                                         QString(), inner);
    c.pane->feedBackDictNotify(c.feedback(outer, {{jobnames::kFeedProcessActionKey, 10.0f}}));
    EXPECT_EQ(c.pane->feedbackTextField()->text(), QStringLiteral("Calendar"));
    EXPECT_EQ(bar->value(), 10);

    c.pane->feedBackDictNotify(c.feedback(std::make_shared<Entry>(0, QStringLiteral("Waiting")), {}));
    EXPECT_EQ(bar->maximum(), 0) << "an entry not running: busy bar";

    c.pane->feedBackDictNotify(c.feedback(running, {{jobnames::kFeedEndActionKey, CopyFromMobileFeedbackController::kNothingToDo}}));
    EXPECT_EQ(c.pane->feedbackTextField()->text(), QStringLiteral("Phone copied"));
    EXPECT_EQ(bar->maximum(), CopyFromMobileFeedbackController::kBarMaximum);
}

}   // namespace
