#include "DeviceWindowTestSupport.h"

#include "devicewindow/DeviceToolbar.h"

#include "platform/gui/TestArtifacts.h"

#include <QAction>
#include <QComboBox>
#include <gtest/gtest.h>

namespace {

using devicewindow_tests::makeDevice;

class ToolbarRecorder : public DeviceToolbarDelegate {
public:
    void switchToCenter(const QString& identifier) override { calls << identifier; }
    void connectionCenter() override { calls << QStringLiteral("connectionCenter"); }
    void timeTunnel() override { calls << QStringLiteral("timeTunnel"); }
    bool validateToolbarItem(const QString& identifier) override { return identifier != DeviceToolbar::kOrganizer; }
    void printDocument() override { calls << QStringLiteral("print"); }
    QStringList calls;
};

TEST(DeviceToolbar, PhoneAndHistoryToolbarsKeepTheirDefaultOrder)
{
    ToolbarRecorder recorder;
    DeviceToolbar phone(false, &recorder);
    DeviceToolbar history(true, &recorder);
    EXPECT_EQ(phone.objectName(), QStringLiteral("Device_Dorvanti ToolbarIdentifier Vers.6"));
    EXPECT_EQ(history.objectName(), QStringLiteral("History_Dorvanti ToolbarIdentifier Vers.5"));
    EXPECT_EQ(phone.itemIdentifiers(), DeviceToolbar::defaultItemIdentifiers(false));
    EXPECT_EQ(history.itemIdentifiers(), DeviceToolbar::defaultItemIdentifiers(true));
    EXPECT_EQ(phone.itemIdentifiers().size(), 18);
    EXPECT_EQ(history.itemIdentifiers().last(), DeviceToolbar::kRestoreDevice);
    EXPECT_NE(phone.item(DeviceToolbar::kTimeTunnel), nullptr);
    EXPECT_EQ(history.item(DeviceToolbar::kTimeTunnel), nullptr);
    EXPECT_FALSE(DeviceToolbar::allowedItemIdentifiers(false).contains(DeviceToolbar::kMusic));
    EXPECT_TRUE(DeviceToolbar::allowedItemIdentifiers(true).contains(DeviceToolbar::kRestoreDevice));
}

TEST(DeviceToolbar, ItemsCarryLabelsTipsAndActions)
{
    ToolbarRecorder recorder;
    DeviceToolbar toolbar(false, &recorder);
    QAction* files = toolbar.item(DeviceToolbar::kMobileFinder);
    ASSERT_NE(files, nullptr);
    EXPECT_EQ(files->text(), QStringLiteral("Files"));
    EXPECT_EQ(files->toolTip(), QStringLiteral("Browse the files on the phone"));
    EXPECT_EQ(toolbar.item(DeviceToolbar::kHome)->text(), QStringLiteral("Home"));
    files->trigger();
    toolbar.item(DeviceToolbar::kBackup)->trigger();
    toolbar.item(DeviceToolbar::kTimeTunnel)->trigger();
    EXPECT_EQ(recorder.calls, (QStringList{DeviceToolbar::kMobileFinder, QStringLiteral("connectionCenter"),
                                           QStringLiteral("timeTunnel")}));
    EXPECT_EQ(toolbar.itemForItemIdentifier(QStringLiteral("Nothing ToolbarIdentifier")), nullptr);
    EXPECT_EQ(toolbar.itemForItemIdentifier(DeviceToolbar::kMusic), nullptr);
    toolbar.validateItems();
    EXPECT_FALSE(toolbar.item(DeviceToolbar::kOrganizer)->isEnabled());
    EXPECT_TRUE(toolbar.item(DeviceToolbar::kMediaCenter)->isEnabled());
    toolbar.resize(760, 64);
    EXPECT_FALSE(platform::gui::saveGrab(&toolbar, QStringLiteral("devicewindow-toolbar")).isEmpty());

    DeviceToolbar history(true, &recorder);
    auto* popUp = new QComboBox;
    popUp->resize(140, 24);
    history.setRestoreView(popUp);
    EXPECT_EQ(history.restoreView(), popUp);
    EXPECT_EQ(popUp->maximumSize(), QSize(140, 24));
}

TEST(DeviceToolbar, AddedItemsGetTheirTargets)
{
    ToolbarRecorder recorder;
    DeviceToolbar toolbar(true, &recorder);
    QAction print(QStringLiteral("Print"));
    print.setObjectName(DeviceToolbar::kPrint);
    toolbar.toolbarWillAddItem(&print);
    EXPECT_EQ(print.toolTip(), QStringLiteral("Print Your Document"));
    print.trigger();
    EXPECT_EQ(recorder.calls, QStringList{QStringLiteral("print")});

    QAction* restore = toolbar.item(DeviceToolbar::kRestoreDevice);
    ASSERT_NE(restore, nullptr);
    EXPECT_EQ(toolbar.restoreToolbarViewItem(), restore);
    restore->trigger();
    EXPECT_EQ(recorder.calls.size(), 1) << "the restore item has no action of its own";
    toolbar.toolbarWillAddItem(nullptr);
}

TEST(DeviceToolbar, ValidationFollowsThePhone)
{
    const auto history = makeDevice("History");
    const auto live = makeDevice("USB");
    struct Case {
        QString identifier;
        const MFDevice* device;
        bool busy;
        bool enabled;
    };
    const Case cases[] = {
        {DeviceToolbar::kHome, nullptr, false, true},
        {DeviceToolbar::kBackup, nullptr, false, true},
        {DeviceToolbar::kBackup, live.get(), true, false},
        {DeviceToolbar::kMediaCenter, nullptr, false, false},
        {DeviceToolbar::kMediaCenter, live.get(), false, true},
        {DeviceToolbar::kTimeTunnel, live.get(), false, true},
        {DeviceToolbar::kTimeTunnel, history.get(), false, false},
        {DeviceToolbar::kRestoreDevice, history.get(), false, true},
        {DeviceToolbar::kRestoreDevice, live.get(), false, false},
        {DeviceToolbar::kMobileFinder, live.get(), false, live->canDoFileSystemServices()},
        {DeviceToolbar::kOrganizer, live.get(), false, live->canDoAnyOrganizerServices()},
        {DeviceToolbar::kMusic, live.get(), false, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DeviceToolbar::validateItemFor(c.identifier, c.device, c.busy), c.enabled)
            << c.identifier.toStdString() << " busy " << c.busy;
}

} // namespace
