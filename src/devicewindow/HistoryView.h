#pragma once

#include "widgets/BetterSplitView.h"

#include <QLabel>
#include <QPushButton>

#include "devicewindow/AnimatedHistoryContainer.h"
#include "devicewindow/TimeController.h"
#include "devicewindow/ToolView.h"

#include <QPointer>

class QLabel;
class QPushButton;

class AnimatedHistoryContainer;
class TimeController;

// The connection center: the phone's picture, name, model, connection type,
// battery and last backup, and a "Back Up Now" button (wired by the phone
// menu); beside them the strip of the archive's snapshot dates; below them,
// in the lower pane of a split view, the window's job queue. In a history
// window the center is titled "Archive of ..." with the chosen date, and
// choosing another date shows the archive as it was then in the file browser
// and the organizer.
class HistoryView : public ToolView {
    Q_OBJECT

public:
    static constexpr int kSummaryHeight = 300;
    static constexpr int kQueueHeight = 140;

    explicit HistoryView(QWidget* parent = nullptr);

    void setup(DeviceWindowController* controller, MFDevice* device) override;
    void setMFDevice(MFDevice* device) override;
    // Whether connecting may start now.
    bool checkRunningEnviroment() const { return true; }
    void setConnect(bool connect) { connect_ = connect; }
    bool isConnect() const { return connect_; }
    // Hands the cancel of an adding to the device list.
    void cancelDeviceAdding();
    void switchToControlerCenter(const QString& center);
    QString controlerCenter() const { return controlerCenter_; }
    // The phone's own name, else maker and model.
    static QString shownName(const MFDevice& device);
    // Refreshes the picture, name, connection and battery.
    void showDevice();

    // State strings: the chosen snapshot's index; "Wizard" opens the
    // teach-in.
    void processStateInfo(const QString& rest) override;
    QString stateInfo() const override;
    // Fills the strip from the archive (the time controller's snapshots).
    void reloadHistory();
    // A date chosen (strip or state string): both time controllers follow.
    void chooseDate(int index);
    TimeController* timeController() const { return timeController_; }
    AnimatedHistoryContainer* historyStrip() const { return strip_; }
    QLabel* modelLabel() const { return model_; }
    QLabel* lastBackupLabel() const { return lastBackup_; }
    QLabel* titleLabel() const { return title_; }

    QLabel* nameLabel() const { return name_; }
    QLabel* connectionLabel() const { return connection_; }
    QLabel* batteryLabel() const { return battery_; }
    QPushButton* backUpNowButton() const { return backUpNow_; }
    BetterSplitView* splitView() const { return split_; }

private:
    QPointer<QLabel> picture_;
    QPointer<QLabel> name_;
    QPointer<QLabel> connection_;
    QPointer<QLabel> battery_;
    QPointer<QLabel> model_;
    QPointer<QLabel> lastBackup_;
    QPointer<QLabel> title_;
    QPointer<AnimatedHistoryContainer> strip_;
    QPointer<TimeController> timeController_;
    QPointer<QPushButton> backUpNow_;
    QPointer<BetterSplitView> split_;
    QString controlerCenter_;
    bool connect_ = false;
};
