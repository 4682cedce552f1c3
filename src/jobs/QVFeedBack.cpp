#include "jobs/QVFeedBack.h"

#include "jobs/JobCodes.h"
#include "jobs/JobNames.h"

#include <map>
#include <utility>
#include <vector>

namespace {

// The entries kept alive by their observers, one reference per registration.
using RetainKey = std::pair<const void*, const QVFeedBack*>;
std::multimap<RetainKey, std::shared_ptr<QVFeedBack>>& retainedEntries()
{
    static std::multimap<RetainKey, std::shared_ptr<QVFeedBack>> entries;
    return entries;
}

} // namespace

QVFeedBack::~QVFeedBack() = default;

void QVFeedBack::doPostNotifications(bool) {}

bool QVFeedBack::cancelAction()
{
    return false;
}

std::shared_ptr<QVFeedBack> QVFeedBack::refContent() const
{
    return nullptr;
}

QVariant QVFeedBack::getUserInfo() const
{
    return {};
}

bool QVFeedBack::doPostNotify() const
{
    return false;
}

int QVFeedBack::feedBackStatus() const
{
    return 0;
}

QVariant QVFeedBack::objectForKey(const QString&) const
{
    return {};
}

QString QVFeedBack::description() const
{
    return QStringLiteral("QVFeedBack");
}

QString QVFeedBack::displayString() const
{
    return description();
}

QString QVFeedBack::displaySubString() const
{
    return {};
}

QString QVFeedBack::statusMenueString() const
{
    return {};
}

QString QVFeedBack::statusNibIdent() const
{
    return {};
}

QString QVFeedBack::feedBackErrorTitle() const
{
    return {};
}

QString QVFeedBack::feedBackSuggestionString() const
{
    return {};
}

int QVFeedBack::feedBackErrorHandling() const
{
    return 0;
}

QString QVFeedBack::feedBackErrorString() const
{
    return jobnames::kDefaultErrorString;
}

void QVFeedBack::postFeedBackNotify(const QVariantMap& userInfo)
{
    platform::NotificationCenter::defaultCenter().post(jobnames::kFeedBackActionNotify, feedBackSender(), userInfo);
}

namespace {

// Posts the entry with one key, while the entry posts at all.
void postEntryInfo(QVFeedBack* entry, const QString& key, const QVariant& value)
{
    if (!entry->doPostNotify())
        return;
    QVariantMap info;
    info.insert(jobnames::kFeedBackEntryKey, QVariant::fromValue(entry->weak_from_this().lock()));
    info.insert(key, value);
    entry->postFeedBackNotify(info);
}

} // namespace

void QVFeedBack::postStartAction(bool started)
{
    postEntryInfo(this, jobnames::kFeedStartActionKey, started);
}

void QVFeedBack::postPreprocessStart(bool started)
{
    postEntryInfo(this, jobnames::kFeedPreprocessStartKey, started);
}

void QVFeedBack::postProcessAction(float percent)
{
    postEntryInfo(this, jobnames::kFeedProcessActionKey, percent);
}

void QVFeedBack::postEndAction(int code)
{
    if (code == jobcodes::kSuspended)
        postProcessAction(-1.0f);
    else
        postEntryInfo(this, jobnames::kFeedEndActionKey, code);
}

void QVFeedBack::addFeedBackNotification(const void* observer, FeedBackHandler handler)
{
    platform::NotificationCenter::defaultCenter().addObserver(observer, jobnames::kFeedBackActionNotify,
                                                              feedBackSender(), std::move(handler));
    doPostNotifications(true);
    if (auto self = weak_from_this().lock())
        retainedEntries().emplace(RetainKey(observer, this), std::move(self));
}

void QVFeedBack::stopFeedBackNotification(const void* observer)
{
    platform::NotificationCenter::defaultCenter().removeObserver(observer, jobnames::kFeedBackActionNotify,
                                                                 feedBackSender());
    // Released after the map is consistent again: the entry may go away here,
    // so nothing touches this after the list of references is dropped.
    std::vector<std::shared_ptr<QVFeedBack>> released;
    auto& entries = retainedEntries();
    auto range = entries.equal_range(RetainKey(observer, this));
    for (auto it = range.first; it != range.second; ++it)
        released.push_back(std::move(it->second));
    entries.erase(range.first, range.second);
}

std::shared_ptr<QVFeedBack> QVFeedBack::entryOf(const platform::Notification& notification)
{
    return notification.userInfo.value(jobnames::kFeedBackEntryKey).value<std::shared_ptr<QVFeedBack>>();
}
