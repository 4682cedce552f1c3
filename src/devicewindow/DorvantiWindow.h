#pragma once

#include "widgets/PolishedMetallWindow.h"

#include <QPointer>

class QLabel;

// The window of every phone: a polished window with a history mode (its own
// background and an identifying picture), a battery gauge drawn into the
// background, and blocking of typing and clicks while a please-wait overlay
// is up.
class DorvantiWindow : public PolishedMetallWindow {
    Q_OBJECT

public:
    // The gauge artwork "Battery": a strip of cells 22 points wide, the cell
    // row at y 27 and 14 points high, composited at (12, 10).
    static constexpr int kCellWidth = 22;
    static constexpr int kCellHeight = 14;
    static constexpr int kCellRowY = 27;
    static constexpr int kGaugeX = 12;
    static constexpr int kGaugeY = 10;
    static constexpr int kPluggedCell = 15;
    static constexpr int kLastLevelCell = 14;
    static constexpr int kPercentPerCell = 12;
    static constexpr int kTunnelOffset = 22;
    static constexpr double kTunnelOpacity = 0.31;

    explicit DorvantiWindow(QWidget* parent = nullptr);

    // The gauge cell of a percentage: -1 (none) for a negative one, 15 with
    // the plug in, else percent / 12, at most 14.
    static int batteryCell(int percent, bool plugged);

    void setHistoryMod(bool history);
    bool isHistoryMod() const { return inHistory_; }
    void setBatteryLevel(int percent, bool plugged);
    int batteryLevel() const { return batteryLevel_; }
    void setBlockEvents(bool block) { blockEvents_ = block; }
    bool blocksEvents() const { return blockEvents_; }
    // The picture shown only in history mode.
    void setHistoryIdent(QLabel* ident);
    // Background rebuilds so far (for the checks of a changed gauge).
    int rebuildCount() const { return rebuilds_; }

    std::optional<QBrush> sizedPolishedBackColor(bool flat) const override;

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void childEvent(QChildEvent* event) override;

private:
    void rebuildBackground();
    static bool isBlocked(const QEvent* event);

    QPointer<QLabel> historyIdent_;
    int batteryLevel_ = -1;
    bool inHistory_ = false;
    bool blockEvents_ = false;
    int rebuilds_ = 0;
};
