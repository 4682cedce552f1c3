// The stand-alone wizard window and its pane framework, driven by clicks and
// keys on the offscreen window with a recording owner.
#include "LogRecorder.h"

#include "lumwick/AKListView.h"
#include "lumwick/AKMainController.h"
#include "lumwick/AKStartPaneController.h"
#include "lumwick/DeviceExpert.h"
#include "lumwick/QVUIKit.h"
#include "platform/Exception.h"
#include "platform/Paths.h"
#include "platform/gui/TestArtifacts.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct RecordingOwner : LumwickProtocol {
    QString title;
    QImage logo;
    bool valid = true;
    QList<QVariantMap> endings;
    QList<QVariantMap> validityQuestions;

    QString getAssistantTitle() override { return title; }
    QImage getAssistantLogo() override { return logo; }
    void assistantDidEndWithoutPairing() override {}
    void assistantDidEndWithPairing(const QVariantMap& properties) override { endings.append(properties); }
    bool isValid(const QVariantMap& properties) override
    {
        validityQuestions.append(properties);
        return valid;
    }
};

// A pane that records what its host sends it, in one shared journal.
struct FakePane : AKPaneController {
    FakePane(QString key, bool skip, QStringList* journal, QString nib = QStringLiteral("AKStartPane"))
        : key(std::move(key)), nib(std::move(nib)), skip(skip), journal(journal)
    {
    }
    QString key;
    QString nib;
    bool skip;
    QStringList* journal;

    QString defaultNibName() const override { return nib; }
    QString localizationKey() const override { return key; }
    bool doSkipProcessing() override { return skip; }
    void prepareForDisplay() override { journal->append(key + QStringLiteral(".prepare")); }
    void startProcessing() override
    {
        journal->append(key + QStringLiteral(".start"));
        setNextButtonEnabled(true);
        setPreviousButtonEnabled(true);
    }
    void stopProcessing() override { journal->append(key + QStringLiteral(".stop")); }
};

class WizardWindow : public ::testing::Test {
protected:
    void SetUp() override { logRecorder::clear(); }

    AKMainController::PaneFactory fake(const QString& key, bool skip = false,
                                       const QString& nib = QStringLiteral("AKStartPane"))
    {
        return [=, this] { return std::make_unique<FakePane>(key, skip, &journal, nib); };
    }

    AKMainController& open(std::vector<AKMainController::PaneFactory> panes)
    {
        controller = std::make_unique<AKMainController>(owner, std::move(panes));
        controller->awakeFromNib();
        controller->IBwindow()->show();
        return *controller;
    }

    QString currentKey() const
    {
        return controller->currentPaneController() ? controller->currentPaneController()->localizationKey() : QString();
    }

    void clickNext() { QTest::mouseClick(controller->nextPaneButton(), Qt::LeftButton); }
    void clickPrevious() { QTest::mouseClick(controller->previousPaneButton(), Qt::LeftButton); }

    std::shared_ptr<RecordingOwner> owner = std::make_shared<RecordingOwner>();
    std::unique_ptr<AKMainController> controller;
    QStringList journal;
};

TEST_F(WizardWindow, OpensOnTheStartPaneWithNextEnabledAndPreviousDisabled)
{
    open(AKMainController::standardPanes());
    ASSERT_EQ(controller->paneControllers().size(), 2u);
    EXPECT_EQ(currentKey(), "kIntroduction");
    EXPECT_EQ(controller->paneTitle()->text(), "Introduction");
    EXPECT_EQ(controller->IBwindow()->windowTitle(), "Add a phone");
    EXPECT_TRUE(controller->nextPaneButton()->isEnabled());
    EXPECT_EQ(controller->nextPaneButton()->text(), "Next");
    EXPECT_FALSE(controller->previousPaneButton()->isEnabled());
    EXPECT_TRUE(controller->paneControllers()[0]->wizardPaneView()->isVisible());
    EXPECT_FALSE(controller->paneControllers()[1]->wizardPaneView()->isVisible());
    platform::gui::saveGrab(controller->IBwindow(), QStringLiteral("lumwick-wizard-start"));
}

TEST_F(WizardWindow, PanesThatSkipArePassedOverInBothDirectionsSeveralInARow)
{
    open({fake("A"), fake("skip1", true), fake("skip2", true), fake("B"), fake("skip3", true), fake("C")});
    journal.clear();

    clickNext();
    EXPECT_EQ(currentKey(), "B");
    EXPECT_EQ(journal, (QStringList{"A.stop", "B.prepare", "B.start"}));
    EXPECT_EQ(controller->paneTitle()->text(), "B");   // no text: the key itself
    clickNext();
    EXPECT_EQ(currentKey(), "C");
    clickPrevious();
    EXPECT_EQ(currentKey(), "B");
    clickPrevious();
    EXPECT_EQ(currentKey(), "A");
    EXPECT_EQ(journal.mid(3), (QStringList{"B.stop", "C.prepare", "C.start", "C.stop", "B.prepare", "B.start",
                                           "B.stop", "A.prepare", "A.start"}));
    EXPECT_TRUE(owner->endings.isEmpty());
}

TEST_F(WizardWindow, PreviousOnTheFirstPaneLogsAndStays)
{
    open({fake("skip0", true), fake("A"), fake("B")});
    EXPECT_EQ(currentKey(), "skip0");   // the first pane is shown as it is
    clickNext();
    ASSERT_EQ(currentKey(), "A");
    controller->goToPreviousPane();
    EXPECT_EQ(currentKey(), "A");
    EXPECT_TRUE(logRecorder::contains("No previous pane wants control"));
    EXPECT_TRUE(controller->paneControllers()[1]->wizardPaneView()->isVisible());
}

TEST_F(WizardWindow, NextOnTheLastPaneEndsOnceWithTheExpertsPropertiesAndCloses)
{
    open(AKMainController::standardPanes());
    auto expert = std::make_shared<DeviceExpert>();
    const QVariantMap result{{"Wizard.DeviceUserName", "Anna's phone"}, {"product", "KG800"}};
    expert->setDeviceProperties(result);
    controller->setDeviceExpert(expert);

    clickNext();
    ASSERT_EQ(currentKey(), "kSummary");
    EXPECT_EQ(controller->nextPaneButton()->text(), "Finish");
    EXPECT_TRUE(controller->previousPaneButton()->isEnabled());
    clickNext();
    ASSERT_EQ(owner->endings.size(), 1);
    EXPECT_EQ(owner->endings[0], result);
    EXPECT_FALSE(controller->IBwindow()->isVisible());
    controller->goToNextPane();   // the wizard is over: nothing more is sent
    EXPECT_EQ(owner->endings.size(), 1);
}

TEST_F(WizardWindow, FinalPaneShowsNameAndModelWithTheirFallbacks)
{
    struct Case {
        QVariantMap properties;
        const char* name;
        const char* type;
    };
    const Case cases[] = {
        {{{"Wizard.DeviceUserName", "Anna"}, {"product", "KG800"}, {"Wizard.ModelName", "KG800"}}, "Anna", "KG800"},
        {{{"Wizard.DeviceUserName", ""}, {"product", "U8360"}}, "U8360", "unknown type"},
        {{}, "", "unknown type"},
        {{{"Wizard.DeviceUserName", 17}, {"Wizard.ModelName", QVariantList{}}}, "", "unknown type"},   // wrong types
    };
    for (const Case& c : cases) {
        open(AKMainController::standardPanes());
        auto expert = std::make_shared<DeviceExpert>();
        expert->setDeviceProperties(c.properties);
        controller->setDeviceExpert(expert);
        clickNext();
        QWidget* view = controller->currentPaneController()->wizardPaneView();
        EXPECT_EQ(view->findChild<QLabel*>("DeviceName")->text(), c.name);
        EXPECT_EQ(view->findChild<QLabel*>("DeviceType")->text(), c.type);
    }
}

TEST_F(WizardWindow, PaneWhoseFormDoesNotLoadIsLeftOut)
{
    open({fake("A"), fake("broken", false, "NoSuchPane"), fake("B")});
    ASSERT_EQ(controller->paneControllers().size(), 2u);
    EXPECT_TRUE(logRecorder::contains("A problem occured while loading the nib :/ui/lumwick/NoSuchPane.ui"));
    EXPECT_TRUE(logRecorder::contains("couldn't init paneController"));
    clickNext();
    EXPECT_EQ(currentKey(), "B");
}

TEST_F(WizardWindow, EmptyPaneListShowsAnEmptyWizardWithNextDisabled)
{
    open({});
    EXPECT_TRUE(logRecorder::contains("big trouble in little china!"));
    EXPECT_EQ(controller->currentPaneController(), nullptr);
    EXPECT_FALSE(controller->nextPaneButton()->isEnabled());
    controller->goToNextPane();
    controller->goToPreviousPane();
    EXPECT_TRUE(owner->endings.isEmpty());
}

TEST_F(WizardWindow, DirectionOtherThanOneStepIsRefused)
{
    open({fake("A"), fake("B")});
    for (int direction : {0, 2, -2}) {
        EXPECT_FALSE(controller->selectNextPaneControllerInDirection(direction));
        EXPECT_TRUE(logRecorder::contains(QStringLiteral("program bug: direction must be +/-1, it is %1").arg(direction)));
        EXPECT_EQ(currentKey(), "A");
    }
}

TEST_F(WizardWindow, KeyboardReturnGoesOnAltLeftGoesBackEscapeAsksBeforeCancelling)
{
    open(AKMainController::standardPanes());
    QDialog* window = controller->IBwindow();
    QApplication::setActiveWindow(window);   // window shortcuts need the active window
    QTest::keyClick(window, Qt::Key_Return);
    EXPECT_EQ(currentKey(), "kSummary");
    QTest::keyClick(window, Qt::Key_Left, Qt::AltModifier);
    EXPECT_EQ(currentKey(), "kIntroduction");

    bool answer = false;
    int asked = 0;
    controller->setCancelConfirmation([&] {
        ++asked;
        return answer;
    });
    QTest::keyClick(window, Qt::Key_Escape);
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(window->isVisible());
    answer = true;
    QTest::keyClick(window, Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(owner->endings.isEmpty());
}

// A host that records what panes send it; which optional calls it answers is
// chosen by the classes it derives from.
struct BareHost : QVWizardCallbacks {
    QStringList calls;
    void setDevice(std::shared_ptr<void>) override {}
    std::shared_ptr<void> device() const override { return nullptr; }
    void setDeviceExpert(std::shared_ptr<DeviceExpert>) override {}
    std::shared_ptr<DeviceExpert> deviceExpert() const override { return nullptr; }
    bool isValid(const QVariantMap&) override { return true; }
    void goToNextPane() override {}
    QImage getStatusIcon(int) override { return {}; }
};
struct SwitchHost : BareHost, QVWizardNextPaneSwitch {
    void enableChangeToNextPane(bool enable) override { calls.append(QStringLiteral("enable %1").arg(enable)); }
};
struct FullHost : SwitchHost, QVWizardNextButton, QVWizardPreviousButton {
    void setNextButtonEnabled(bool enable, const QString& title) override
    {
        calls.append(QStringLiteral("next %1 %2").arg(enable).arg(title));
    }
    void setPreviousButtonEnabled(bool enable) override { calls.append(QStringLiteral("previous %1").arg(enable)); }
};

TEST(PaneController, ButtonCallsReachOnlyAHostThatAnswersThem)
{
    QStringList journal;
    FakePane pane("A", false, &journal);

    BareHost bare;
    pane.setMainController(&bare);
    EXPECT_FALSE(pane.setNextButtonEnabled(true));
    EXPECT_FALSE(pane.setPreviousButtonEnabled(true));
    EXPECT_TRUE(bare.calls.isEmpty());

    SwitchHost switchOnly;
    pane.setMainController(&switchOnly);
    EXPECT_TRUE(pane.setNextButtonEnabled(true, "kFinish"));   // the title is dropped
    EXPECT_FALSE(pane.setPreviousButtonEnabled(false));
    EXPECT_EQ(switchOnly.calls, QStringList{"enable 1"});

    FullHost full;
    pane.setMainController(&full);
    EXPECT_TRUE(pane.setNextButtonEnabled(false));
    EXPECT_TRUE(pane.setPreviousButtonEnabled(true));
    EXPECT_EQ(full.calls, (QStringList{"next 0 kNextPane", "previous 1"}));
}

TEST(PaneController, AbstractNamesThrowAndAMissingTitleShowsTheKey)
{
    AKPaneController base;
    for (auto ask : {&AKPaneController::defaultNibName, &AKPaneController::localizationKey}) {
        try {
            (base.*ask)();
            ADD_FAILURE() << "no exception";
        } catch (const platform::Exception& e) {
            EXPECT_EQ(e.name(), "NSInternalInconsistencyException");
            EXPECT_TRUE(e.reason().startsWith("You forgot to overide the method "));
        }
    }
    QStringList journal;
    EXPECT_EQ(FakePane("kNoSuchText", false, &journal).localizedPaneName(), "kNoSuchText");
    EXPECT_EQ(AKFinalPaneController().localizedPaneName(), "Summary");
}

TEST(UIKit, RunsOneWizardAtATimeAndCustomizesItForItsOwner)
{
    QVUIKit kit;
    EXPECT_FALSE(kit.startWizardWithOwner(nullptr));
    EXPECT_EQ(kit.wizardWindow(), nullptr);

    auto owner = std::make_shared<RecordingOwner>();
    owner->title = "Set up my phone";
    owner->logo = QImage(8, 8, QImage::Format_ARGB32);
    owner->logo.fill(Qt::red);
    ASSERT_TRUE(kit.startWizardWithOwner(owner));
    QDialog* window = kit.wizardWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), "Set up my phone");
    EXPECT_EQ(window->findChild<QLabel*>("IBlogo_")->pixmap().size(), QSize(8, 8));
    EXPECT_FALSE(kit.startWizardWithOwner(std::make_shared<RecordingOwner>()));
    EXPECT_EQ(kit.wizardWindow(), window);

    kit.stop();
    EXPECT_EQ(kit.wizardWindow(), nullptr);
    auto plain = std::make_shared<RecordingOwner>();
    ASSERT_TRUE(kit.startWizardWithOwner(plain));   // null title and logo keep the form's
    EXPECT_EQ(kit.wizardWindow()->windowTitle(), "Add a phone");
}

TEST(UIKit, PaneSlotsSitBetweenStartAndFinal)
{
    QVUIKit kit;
    QStringList journal;
    kit.setPaneFactories([&] { return std::make_unique<FakePane>("selection", false, &journal); },
                         [&] { return std::make_unique<FakePane>("pairing", true, &journal); });
    ASSERT_TRUE(kit.startWizardWithOwner(std::make_shared<RecordingOwner>()));
    QStringList keys;
    for (const auto& pane : kit.mainController()->paneControllers())
        keys.append(pane->localizationKey());
    EXPECT_EQ(keys, (QStringList{"kIntroduction", "selection", "pairing", "kSummary"}));
}

TEST(UIKitTools, ClearingTheBluetoothCacheDeletesOnlyThatFile)
{
    const QString cache = QVUIKitTools::bluetoothCachePath();
    EXPECT_EQ(cache, platform::paths::configHome() + "/com.marvesto.BluetoothIDCache.sqlite");
    QVUIKitTools::clearQuorvalisBluetoothCache();   // absent: nothing happens
    const QString neighbour = platform::paths::configHome() + "/com.marvesto.other.sqlite";
    QDir().mkpath(platform::paths::configHome());
    for (const QString& path : {cache, neighbour}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    QVUIKitTools::clearQuorvalisBluetoothCache();
    EXPECT_FALSE(QFileInfo::exists(cache));
    EXPECT_TRUE(QFileInfo::exists(neighbour));
}

TEST(ListView, RowsBeforeTheCurrentAreDoneAndOnlyWholeRowsAreDrawn)
{
    AKListView list;
    for (const char* name : {"Introduction", "Phone", "Pairing", "Summary"})
        list.addPaneName(name);
    list.setCurrentPaneIndex(1);
    EXPECT_EQ(list.imageNameForRow(0), "unselected");
    EXPECT_EQ(list.imageNameForRow(1), "selected");
    EXPECT_EQ(list.imageNameForRow(3), "unprocessed");
    const struct {
        int height;
        int rows;
    } heights[] = {{18, 0}, {19, 1}, {57, 3}, {500, 4}};
    for (const auto& h : heights) {
        list.resize(120, h.height);
        EXPECT_EQ(list.visibleRowCount(), h.rows) << h.height;
    }
}

} // namespace
