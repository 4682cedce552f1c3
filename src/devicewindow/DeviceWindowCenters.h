#pragma once

#include "devicewindow/HistoryView.h"
#include "devicewindow/MobileFinderView.h"
#include "devicewindow/TimeController.h"
#include "devicewindow/ToolView.h"

#include "devicewindow/DeviceToolbar.h"

#include "platform/Clock.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>

class DeviceWindowController;
class QComboBox;
class HistoryView;
class MobileFinderView;
class TimeController;
class ToolView;

// The centers of a device window: each loaded once into the content area
// and kept, one shown at a time, switched by toolbar identifier from the
// toolbar, the menu actions (Ctrl+1 … Ctrl+4) and media drops. A switch
// during a switch is dropped, a center that refuses to deactivate stays,
// and a live phone remembers its last center.
class DeviceWindowCenters : public QObject, public DeviceToolbarDelegate {
    Q_OBJECT

public:
    static constexpr double kMenuSwitchDelay = 0.1;
    static constexpr int kHistoryOverlayPercent = 33;
    static inline const QString kLastCenterKey = QStringLiteral("Common.LastCenterNameConnect");
    static inline const QString kMediaTabKey = QStringLiteral("User.MediaCenterLastSelectedTab");
    static inline const QString kNotAvailableYet = QStringLiteral("NotAvailableYet");

    DeviceWindowCenters(DeviceWindowController& controller, QWidget* contentArea);
    ~DeviceWindowCenters() override;

    // DeviceToolbarDelegate
    void switchToCenter(const QString& identifier) override;
    void connectionCenter() override;
    void timeTunnel() override;
    bool validateToolbarItem(const QString& identifier) override;

    void switchToCenterRequireDevice(const QString& identifier) { switchToCenter(identifier); }
    void switchToNamedCenter(const QString& identifier);
    void doSwitchToNamedCenter(const QString& identifier);
    void activateToolView();
    void setToolViewName(const QString& name) { curToolViewName_ = name; }
    QString curToolViewName() const { return curToolViewName_; }
    ToolView* currentToolView() const { return curToolView_; }
    bool canDeactivate() const;
    bool loadOrganizer();
    bool loadMediaCenter();
    ToolView* mediaCenterMain() const { return mediaCenterMain_; }
    ToolView* organizerView() const { return organizerView_; }
    HistoryView* historyView() const { return historyView_; }
    // The file browser: loaded and made current without activation (the
    // window's load), then the queued switch to the connection center.
    MobileFinderView* mobileFinderView();
    void showFileBrowserThenConnectionCenter();
    // The window's phone changed: the file browser and the connection center
    // take it, and the toolbar for its kind (phone or history) is made.
    void deviceChanged(MFDevice* device);
    void setCurrentWithoutActivation(ToolView* center) { curToolView_ = center; }

    // Menu actions, after kMenuSwitchDelay.
    void switchTo_ConnectionCenter();
    void switchTo_MobileFinder();
    void switchTo_Organizer();
    void switchTo_MediaCenter();
    void switchTo_TimeTunnel();
    void toggleTimeTunnel() { }

    // Media drops: the media center's tab, then the media center.
    void transferMusicFiles(const QStringList& files);
    void transferPhotoFiles(const QStringList& files);
    void transferVideoFiles(const QStringList& files);
    void transferRingtoneFiles(const QStringList& files);

    // History windows.
    void setTimeController(TimeController* controller) { timeController_ = controller; }
    TimeController* timeController() const { return timeController_; }
    // Another window became key: a history window releases its center;
    // itself: reconnects its center to the time tunnel.
    void keyWindowChanged(QWidget* keyWindow);
    // Whether the phone has a backup history (the time tunnel's question).
    void setHistoryCheck(std::function<bool()> check) { hasHistory_ = std::move(check); }

    // The restore pop-up of a history window: one item per listed phone,
    // enabled when this archive can be restored to it.
    QComboBox* restorePopUp() const { return restorePopUp_; }
    void updateRestorePopUp();
    void mobileDeviceConnectionChanged() { updateRestorePopUp(); }
    // Connects list entry tag + 1; answers the state string that the phone's
    // window replays ("Backup …\tRestore\tserial"), empty on failure.
    QString doRestoreAction(int tag);
    void syncBothTimeControllers();

    DeviceToolbar* toolbar() const { return toolbar_; }
    void setupToolbar();
    // Whether a queued main-thread call of this window runs now.
    bool isMainThreadCallRunning() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ToolView* placeCenter(ToolView* center);
    ToolView* makePlaceholder(const QString& name);
    void storeMediaTab(const QString& tab);
    void menuSwitch(const QString& identifier);
    void revalidateToolbar();
    // Hands another window a state string to replay, on the main-thread queue.
    void queueStateInfo(DeviceWindowController* window, const QString& state);

    DeviceWindowController& controller_;
    QPointer<QWidget> contentArea_;
    QPointer<HistoryView> historyView_;
    QPointer<MobileFinderView> mfView_;
    QPointer<ToolView> organizerView_;
    QPointer<ToolView> mediaCenterMain_;
    QPointer<ToolView> curToolView_;
    QPointer<DeviceToolbar> toolbar_;
    QComboBox* restorePopUp_ = nullptr;   // owned by the toolbar
    QPointer<TimeController> timeController_;
    std::function<bool()> hasHistory_;
    platform::Timer menuTimer_;
    QString pendingMenuSwitch_;
    QString curToolViewName_;
    bool inCenterSwitch_ = false;
};
