#pragma once

#include "jobs/QVActionNotify.h"

#include <QVariant>

#include <functional>
#include <memory>

// Fans a job's requester calls out to two requesters (the second may itself
// be a QVDoubleNotify, which makes a chain). Before each call the job's
// requester and user info are set to the pair being called, so that every
// requester sees its own user info; afterwards the job points back here.
class QVDoubleNotify : public QVActionNotify, public std::enable_shared_from_this<QVDoubleNotify> {
public:
    QVDoubleNotify(std::shared_ptr<QVActionNotify> firstNotify, QVariant firstUserInfo,
                   std::shared_ptr<QVActionNotify> secondNotify, QVariant secondUserInfo);
    ~QVDoubleNotify() override;

    // false when the requester is already in the chain.
    bool addNotify(std::shared_ptr<QVActionNotify> notify, const QVariant& userInfo);
    bool checkNotify(const std::shared_ptr<QVActionNotify>& candidate, const QVActionNotify* target) const;
    bool containsNotify(const QVActionNotify* target) const;
    void prepareJob(QVAction& job, const std::shared_ptr<QVActionNotify>& notify, const QVariant& userInfo);
    void resetJob(QVAction& job);

    void didPostAction(QVAction& action) override;
    // The first requester's answer; the second is asked only when the first
    // agreed, and its answer is not heard.
    bool startAction(QVAction& action) override;
    bool processAction(QVAction& action, float percent) override;
    void endAction(QVAction& action, int err) override;

    std::shared_ptr<QVActionNotify> firstNotify() const { return _firstNotify; }
    std::shared_ptr<QVActionNotify> secondNotify() const { return _secondNotify; }

private:
    // Tells the first requester and then the second, each with its own user
    // info (the second only when the first agreed, if asked so); answers the
    // first one's answer.
    bool tellBoth(QVAction& action, bool secondOnlyWhenFirstAgrees,
                  const std::function<bool(QVActionNotify&)>& tell);

    std::shared_ptr<QVActionNotify> _firstNotify;
    std::shared_ptr<QVActionNotify> _secondNotify;
    QVariant _firstUserInfo;
    QVariant _secondUserInfo;
};
