// The dialling sheet against phonesim's scripted call over a pseudo-terminal.
#include "../../phonejobs/PhoneJobsTestSupport.h"

#include "CallProgress.h"
#include "organizer/contacts/DialingDialog.h"
#include "phonejobs/ActionDialNumber.h"
#include "platform/gui/Animation.h"

#include <QSignalSpy>

namespace {

class DialingDialogPtyTest : public phonejobs_test::PtyPhoneFixture {};

} // namespace

TEST_F(DialingDialogPtyTest, TheSheetFollowsARingingAnsweredAndHungUpCall)
{
    connect("motorola", "motorola");
    // The far end rings for a second, talks for a second and hangs up.
    sim->modifySession([](phonesim::PhoneSession& s) {
        s.call.script = phonesim::CallScript{phonesim::CallScript::Outcome::Answered, 1000, 1000};
    });
    int beeps = 0;
    platform::gui::setBeepHandler([&beeps] { ++beeps; });
    DialingDialog dialog;
    dialog.setJobPoster([this](const std::shared_ptr<QVAction>& job) { return device->addAction(job); });
    QSignalSpy ended(&dialog, &DialingDialog::sheetEnded);
    QStringList shown;
    bool rang = false;
    ASSERT_TRUE(dialog.doDialNumber(nullptr, QStringLiteral("0123456789")));
    ASSERT_TRUE(std::dynamic_pointer_cast<ActionDialNumber>(dialog.dialAction()));
    EXPECT_TRUE(runUntil(
        [&] {
            if (shown.isEmpty() || shown.last() != dialog.dialingStatusText())
                shown.append(dialog.dialingStatusText());
            rang = rang || sim->session().activity == phonesim::PhoneSession::Ringing;
            return !dialog.isSheetOpen();
        },
        600.0));
    platform::gui::setBeepHandler({});
    ASSERT_EQ(ended.count(), 1);
    EXPECT_EQ(ended.at(0).at(0).toInt(), 1);
    EXPECT_TRUE(rang);
    EXPECT_TRUE(shown.contains("Dialing")) << shown.join(", ").toStdString();
    EXPECT_EQ(beeps, 0);
    EXPECT_EQ(sim->session().dialledNumbers, QList<QByteArray>{"0123456789"});
    EXPECT_EQ(sim->session().activity, phonesim::PhoneSession::Ready);
}
