#include "jobs/QVActionContainer.h"

#include "jobs/JobCodes.h"
#include "jobs/JobNames.h"
#include "jobs/QVAction.h"
#include "jobs/QVActionMachine.h"

#include "platform/NotificationCenter.h"

QVActionContainer::QVActionContainer() = default;

QVActionContainer::QVActionContainer(std::shared_ptr<QVActionMachine> actionMachine)
    : _actionMachine(std::move(actionMachine))
{
}

QVActionContainer::~QVActionContainer()
{
    for (const auto& member : _actionContainer)
        member->stopFeedBackNotification(this);
    platform::NotificationCenter::defaultCenter().removeObserver(this);
}

MFDevice* QVActionContainer::getActionDevice() const
{
    return _actionMachine ? _actionMachine->getActionDevice() : nullptr;
}

QList<std::shared_ptr<QVAction>> QVActionContainer::actionContainer() const
{
    return _actionContainer;
}

bool QVActionContainer::addActionToContainer(const std::shared_ptr<QVAction>& action)
{
    if (_isRunning || !_actionMachine || !action || !_actionMachine->validateActionType(action))
        return false;
    _actionContainer.append(action);
    return true;
}

unsigned QVActionContainer::previewCount() const
{
    unsigned count = 0;
    for (const auto& member : _actionContainer)
        count += member->previewCount();
    return count;
}

unsigned QVActionContainer::actionCount() const
{
    unsigned count = 0;
    for (const auto& member : _actionContainer)
        count += member->isRunning() ? member->actionCount() : member->previewCount();
    return count;
}

bool QVActionContainer::doStartContainer()
{
    if (_actionContainer.isEmpty() || !_actionMachine)
        return false;
    std::weak_ptr<QVFeedBack> weakSelf = weak_from_this();
    QList<std::shared_ptr<QVAction>> accepted;
    const auto members = _actionContainer;
    for (const auto& member : members) {
        if (!_actionMachine->addAction(member))
            continue;
        accepted.append(member);
        member->addFeedBackNotification(this, [weakSelf](const platform::Notification& notification) {
            if (auto self = std::static_pointer_cast<QVActionContainer>(weakSelf.lock()))
                self->feedBackNotify(notification);
        });
    }
    // A member the machine refused would never report; it is not waited for.
    _actionContainer = accepted;
    if (_actionContainer.isEmpty())
        return false;
    _selfWhileRunning = weakSelf.lock();
    _isRunning = true;
    postStartAction(true);
    return true;
}

bool QVActionContainer::doPostNotify() const
{
    return true;
}

QString QVActionContainer::description() const
{
    return jobnames::kQVActionContainerDescriptionFormat.arg(reinterpret_cast<quintptr>(this), 0, 16);
}

std::shared_ptr<QVFeedBack> QVActionContainer::refContent() const
{
    return _lastFeedBackNotify;
}

bool QVActionContainer::cancelAction()
{
    bool all = true;
    const auto members = _actionContainer;
    for (const auto& member : members)
        all = member->cancelAction() && all;
    return all;
}

int QVActionContainer::feedBackStatus() const
{
    if (!_isRunning)
        return feedbackstatus::kNotPosted;
    if (_actionContainer.isEmpty())
        return feedbackstatus::kContainerDone;
    if (_actionStarted)
        return feedbackstatus::kRunning;
    return feedbackstatus::kParked;
}

float QVActionContainer::calcCurrentProzent() const
{
    if (!_actionStarted)
        return -1.0f;
    if (_actionCount == 0)
        return 100.0f;
    const unsigned remaining = actionCount();
    // A member that grew beyond the count taken at the start shows 0, not a
    // wrapped-around figure.
    if (remaining > _actionCount)
        return 0.0f;
    return static_cast<float>((_actionCount - remaining) * 100u / _actionCount);
}

float QVActionContainer::lastFeedBackProz() const
{
    return _lastFeedBackProz;
}

void QVActionContainer::feedBackNotify(const platform::Notification& notification)
{
    auto keepAlive = weak_from_this().lock();
    const QVariantMap& info = notification.userInfo;
    auto member = QVFeedBack::entryOf(notification);
    if (!member)
        return;
    _lastFeedBackNotify = member;

    const bool hasPercent = info.contains(jobnames::kFeedProcessActionKey);
    if (hasPercent)
        _lastFeedBackProz = info.value(jobnames::kFeedProcessActionKey).toFloat();

    if (info.contains(jobnames::kFeedEndActionKey)) {
        member->stopFeedBackNotification(this);
        for (qsizetype i = 0; i < _actionContainer.size(); ++i) {
            if (static_cast<QVFeedBack*>(_actionContainer.at(i).get()) == member.get()) {
                _actionContainer.removeAt(i);
                break;
            }
        }
        if (!_actionContainer.isEmpty()) {
            if (hasPercent)
                postProcessAction(calcCurrentProzent());
            return;
        }
        postEndAction(info.value(jobnames::kFeedEndActionKey).toInt());
        _selfWhileRunning.reset();
        return;
    }
    if (info.contains(jobnames::kFeedStartActionKey)) {
        if (_actionCount == 0)
            _actionCount = previewCount();
        _lastFeedBackProz = 0.0f;
        _actionStarted = true;
    }
    if (hasPercent)
        postProcessAction(calcCurrentProzent());
}
