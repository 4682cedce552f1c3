#pragma once

#include "devicewindow/queue/ActionMasterTable.h"
#include "jobs/QVFeedBack.h"

#include <QPointer>
#include <QScrollArea>
#include <QToolButton>
#include <QWidget>

#include <memory>

class MFDevice;
class QSplitter;

// The job queue view of a device window: a 19-point header with its
// collapse control over the list of the device's jobs. It only observes:
// each entry's end decides whether its row leaves or stays as a red row.
class ActionMasterHdlr : public QWidget {
    Q_OBJECT

public:
    static constexpr int kHeaderHeight = 19;
    static constexpr int kNothingToDo = 0xAC002;
    static constexpr int kSuspended = 0xAC003;
    static constexpr int kCancelled = 0xAC004;
    static constexpr int kKeepErrorRow = 2;

    explicit ActionMasterHdlr(QWidget* parent = nullptr);
    ~ActionMasterHdlr() override;

    // Made for host, placed outside the visible area until a pane takes it.
    static ActionMasterHdlr* loadActionMasterHdlr(QWidget* host, MFDevice* device);

    ActionMasterTable* table() const { return actionMasterTable_; }
    int numberOfRows() const;

    void clearMaster();
    void cancelMaster();
    // Whether a job shown is still running (red rows do not count).
    bool actionJobsScheduled() const;
    std::shared_ptr<QVFeedBack> equalFeedBackInMaster(const std::shared_ptr<QVFeedBack>& entry) const;
    // Lists and observes the entry once; false when it is listed already.
    bool addActionToMaster(const std::shared_ptr<QVFeedBack>& entry);
    void feedBackNotify(const platform::Notification& notification);
    static bool isActionError(int code);
    // Asks the enclosing pane to collapse or expand, on a later pass.
    void toggleMaster();
    QSplitter* getSplittView() const;

    void setLastWinPos(double position) { lastWinPos_ = position; }
    double lastWinPos() const { return lastWinPos_; }
    void setActionDevice(MFDevice* device) { actionDevice_ = device; }
    MFDevice* getActionDevice() const { return actionDevice_; }
    QToolButton* toggleButton() const { return toggleButton_; }

private:
    QPointer<ActionMasterTable> actionMasterTable_;
    QPointer<QScrollArea> scroll_;
    QPointer<QToolButton> toggleButton_;
    MFDevice* actionDevice_ = nullptr;
    double lastWinPos_ = 0;
};
