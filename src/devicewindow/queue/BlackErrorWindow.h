#pragma once

#include "jobs/QVFeedBack.h"
#include "widgets/BlackToolWindow.h"

#include <QPointer>

class ActionMasterView;
class QLabel;

// The dark hover window of a red queue row: the job's text, its second line
// and its error text, placed at the row's right edge. It never takes focus.
class BlackErrorWindow : public BlackToolWindow {
    Q_OBJECT

public:
    static constexpr int kBelowRowTop = 10;

    explicit BlackErrorWindow(QWidget* parent = nullptr);

    std::shared_ptr<QVFeedBack> currentFeedBack() const;
    ActionMasterView* currentMasterView() const { return currentMasterView_; }
    void doHide();
    void displayError(ActionMasterView* row);

    QLabel* displayText() const { return displayText_; }
    QLabel* displaySubText() const { return displaySubText_; }
    QLabel* displayErrText() const { return displayErrText_; }

private:
    QPointer<QLabel> displayText_;
    QPointer<QLabel> displaySubText_;
    QPointer<QLabel> displayErrText_;
    QPointer<ActionMasterView> currentMasterView_;
};
