#include "jobs/QVDoubleNotify.h"

#include "jobs/QVAction.h"

QVDoubleNotify::QVDoubleNotify(std::shared_ptr<QVActionNotify> firstNotify, QVariant firstUserInfo,
                               std::shared_ptr<QVActionNotify> secondNotify, QVariant secondUserInfo)
    : _firstNotify(std::move(firstNotify))
    , _secondNotify(std::move(secondNotify))
    , _firstUserInfo(std::move(firstUserInfo))
    , _secondUserInfo(std::move(secondUserInfo))
{
}

QVDoubleNotify::~QVDoubleNotify() = default;

bool QVDoubleNotify::addNotify(std::shared_ptr<QVActionNotify> notify, const QVariant& userInfo)
{
    if (containsNotify(notify.get()))
        return false;
    if (auto next = std::dynamic_pointer_cast<QVDoubleNotify>(_secondNotify))
        return next->addNotify(std::move(notify), userInfo);
    _secondNotify = std::make_shared<QVDoubleNotify>(_secondNotify, _secondUserInfo, std::move(notify), userInfo);
    _secondUserInfo = QVariant();
    return true;
}

bool QVDoubleNotify::checkNotify(const std::shared_ptr<QVActionNotify>& candidate, const QVActionNotify* target) const
{
    if (auto chain = std::dynamic_pointer_cast<QVDoubleNotify>(candidate))
        return chain->containsNotify(target);
    return candidate.get() == target;
}

bool QVDoubleNotify::containsNotify(const QVActionNotify* target) const
{
    return checkNotify(_firstNotify, target) || checkNotify(_secondNotify, target);
}

void QVDoubleNotify::prepareJob(QVAction& job, const std::shared_ptr<QVActionNotify>& notify, const QVariant& userInfo)
{
    job.setNotify(notify);
    job.setUserInfo(userInfo);
}

void QVDoubleNotify::resetJob(QVAction& job)
{
    job.setNotify(shared_from_this());
    job.setUserInfo(QVariant());
}

bool QVDoubleNotify::tellBoth(QVAction& action, bool secondOnlyWhenFirstAgrees,
                              const std::function<bool(QVActionNotify&)>& tell)
{
    auto self = shared_from_this();
    // Local copies: a requester may change the chain while it is called.
    auto first = _firstNotify;
    auto second = _secondNotify;
    bool answer = true;
    if (first) {
        prepareJob(action, first, _firstUserInfo);
        answer = tell(*first);
    }
    if (second && (answer || !secondOnlyWhenFirstAgrees)) {
        prepareJob(action, second, _secondUserInfo);
        tell(*second);
    }
    resetJob(action);
    return answer;
}

void QVDoubleNotify::didPostAction(QVAction& action)
{
    tellBoth(action, false, [&](QVActionNotify& notify) {
        notify.didPostAction(action);
        return true;
    });
}

bool QVDoubleNotify::startAction(QVAction& action)
{
    return tellBoth(action, true, [&](QVActionNotify& notify) { return notify.startAction(action); });
}

bool QVDoubleNotify::processAction(QVAction& action, float percent)
{
    return tellBoth(action, true, [&](QVActionNotify& notify) { return notify.processAction(action, percent); });
}

void QVDoubleNotify::endAction(QVAction& action, int err)
{
    tellBoth(action, false, [&](QVActionNotify& notify) {
        notify.endAction(action, err);
        return true;
    });
}
