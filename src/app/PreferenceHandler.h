#pragma once

#include "app/PreferenceWindow.h"

#include <QImage>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>

namespace platform {
class Timer;
}

// The application-wide preferences the phone documents read when a window
// closes or the program quits, and the preferences window that shows them:
// a toolbar ("Generel", "Update") choosing one page each.
class PreferenceHandler {
public:
    static constexpr const char* kToolbarIdentifier = "PreferenceWindow_1";
    static constexpr const char* kGeneralItem = "Generel";
    static constexpr const char* kUpdateItem = "Update";
    static constexpr const char* kSpaceItem = "NSToolbarSpaceItem";
    static constexpr const char* kLabelKey = "Pref_%1_Lbl";
    static constexpr const char* kToolTipKey = "Pref_%1_Tip";
    static constexpr const char* kImageName = "Pref_%1";
    static constexpr double kIdleInterval = 2.34;
    static constexpr int kMinTrashDays = 1;
    static constexpr int kMaxTrashDays = 3650;
    static constexpr QSize kPhoneIconSize{16, 16};

    static PreferenceHandler& sharedPreferenceHandler();
    ~PreferenceHandler();

    // Start step: writes YES to each preference that has no value yet.
    void awakeFromNib();

    // Whether a phone window with a running backup waits for it instead of
    // closing. A value that is not a flag reads as the default, YES.
    bool doWarnOnQuit() const;
    bool doSyncImmediately() const;
    void setWarnOnQuit(bool warn);
    void setSyncImmediately(bool sync);
    // The check box's value: non-zero is YES.
    void changeWarnOnQuit(int value);
    void changeUpdateDuration();
    // Days the organizer trash keeps its items (absent or 0: 61); setting
    // clamps to 1..3650.
    int emptyTrashPeriod() const;
    void setEmptyTrashPeriod(int days);
    bool showDeleteMessageWarning() const;
    void setShowDeleteMessageWarning(bool warn);

    // The window, made on first use, brought to the front; starts the idle
    // timer unless it runs.
    void openPreferenceWindow();
    PreferenceWindow* window() const { return window_; }
    // While the window is visible nothing; once it is not, the timer stops.
    void dateTimerIdle();
    bool idleTimerRunning() const;
    const platform::Timer* idleTimer() const { return dateTimer_.get(); }

    // Toolbar.
    static QStringList toolbarDefaultItemIdentifiers();
    static QStringList toolbarAllowedItemIdentifiers() { return toolbarDefaultItemIdentifiers(); }
    static QStringList toolbarSelectableItemIdentifiers();
    bool validateToolbarItem(const QString&) const { return true; }
    // The item's image by its name, or a null image when the image is
    // missing or empty (the item then shows its label alone).
    static QImage toolbarItemImage(const QString& identifier);
    // Where the images come from (tests replace it); answers null for none.
    using ImageLookup = std::function<QImage(const QString& name)>;
    static void setImageLookup(ImageLookup lookup);
    void switchToPrefPanel(const QString& identifier);

    // Notifications nothing acts on.
    void applicationDidFinishLaunchingNotification() {}
    void notificationSyncEngineSwitchedOnOff() {}
    void updaterWillRestartNotification() {}

    // Whether the phone's sync engine is on: the live phone's main sync
    // environment when one is open, else the entry's stored
    // "Common.SyncWorkEnvironment".
    bool isSyncEngineSwitchedOn(const QVariantMap& entry) const;
    // The environment of the open phone with that serial number; nothing
    // when none is open (the application controller sets it).
    using LiveEnvironmentLookup = std::function<std::optional<QVariantMap>(const QString& serial)>;
    static void setLiveEnvironmentLookup(LiveEnvironmentLookup lookup);
    // The phone's picture fitted to 16 x 16, "DefaultHandyLogo" without one.
    QImage getThePhoneIcon(const QVariantMap& entry) const;

    // Drops the window and its timer (tests, program end).
    void releaseWindow();

private:
    PreferenceHandler() = default;
    QPointer<PreferenceWindow> window_;
    std::unique_ptr<platform::Timer> dateTimer_;
};
