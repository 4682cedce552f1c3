#include "devicewindow/queue/ActionMasterTable.h"

#include "devicewindow/queue/ActionMasterSubText.h"
#include "devicewindow/queue/ActionMasterView.h"
#include "devicewindow/queue/BlackErrorWindow.h"

#include <QLayout>

#include <algorithm>

ActionMasterTable::ActionMasterTable(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("actionMasterTable"));
    setAccessibleName(tr("Jobs"));
}

ActionMasterTable::~ActionMasterTable()
{
    motions_.clear();
    delete blackErrorWindow_;
}

QString ActionMasterTable::entryKey(const QVFeedBack& entry)
{
    return QStringLiteral("%1 - %2").arg(entry.description()).arg(quintptr(&entry), 0, 16);
}

bool ActionMasterTable::addActionToMasterTable(const std::shared_ptr<QVFeedBack>& entry)
{
    if (!entry || std::find(feedBackList_.begin(), feedBackList_.end(), entry) != feedBackList_.end())
        return false;
    feedBackList_.push_back(entry);
    return true;
}

void ActionMasterTable::removeActionFromMasterTable(const std::shared_ptr<QVFeedBack>& entry)
{
    if (!entry)
        return;
    if (blackErrorWindow_ && blackErrorWindow_->currentFeedBack() == entry)
        blackErrorWindow_->doHide();
    motions_.erase(entry.get());
    if (const auto view = feedBackViewBuffer_.take(entryKey(*entry))) {
        if (view->hasFocus() && statusLine_)
            statusLine_(QString());
        view->hide();
        view->deleteLater();
    }
    feedBackList_.erase(std::remove(feedBackList_.begin(), feedBackList_.end(), entry), feedBackList_.end());
    reloadTable();
}

ActionMasterView* ActionMasterTable::rowViewOf(const QVFeedBack* entry) const
{
    if (!entry)
        return nullptr;
    return feedBackViewBuffer_.value(entryKey(*entry));
}

ActionMasterView* ActionMasterTable::actionStatusForFeedBack(const std::shared_ptr<QVFeedBack>& entry)
{
    if (!entry)
        return nullptr;
    const QString key = entryKey(*entry);
    ActionMasterView* view = feedBackViewBuffer_.value(key);
    if (view) {
        if (view->parentWidget() != this)
            view->setParent(this);
    } else {
        const QString nib = entry->statusNibIdent();
        if (!nib.isEmpty())
            view = ActionMasterView::loadNamedActionMasterView(nib, this);
        else if (!entry->displaySubString().isEmpty())
            view = ActionMasterView::loadNamedActionMasterView(ActionMasterSubText::nibName(), this);
        if (!view)
            view = ActionMasterView::loadActionMasterView(this);
        view->setFeedBack(entry);
        hookRow(view);
        feedBackViewBuffer_.insert(key, view);
        view->hide();
        view->setGeometry(0, height(), width(), view->rowHeight());
    }
    return view;
}

void ActionMasterTable::hookRow(ActionMasterView* row)
{
    row->onHover = [this](ActionMasterView* view, bool inside) {
        if (inside)
            errorWindow()->displayError(view);
        else if (blackErrorWindow_)
            blackErrorWindow_->doHide();
    };
    row->onErrorFocus = [this](ActionMasterView* view, bool focused) {
        if (!statusLine_)
            return;
        statusLine_(focused && view->feedBack() ? view->errorText() : QString());
    };
}

BlackErrorWindow* ActionMasterTable::errorWindow()
{
    if (!blackErrorWindow_)
        blackErrorWindow_ = new BlackErrorWindow(window());
    return blackErrorWindow_;
}

bool ActionMasterTable::isRemoving(const QVFeedBack* entry) const
{
    const auto found = motions_.find(entry);
    return found != motions_.end() && found->second->removing;
}

void ActionMasterTable::startAddAnimation(const std::shared_ptr<QVFeedBack>& entry)
{
    ActionMasterView* view = actionStatusForFeedBack(entry);
    if (!view || motions_.count(entry.get()))
        return;
    auto motion = std::make_unique<Motion>();
    motion->animation.setDuration(kAnimationDuration);
    motions_[entry.get()] = std::move(motion);
    view->show();
    view->setDoAnimate(true);
    runMotion(entry.get());
}

void ActionMasterTable::scheduleRemove(const std::shared_ptr<QVFeedBack>& entry)
{
    if (!entry || std::find(feedBackList_.begin(), feedBackList_.end(), entry) == feedBackList_.end())
        return;
    auto& slot = motions_[entry.get()];
    if (slot && slot->removing)
        return;   // one removal per entry
    // A row still growing in stops where it is and shrinks from there.
    if (!slot)
        slot = std::make_unique<Motion>();
    slot->animation.stop();
    slot->removing = true;
    slot->progress = 0;
    slot->animation.setDuration(kAnimationDuration);
    const QVFeedBack* key = entry.get();
    slot->delay.setCallback([this, key] {
        if (ActionMasterView* view = rowViewOf(key)) {
            view->show();
            view->setDoAnimate(true);
        }
        runMotion(key);
    });
    slot->delay.start(kRemoveDelay);
    reloadTable();
}

void ActionMasterTable::runMotion(const QVFeedBack* entry)
{
    const auto found = motions_.find(entry);
    if (found == motions_.end())
        return;
    Motion& motion = *found->second;
    motion.animation.setProgressHandler([this, entry](double progress) {
        const auto it = motions_.find(entry);
        if (it == motions_.end())
            return;
        it->second->progress = progress;
        if (progress >= 1.0)
            QMetaObject::invokeMethod(this, [this, entry] { finishMotion(entry); }, Qt::QueuedConnection);
        reloadTable();
    });
    motion.animation.start();
}

void ActionMasterTable::finishMotion(const QVFeedBack* entry)
{
    const auto found = motions_.find(entry);
    if (found == motions_.end() || found->second->progress < 1.0)
        return;
    const bool removing = found->second->removing;
    motions_.erase(found);
    for (const auto& listed : feedBackList_)
        if (ActionMasterView* view = rowViewOf(listed.get()); view && !motions_.count(listed.get()))
            view->setDoAnimate(false);
    if (!removing) {
        reloadTable();
        return;
    }
    const auto it = std::find_if(feedBackList_.begin(), feedBackList_.end(),
                                 [entry](const auto& listed) { return listed.get() == entry; });
    if (it != feedBackList_.end())
        removeActionFromMasterTable(std::shared_ptr<QVFeedBack>(*it));
}

void ActionMasterTable::reloadTable()
{
    int y = 0;
    const int rowWidth = std::max(1, width());
    for (const auto& entry : feedBackList_) {
        ActionMasterView* view = actionStatusForFeedBack(entry);
        const int full = view->rowHeight();
        int slot = full;
        int frame = full;
        const auto found = motions_.find(entry.get());
        // A moving row keeps its contents laid out at full size and shows
        // the part its frame leaves, instead of squeezing them.
        if (QLayout* rowLayout = view->layout()) {
            const bool moving = found != motions_.end();
            if (moving && rowLayout->isEnabled()) {
                rowLayout->setGeometry(QRect(0, 0, rowWidth, full));
                rowLayout->setEnabled(false);
            } else if (!moving && !rowLayout->isEnabled()) {
                rowLayout->setEnabled(true);
                rowLayout->invalidate();
            }
        }
        if (found != motions_.end()) {
            const double p = found->second->progress;
            if (found->second->removing) {
                const double shrunk = double(full) / kShrinkDivisor;
                frame = int(full - (full - shrunk) * p);
                slot = int(full * (1.0 - p));
            } else {
                frame = slot = int(full * p);
            }
        }
        view->setFixedHeight(std::max(1, frame));
        view->setGeometry(0, y, rowWidth, std::max(1, frame));
        view->setVisible(frame > 0);
        y += slot;
    }
    contentHeight_ = y;
    setMinimumHeight(y);
    updateGeometry();
}
