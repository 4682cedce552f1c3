#pragma once

#include "devicewindow/queue/ActionMasterView.h"
#include "devicewindow/queue/BlackErrorWindow.h"

#include "jobs/QVFeedBack.h"
#include "platform/Clock.h"
#include "platform/gui/Animation.h"

#include <QHash>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <vector>

class ActionMasterView;
class BlackErrorWindow;

// The list of the job queue: one row view per entry, in order of addition,
// laid out top to bottom. Rows arrive growing from height 0 and leave
// shrinking to 1/23 of their height while the rows below move up; both run
// on the platform's animation ticks on the GUI thread. A removal is keyed by
// its entry, so an entry that ends twice, or ends while it is still growing
// in, leaves exactly one removal and no orphan row.
class ActionMasterTable : public QWidget {
    Q_OBJECT

public:
    static constexpr double kRemoveDelay = 0.12;
    static constexpr double kAnimationDuration = 0.25;
    static constexpr int kShrinkDivisor = 23;

    explicit ActionMasterTable(QWidget* parent = nullptr);
    ~ActionMasterTable() override;

    const std::vector<std::shared_ptr<QVFeedBack>>& feedBackList() const { return feedBackList_; }
    // "description - hash" of the entry.
    static QString entryKey(const QVFeedBack& entry);
    // False when the entry is listed already, else appends it.
    bool addActionToMasterTable(const std::shared_ptr<QVFeedBack>& entry);
    void removeActionFromMasterTable(const std::shared_ptr<QVFeedBack>& entry);
    // The row view of the entry: the one shown, the buffered one, or a new
    // one from the entry's statusNibIdent (else "ActionMasterSubText" for an
    // entry with a second line, else "ActionMasterView"; a name that makes
    // no row falls back to "ActionMasterView").
    ActionMasterView* actionStatusForFeedBack(const std::shared_ptr<QVFeedBack>& entry);
    ActionMasterView* rowViewOf(const QVFeedBack* entry) const;

    void startAddAnimation(const std::shared_ptr<QVFeedBack>& entry);
    // Starts the entry's removal kRemoveDelay from now, once.
    void scheduleRemove(const std::shared_ptr<QVFeedBack>& entry);
    bool isAnimating(const QVFeedBack* entry) const { return motions_.count(entry) > 0; }
    bool isRemoving(const QVFeedBack* entry) const;

    BlackErrorWindow* errorWindow();
    // Where a focused red row puts its error text (the window's status line).
    void setStatusLine(std::function<void(const QString&)> statusLine) { statusLine_ = std::move(statusLine); }

    // Places every row; the controller's reload.
    void reloadTable();
    int contentHeight() const { return contentHeight_; }
    QSize sizeHint() const override { return {300, contentHeight_}; }

private:
    struct Motion {
        bool removing = false;
        double progress = 0;
        platform::Timer delay;
        platform::gui::Animation animation;
    };
    void runMotion(const QVFeedBack* entry);
    void finishMotion(const QVFeedBack* entry);
    void hookRow(ActionMasterView* row);

    std::vector<std::shared_ptr<QVFeedBack>> feedBackList_;
    QHash<QString, QPointer<ActionMasterView>> feedBackViewBuffer_;
    std::map<const QVFeedBack*, std::unique_ptr<Motion>> motions_;
    QPointer<BlackErrorWindow> blackErrorWindow_;
    std::function<void(const QString&)> statusLine_;
    int contentHeight_ = 0;
};
