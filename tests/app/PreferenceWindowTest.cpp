#include "AppTestSupport.h"

#include "app/AppKeys.h"
#include "app/PreferenceHandler.h"
#include "app/PreferenceWindow.h"

#include "platform/UserDefaults.h"
#include "platform/gui/TestArtifacts.h"

#include "VirtualTime.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

using testing_support::runFor;

class PreferenceWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        app_tests::clearShellDefaults();
        platform::UserDefaults::standard().remove(QLatin1String(appkeys::kPrefShowDeleteMsgWarn));
    }
    void TearDown() override
    {
        PreferenceHandler::setImageLookup({});
        PreferenceHandler::setLiveEnvironmentLookup({});
        handler.releaseWindow();
    }
    PreferenceWindow* open()
    {
        handler.openPreferenceWindow();
        QApplication::processEvents();
        return handler.window();
    }
    PreferenceHandler& handler = PreferenceHandler::sharedPreferenceHandler();
};

TEST_F(PreferenceWindowTest, FirstStartWritesBothAsYesAndAStoredNoStays)
{
    platform::UserDefaults& defaults = platform::UserDefaults::standard();
    handler.awakeFromNib();
    EXPECT_EQ(defaults.object(QLatin1String(appkeys::kPrefDoWarnOnQuit)), QVariant(true));
    EXPECT_EQ(defaults.object(QLatin1String(appkeys::kPrefSyncImmediately)), QVariant(true));

    handler.setWarnOnQuit(false);
    handler.setSyncImmediately(false);
    handler.awakeFromNib();
    EXPECT_FALSE(handler.doWarnOnQuit());
    EXPECT_FALSE(handler.doSyncImmediately());
    PreferenceWindow* window = open();
    EXPECT_FALSE(window->warnOnQuit()->isChecked());
    EXPECT_FALSE(window->syncImmediately()->isChecked());
}

TEST_F(PreferenceWindowTest, OpeningTwiceRunsOneIdleTimerThatStopsAfterTheWindowCloses)
{
    PreferenceWindow* window = open();
    const platform::Timer* first = handler.idleTimer();
    ASSERT_NE(first, nullptr);
    EXPECT_DOUBLE_EQ(first->interval(), PreferenceHandler::kIdleInterval);
    EXPECT_EQ(open(), window) << "one window";
    EXPECT_EQ(handler.idleTimer(), first) << "one timer";

    runFor(5.0);
    EXPECT_TRUE(handler.idleTimerRunning()) << "a visible window keeps it";
    window->close();
    runFor(PreferenceHandler::kIdleInterval);
    EXPECT_FALSE(handler.idleTimerRunning());
    EXPECT_EQ(handler.idleTimer(), nullptr);

    open();
    EXPECT_TRUE(handler.idleTimerRunning()) << "opened again: a new timer";
}

TEST_F(PreferenceWindowTest, ToolbarItemsCarryLabelsTipsAndImagesOnlyWhenTheImageHasPixels)
{
    PreferenceWindow* window = open();
    EXPECT_EQ(window->toolbar()->objectName(), QStringLiteral("PreferenceWindow_1"));
    EXPECT_EQ(PreferenceHandler::toolbarDefaultItemIdentifiers(),
              (QStringList{QStringLiteral("Generel"), QStringLiteral("NSToolbarSpaceItem"), QStringLiteral("Update")}));
    QAction* general = window->toolbarItem(QStringLiteral("Generel"));
    ASSERT_NE(general, nullptr);
    EXPECT_EQ(general->text(), QStringLiteral("General"));
    EXPECT_FALSE(general->toolTip().isEmpty());
    EXPECT_NE(general->toolTip(), QStringLiteral("Pref_Generel_Tip"));
    EXPECT_FALSE(general->icon().isNull());
    handler.releaseWindow();

    // One image missing, one empty: both items keep their label alone.
    PreferenceHandler::setImageLookup([](const QString& name) {
        return name == QLatin1String("Pref_Update") ? QImage(QSize(0, 32), QImage::Format_ARGB32) : QImage();
    });
    window = open();
    for (const char* id : {"Generel", "Update"}) {
        QAction* item = window->toolbarItem(QLatin1String(id));
        EXPECT_TRUE(item->icon().isNull()) << id;
        EXPECT_FALSE(item->text().isEmpty()) << id;
        EXPECT_NE(item->text(), QStringLiteral("Pref_%1_Lbl").arg(QLatin1String(id)));
    }
}

TEST_F(PreferenceWindowTest, PagesSwitchByToolbarAndCtrlTabAndEscapeCloses)
{
    PreferenceWindow* window = open();
    QApplication::setActiveWindow(window);
    EXPECT_EQ(window->selectedIdentifier(), QStringLiteral("Generel"));
    window->toolbarItem(QStringLiteral("Update"))->trigger();
    EXPECT_EQ(window->selectedIdentifier(), QStringLiteral("Update"));
    EXPECT_TRUE(window->versionLabel()->isVisible());

    QTest::keyClick(window, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(window->selectedIdentifier(), QStringLiteral("Generel"));
    EXPECT_TRUE(window->toolbarItem(QStringLiteral("Generel"))->isChecked());
    QTest::keyClick(window, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(window->selectedIdentifier(), QStringLiteral("Update"));

    platform::gui::saveGrab(window, QStringLiteral("preferences-update"));
    handler.switchToPrefPanel(QStringLiteral("Generel"));
    platform::gui::saveGrab(window, QStringLiteral("preferences-general"));
    QTest::keyClick(window, Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(PreferenceWindowTest, GeneralSettingsAreStoredAndTheTrashFieldRefusesOutOfRangeDays)
{
    PreferenceWindow* window = open();
    window->warnOnQuit()->click();
    EXPECT_FALSE(handler.doWarnOnQuit());
    window->syncImmediately()->click();
    EXPECT_FALSE(handler.doSyncImmediately());
    EXPECT_TRUE(window->showDeleteMsgWarn()->isChecked()) << "absent reads as YES";
    window->showDeleteMsgWarn()->click();
    EXPECT_EQ(platform::UserDefaults::standard().object(QStringLiteral("PrefShowDeleteMsgWarn")), QVariant(false));

    QSpinBox* days = window->emptyTrashAfter();
    EXPECT_EQ(days->value(), 61) << "absent reads as 61";
    EXPECT_EQ(days->minimum(), 1);
    EXPECT_EQ(days->maximum(), 3650);
    // Typed days: accepted within 1 to 3650; anything else never reaches the
    // field's value nor the defaults.
    for (const char* typed : {"30", "99999", "0", "-5"}) {
        days->setValue(45);
        QLineEdit* field = days->findChild<QLineEdit*>();
        ASSERT_NE(field, nullptr);
        field->selectAll();
        QTest::keyClicks(days, QLatin1String(typed));
        QTest::keyClick(days, Qt::Key_Return);
        const int stored = platform::UserDefaults::standard().object(QStringLiteral("Empty trash after")).toInt();
        EXPECT_GE(stored, 1) << typed;
        EXPECT_LE(stored, 3650) << typed;
        EXPECT_EQ(stored, days->value()) << typed;
        if (QByteArray(typed) == "30")
            EXPECT_EQ(stored, 30);
    }
    handler.setEmptyTrashPeriod(100000);
    EXPECT_EQ(handler.emptyTrashPeriod(), 3650);

    // Every setting is in the Tab chain of the page.
    QList<QWidget*> chain;
    QWidget* at = window->warnOnQuit();
    for (int step = 0; step < 8; ++step, at = at->nextInFocusChain())
        chain << at;
    for (QWidget* setting : {static_cast<QWidget*>(window->warnOnQuit()), static_cast<QWidget*>(window->syncImmediately()),
                             static_cast<QWidget*>(window->showDeleteMsgWarn()), static_cast<QWidget*>(days)}) {
        EXPECT_TRUE(chain.contains(setting) || chain.contains(setting->focusProxy())) << setting->objectName().toStdString();
        EXPECT_NE(setting->focusPolicy() & Qt::TabFocus, 0) << setting->objectName().toStdString();
    }
}

TEST_F(PreferenceWindowTest, SyncEngineStateComesFromTheLivePhoneElseTheStoredEnvironment)
{
    const QString serial = QStringLiteral("35-000001");
    QVariantMap entry{{QStringLiteral("Common.SerialNo"), serial},
                      {QStringLiteral("Common.SyncWorkEnvironment"),
                       QVariantMap{{QStringLiteral("SyncEngineEnabled"), true}}}};
    EXPECT_TRUE(handler.isSyncEngineSwitchedOn(entry)) << "a phone that is not open: its stored environment";

    PreferenceHandler::setLiveEnvironmentLookup([serial](const QString& asked) -> std::optional<QVariantMap> {
        if (asked != serial)
            return std::nullopt;
        return QVariantMap{{QStringLiteral("SyncEngineEnabled"), false}};
    });
    EXPECT_FALSE(handler.isSyncEngineSwitchedOn(entry)) << "the live phone's main environment wins";
    entry.insert(QStringLiteral("Common.SerialNo"), QStringLiteral("other"));
    EXPECT_TRUE(handler.isSyncEngineSwitchedOn(entry));

    entry.insert(QStringLiteral("Common.SyncWorkEnvironment"), QStringLiteral("not a dictionary"));
    EXPECT_FALSE(handler.isSyncEngineSwitchedOn(entry));
    EXPECT_FALSE(handler.isSyncEngineSwitchedOn({}));
}

TEST_F(PreferenceWindowTest, ThePhoneIconIsSixteenBySixteenWithOrWithoutAPicture)
{
    for (const QVariantMap& entry :
         {QVariantMap{}, QVariantMap{{QStringLiteral("Common.Identifier"), QStringLiteral("LG Electronics+KE850")}},
          QVariantMap{{QStringLiteral("Common.Identifier"), 42}}}) {
        const QImage icon = handler.getThePhoneIcon(entry);
        EXPECT_EQ(icon.size(), QSize(16, 16));
        EXPECT_FALSE(icon.isNull());
    }
}

} // namespace
