#pragma once

#include "devicewindow/queue/ActionBusyIndicator.h"
#include <QLabel>
#include <QProgressBar>
#include <QToolButton>

#include "jobs/QVFeedBack.h"
#include "platform/Clock.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

class ActionBusyIndicator;
class QLabel;
class QProgressBar;
class QToolButton;

// One row of the job queue: the job's text, a progress bar or a waiting mark
// and a cancel button. A job that ended in error turns the row red; its
// cancel button then only removes the row. The row observes its entry and
// acts on it only through cancelAction and postFeedBackNotify. Rows take
// focus: Delete or Space cancels (or removes a red row).
class ActionMasterView : public QWidget {
    Q_OBJECT

public:
    static constexpr double kErrorRemoveDelay = 0.12;
    static constexpr qreal kBadgeRadius = 4.0;
    static constexpr int kAttentionSize = 24;
    static constexpr int kAttentionX = 4;
    static constexpr int kRowHeight = 34;

    explicit ActionMasterView(QWidget* parent = nullptr);
    ~ActionMasterView() override;

    // The interface names a row view is made from.
    static QString nibName() { return QStringLiteral("ActionMasterView"); }
    // The row view that the named description makes, added to owner; null
    // for a name no row is made from.
    static ActionMasterView* loadNamedActionMasterView(const QString& name, QWidget* owner);
    static ActionMasterView* loadActionMasterView(QWidget* owner) { return loadNamedActionMasterView(nibName(), owner); }

    virtual void setFeedBack(const std::shared_ptr<QVFeedBack>& entry);
    std::shared_ptr<QVFeedBack> feedBack() const { return feedBack_.lock(); }
    // The text a row shows for the entry: its display string, or "Job" and
    // its description when it has none.
    static QString displayTextOf(const QVFeedBack& entry);

    // Turns the row red for a job that ended with code.
    void setInErrorMod(int code = 0);
    bool isInErrorMod() const { return isInErrorMod_; }
    // What a red row says of its job's error: the job's own text, else the
    // translation of its end code, else "Can't find explanation".
    QString errorText() const;
    void doCancel();
    virtual void setDoAnimate(bool animate);
    virtual void feedBackNotify(const platform::Notification& notification);
    // Shows the bar and stops the mark (true), or hides the bar and starts
    // the mark (false); acts only when the bar's state changes.
    void doStartProgress(bool show);
    // The height the row wants in the list.
    virtual int rowHeight() const { return kRowHeight; }

    QProgressBar* progress() const { return progress_; }
    ActionBusyIndicator* scheduledMark() const { return scheduledMark_; }
    QToolButton* cancelButton() const { return cancelButton_; }
    QLabel* displayText() const { return displayText_; }

    // The list's hover and status-line hooks (set by the table).
    std::function<void(ActionMasterView*, bool)> onHover;
    std::function<void(ActionMasterView*, bool)> onErrorFocus;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

    // Lays the text column out; subclasses add their widgets below it.
    QWidget* textColumn() const { return textColumn_; }
    // Puts a widget between the text column and the cancel button.
    void addTrailingWidget(QWidget* widget);
    virtual void refreshText();

private:
    void observe(const std::shared_ptr<QVFeedBack>& entry);
    void stopObserving();

    QPointer<ActionBusyIndicator> scheduledMark_;
    QPointer<QProgressBar> progress_;
    QPointer<QToolButton> cancelButton_;
    QPointer<QLabel> displayText_;
    QPointer<QWidget> textColumn_;
    std::weak_ptr<QVFeedBack> feedBack_;
    const QVFeedBack* observed_ = nullptr;
    platform::Timer errorRemove_;
    int endCode_ = 0;
    bool isInErrorMod_ = false;
    bool animating_ = false;
};
