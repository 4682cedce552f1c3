#pragma once

#include "widgets/BetterSplitView.h"

#include <QLabel>
#include <QPushButton>

#include "devicewindow/ToolView.h"

#include <QPointer>

class QLabel;
class QPushButton;

// The connection center: the phone's picture, name, connection type and
// battery, and a "Back Up Now" button (wired by the sheets); below them, in
// the lower pane of a split view, the window's job queue.
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
    void switchToControlerCenter(const QString& center) { controlerCenter_ = center; }
    void processStateInfo(const QString& rest) override;
    QString controlerCenter() const { return controlerCenter_; }
    // The phone's own name, else maker and model.
    static QString shownName(const MFDevice& device);
    // Refreshes the picture, name, connection and battery.
    void showDevice();

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
    QPointer<QPushButton> backUpNow_;
    QPointer<BetterSplitView> split_;
    QString controlerCenter_;
    bool connect_ = false;
};
