#pragma once

#include "devicewindow/queue/ActionMasterHdlr.h"
#include <QSplitter>
#include <QTableView>

#include "platform/Clock.h"
#include "widgets/BetterSplitViewDelegate.h"

#include <QPointer>
#include <QWidget>

#include <functional>

class ActionMasterHdlr;
class QSplitter;
class QTableView;

// The lower pane of a center's split view, holding the window's job queue.
// It collapses to its 19-point header or expands; leaving it stores the
// upper pane's height in the queue (negative when collapsed), so the next
// center that shows the queue opens it in the same state. Collapsed or
// expanded is an explicit flag: collapsing a collapsed pane or expanding an
// expanded one changes nothing and stores nothing.
class ActionMasterPlace : public QWidget, public BetterSplitViewDelegate {
    Q_OBJECT

public:
    static constexpr int kHeaderHeight = 19;
    static constexpr double kRelayoutDelay = 0.12;

    explicit ActionMasterPlace(QWidget* parent = nullptr);

    // The upper pane's minimum height: 1.0 without a header table; else the
    // rows' heights (from heightOfRow when given, else the table's row
    // height) plus per row the grid spacing (and 1 with heightOfRow), plus 16.
    double calcHeadeHeight() const;
    QSplitter* getSplittView() const;
    // The list in the upper pane whose full height is that pane's minimum;
    // makes this pane its split view's delegate (when a BetterSplitView).
    void setHeaderTable(QTableView* table, std::function<double(int row)> heightOfRow = {});

    ActionMasterHdlr* actionMaster() const { return actionMaster_; }
    void addActionMaster(ActionMasterHdlr* master);
    void removeActionMaster();
    // False without a queue.
    bool isCollabsed() const;
    double headerHeight() const { return kHeaderHeight; }
    // The upper pane's height, negative while collapsed.
    double topFrameHight() const;
    void collapseMaster();
    void expandMaster();
    // Lays the two panes out: a collapsed pane keeps its header height, an
    // expanded one takes every change of the split view's height.
    void adjustSubviews();
    bool isRelayoutPending() const { return relayout_.isActive(); }

    // BetterSplitViewDelegate
    std::optional<qreal> constrainMinCoordinate(BetterSplitView& split, qreal proposed, int index) override;
    std::optional<qreal> constrainMaxCoordinate(BetterSplitView& split, qreal proposed, int index) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void watchSplit();

    QPointer<ActionMasterHdlr> actionMaster_;
    QPointer<QTableView> headerTable_;
    std::function<double(int)> headerRowHeight_;
    QPointer<QSplitter> watchedSplit_;
    platform::Timer relayout_;
    bool collapsed_ = false;
};
