#include "devicewindow/queue/ActionMasterHdlr.h"

#include "jobs/QVAction.h"

#include "devicewindow/ActionMasterPlace.h"
#include "devicewindow/queue/ActionMasterTable.h"
#include "devicewindow/queue/ActionMasterView.h"

#include "devicewindow/FeedBackOnGuiThread.h"
#include "jobs/JobNames.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QSplitter>
#include <QThread>
#include <QToolButton>
#include <QVBoxLayout>

ActionMasterHdlr::ActionMasterHdlr(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ActionMasterHdlr"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* header = new QWidget(this);
    header->setObjectName(QStringLiteral("actionMasterHeader"));
    header->setFixedHeight(kHeaderHeight);
    auto* headerRow = new QHBoxLayout(header);
    headerRow->setContentsMargins(4, 0, 4, 0);
    toggleButton_ = new QToolButton(header);
    toggleButton_->setObjectName(QStringLiteral("toggleMaster"));
    toggleButton_->setAutoRaise(true);
    toggleButton_->setText(QStringLiteral("▾"));
    toggleButton_->setAccessibleName(tr("Show or hide jobs"));
    connect(toggleButton_, &QToolButton::clicked, this, [this] { toggleMaster(); });
    headerRow->addWidget(toggleButton_);
    auto* title = new QLabel(tr("Jobs"), header);
    headerRow->addWidget(title, 1);
    layout->addWidget(header);
    scroll_ = new QScrollArea(this);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(true);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    actionMasterTable_ = new ActionMasterTable;
    scroll_->setWidget(actionMasterTable_);
    layout->addWidget(scroll_, 1);
}

ActionMasterHdlr::~ActionMasterHdlr()
{
    if (actionMasterTable_)
        for (const auto& entry : actionMasterTable_->feedBackList())
            entry->stopFeedBackNotification(this);
}

ActionMasterHdlr* ActionMasterHdlr::loadActionMasterHdlr(QWidget* host, MFDevice* device)
{
    if (!host)
        return nullptr;
    auto* master = new ActionMasterHdlr(host);
    master->move(-1234, -1234);
    master->show();
    master->setActionDevice(device);
    return master;
}

int ActionMasterHdlr::numberOfRows() const
{
    return actionMasterTable_ ? int(actionMasterTable_->feedBackList().size()) : 0;
}

void ActionMasterHdlr::clearMaster()
{
    while (actionMasterTable_ && !actionMasterTable_->feedBackList().empty()) {
        const auto first = actionMasterTable_->feedBackList().front();
        first->stopFeedBackNotification(this);
        actionMasterTable_->removeActionFromMasterTable(first);
    }
}

void ActionMasterHdlr::cancelMaster()
{
    if (!actionMasterTable_)
        return;
    const auto entries = actionMasterTable_->feedBackList();
    for (const auto& entry : entries)
        if (ActionMasterView* view = actionMasterTable_->rowViewOf(entry.get()))
            view->doCancel();
}

bool ActionMasterHdlr::actionJobsScheduled() const
{
    if (!actionMasterTable_)
        return false;
    for (const auto& entry : actionMasterTable_->feedBackList()) {
        const ActionMasterView* view = actionMasterTable_->rowViewOf(entry.get());
        if (view && !view->isInErrorMod())
            return true;
    }
    return false;
}

std::shared_ptr<QVFeedBack> ActionMasterHdlr::equalFeedBackInMaster(const std::shared_ptr<QVFeedBack>& entry) const
{
    if (!entry || !actionMasterTable_)
        return nullptr;
    const auto& list = actionMasterTable_->feedBackList();
    for (const auto& listed : list)
        if (listed == entry)
            return listed;
    // Equal entries: the same job description.
    for (const auto& listed : list)
        if (listed->description() == entry->description())
            return listed;
    return nullptr;
}

bool ActionMasterHdlr::addActionToMaster(const std::shared_ptr<QVFeedBack>& entry)
{
    // A job that ended before it reached the queue (no pipe took it) has no
    // end left to show: its row would spin for ever.
    if (const auto* action = dynamic_cast<const QVAction*>(entry.get()); action && action->hasEnded())
        return false;
    if (!actionMasterTable_ || !actionMasterTable_->addActionToMasterTable(entry))
        return false;
    observeFeedBackOnGuiThread(entry, this, &ActionMasterHdlr::feedBackNotify);
    actionMasterTable_->startAddAnimation(entry);
    return true;
}

bool ActionMasterHdlr::isActionError(int code)
{
    return code != 0 && code != kNothingToDo && code != kSuspended && code != kCancelled;
}

void ActionMasterHdlr::feedBackNotify(const platform::Notification& notification)
{
    if (!notification.userInfo.contains(jobnames::kFeedEndActionKey) || !actionMasterTable_)
        return;
    auto entry = QVFeedBack::entryOf(notification);
    if (!entry) {
        for (const auto& listed : actionMasterTable_->feedBackList())
            if (listed->feedBackSender() == notification.sender)
                entry = listed;
    }
    if (!entry)
        return;
    const int code = notification.userInfo.value(jobnames::kFeedEndActionKey).toInt();
    if (isActionError(code) && entry->feedBackErrorHandling() == kKeepErrorRow) {
        if (ActionMasterView* view = actionMasterTable_->rowViewOf(entry.get()))
            view->setInErrorMod(code);
        return;
    }
    entry->stopFeedBackNotification(this);
    actionMasterTable_->scheduleRemove(entry);
}

QSplitter* ActionMasterHdlr::getSplittView() const
{
    for (QWidget* up = parentWidget(); up; up = up->parentWidget())
        if (auto* split = qobject_cast<QSplitter*>(up))
            return split;
    return nullptr;
}

void ActionMasterHdlr::toggleMaster()
{
    auto* pane = qobject_cast<ActionMasterPlace*>(parentWidget());
    QSplitter* split = getSplittView();
    if (!pane || !split)
        return;
    QPointer<ActionMasterPlace> place(pane);
    const bool expand = pane->isCollabsed();
    QMetaObject::invokeMethod(
        pane,
        [place, expand] {
            if (!place)
                return;
            if (expand)
                place->expandMaster();
            else
                place->collapseMaster();
        },
        Qt::QueuedConnection);
}
