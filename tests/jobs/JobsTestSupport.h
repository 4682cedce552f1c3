#pragma once

#include "jobs/JobCodes.h"
#include "jobs/JobNames.h"
#include "jobs/QVAction.h"
#include "jobs/QVActionMachine.h"
#include "jobs/QVActionNotify.h"
#include "jobs/QVActionPipe.h"
#include "jobs/QVFeedBack.h"

#include "foundation/NamedLog.h"
#include "platform/Clock.h"
#include "platform/Exception.h"
#include "platform/NotificationCenter.h"

#include <QFile>
#include <QStringList>
#include <QVariant>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace jobs_test {

// The engine never looks inside its device: any distinct address will do.
inline MFDevice* fakeDevice()
{
    static int device = 0;
    return reinterpret_cast<MFDevice*>(&device);
}

// Moves virtual time on, firing the engine's delays and delivering its
// main-thread reports.
inline void advance(double seconds)
{
    platform::Clock::instance().advance(seconds);
}

// Long enough for every short delay of the engine (0.0012, 0.012 and a report).
inline void settle()
{
    advance(0.05);
}

// A requester that records what it hears, with the user info the job showed
// at that moment.
class RecordingNotify : public QVActionNotify {
public:
    struct Event {
        QString kind;   // "start", "process", "end", "posted"
        int code = 0;
        float percent = 0;
        QVariant userInfo;
    };

    bool startAction(QVAction& action) override
    {
        events.push_back({QStringLiteral("start"), 0, 0, action.getUserInfo()});
        return answerStart;
    }
    bool processAction(QVAction& action, float percent) override
    {
        events.push_back({QStringLiteral("process"), 0, percent, action.getUserInfo()});
        return answerProcess;
    }
    void endAction(QVAction& action, int err) override
    {
        events.push_back({QStringLiteral("end"), err, 0, action.getUserInfo()});
    }
    void didPostAction(QVAction& action) override
    {
        events.push_back({QStringLiteral("posted"), 0, 0, action.getUserInfo()});
    }

    int count(const QString& kind) const
    {
        int n = 0;
        for (const auto& e : events)
            n += e.kind == kind;
        return n;
    }
    std::vector<int> endCodes() const
    {
        std::vector<int> codes;
        for (const auto& e : events) {
            if (e.kind == QLatin1String("end"))
                codes.push_back(e.code);
        }
        return codes;
    }
    const Event* last(const QString& kind) const
    {
        for (auto it = events.rbegin(); it != events.rend(); ++it) {
            if (it->kind == kind)
                return &*it;
        }
        return nullptr;
    }

    bool answerStart = true;
    bool answerProcess = true;
    std::vector<Event> events;
};

// A job whose behaviour each test sets; the test ends it.
class TestJob : public QVAction {
public:
    TestJob(QString type, std::shared_ptr<QVActionNotify> notify = {}, QVariant userInfo = {},
            QString name = QString())
        : QVAction(std::move(notify), std::move(userInfo))
        , type(std::move(type))
        , name(std::move(name))
    {
    }

    QString actionType() const override { return type; }
    int startAction() override
    {
        ++starts;
        if (startLog)
            startLog->append(name);
        if (throwOnStart)
            throw platform::Exception(QStringLiteral("TestError"), QStringLiteral("start failed"));
        if (endInsideStart)
            endAction(0);
        return startResult;
    }
    bool canSuspend() const override { return suspendable; }
    bool doSuspendAction() override
    {
        ++suspendRequests;
        return answersSuspend;
    }
    bool readyToExecute() override
    {
        ++readyAsked;
        return ready;
    }
    bool isInOpenProgress() const override { return inOpenProgress; }
    QString description() const override
    {
        return descriptionText.isEmpty() ? QVAction::description() : descriptionText;
    }
    bool isEqual(const QVAction& other) const override
    {
        return !descriptionText.isEmpty() ? description() == other.description() : QVAction::isEqual(other);
    }

    QString type;
    QString name;
    QString descriptionText;
    QStringList* startLog = nullptr;
    int startResult = 0;
    bool throwOnStart = false;
    bool endInsideStart = false;
    bool suspendable = true;
    bool answersSuspend = false;
    bool ready = true;
    bool inOpenProgress = false;
    int starts = 0;
    int suspendRequests = 0;
    int readyAsked = 0;
};

class TestJobSubclass : public TestJob {
public:
    using TestJob::TestJob;
};

// Follows one entry's "QVFeedBackActionNotify" posts (and so switches them on).
class FeedBackRecorder {
public:
    explicit FeedBackRecorder(const std::shared_ptr<QVFeedBack>& entry)
        : m_entry(entry)
    {
        entry->addFeedBackNotification(this, [this](const platform::Notification& n) { posts.append(n.userInfo); });
    }
    ~FeedBackRecorder()
    {
        if (auto entry = m_entry.lock())
            entry->stopFeedBackNotification(this);
    }
    FeedBackRecorder(const FeedBackRecorder&) = delete;
    FeedBackRecorder& operator=(const FeedBackRecorder&) = delete;

    QList<QVariant> values(const QString& key) const
    {
        QList<QVariant> found;
        for (const auto& post : posts) {
            if (post.contains(key))
                found.append(post.value(key));
        }
        return found;
    }
    QList<float> percents() const
    {
        QList<float> found;
        for (const auto& v : values(jobnames::kFeedProcessActionKey))
            found.append(v.toFloat());
        return found;
    }
    QList<int> ends() const
    {
        QList<int> found;
        for (const auto& v : values(jobnames::kFeedEndActionKey))
            found.append(v.toInt());
        return found;
    }

    QList<QVariantMap> posts;

private:
    std::weak_ptr<QVFeedBack> m_entry;
};

// A machine with two pipes, "A" and "B" (the latter also serving "B2").
class JobEngineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        machine = QVActionMachine::allocActionMachine(fakeDevice());
        ASSERT_TRUE(machine);
        ASSERT_TRUE(machine->addActionPipe({QStringLiteral("A")}));
        ASSERT_TRUE(machine->addActionPipe({QStringLiteral("B"), QStringLiteral("B2")}));
    }
    void TearDown() override
    {
        machine->killAllActions(false);
        settle();
        machine.reset();
        settle();
    }

    std::shared_ptr<TestJob> job(const QString& type, std::shared_ptr<QVActionNotify> notify = {},
                                 QVariant userInfo = {}, const QString& name = QString())
    {
        auto j = std::make_shared<TestJob>(type, std::move(notify), std::move(userInfo), name);
        j->startLog = &startLog;
        return j;
    }
    std::shared_ptr<TestJob> post(const QString& type, const QString& name = QString(), int priority = -1,
                                  std::shared_ptr<QVActionNotify> notify = {})
    {
        auto j = job(type, std::move(notify), {}, name);
        if (priority >= 0)
            j->setPriority(priority);
        EXPECT_TRUE(machine->addAction(j));
        return j;
    }
    std::shared_ptr<QVActionPipe> pipe(const QString& type) const { return machine->pipeForAction(type); }

    std::shared_ptr<QVActionMachine> machine;
    QStringList startLog;
};

// The "standard" log, opened for the whole test program.
inline QString standardLogText()
{
    const QString name = QString::fromLatin1(qvlog::kStandard);
    QVLogCreateAndOpen(name);
    QFile file(QVPathForLogFile(name + QStringLiteral(".log")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

} // namespace jobs_test
