// The organizer kit's front: each request goes to the chain of the phone's
// family, and a family without one ends on a later pass with -1.
#include "CoreTestSupport.h"
#include "VirtualTime.h"

#include "kestrova/core/Kestrova.h"

#include <gtest/gtest.h>

using namespace coretest;
using testing_support::runUntil;

namespace {

// Stand-in chains that record which entry a request reached.
class RecordingKestrova : public Kestrova {
public:
    QStringList reached;

protected:
    void getLgViewtyPhonebookEntries() override { reached.append(QStringLiteral("lg phonebook")); }
    void writeLgViewtyPhonebookEntries(const QVariantMap&) override { reached.append(QStringLiteral("lg write phonebook")); }
    void getLgViewtyCalendarEntries() override { reached.append(QStringLiteral("lg calendar")); }
    void writeLgViewtyCalendarEntries(const QVariantMap&) override { reached.append(QStringLiteral("lg write calendar")); }
    void getLgViewtyTasks() override { reached.append(QStringLiteral("lg tasks")); }
    void getMotorolaPhonebookEntries() override { reached.append(QStringLiteral("motorola phonebook")); }
    void writeMotorolaPhonebookEntries(const QVariantMap&) override
    {
        reached.append(QStringLiteral("motorola write phonebook"));
    }
    void getMotorolaCalendarEntries() override { reached.append(QStringLiteral("motorola calendar")); }
    void writeMotorolaCalendarEntries(const QVariantMap&) override
    {
        reached.append(QStringLiteral("motorola write calendar"));
    }
};

struct OrganizerCallback : organizerKitAsync {
    QStringList finals;
    void record(const char* name, const std::optional<QVariantMap>& data, int code)
    {
        finals.append(QStringLiteral("%1 %2 %3").arg(QLatin1String(name), data ? QStringLiteral("data") : QStringLiteral("nil")).arg(code));
    }
    void organizerKitPhonebookRead(Kestrova*, const std::optional<QVariantMap>& d, int c) override { record("phonebook", d, c); }
    void organizerKitPhonebookEntriesWritten(Kestrova*, const std::optional<QVariantMap>& d, int c) override
    {
        record("phonebook written", d, c);
    }
    void organizerKitCalendarRead(Kestrova*, const std::optional<QVariantMap>& d, int c) override { record("calendar", d, c); }
    void organizerKitCalendarEntriesWritten(Kestrova*, const std::optional<QVariantMap>& d, int c) override
    {
        record("calendar written", d, c);
    }
    void organizerKitTasksRead(Kestrova*, const std::optional<QVariantMap>& d, int c) override { record("tasks", d, c); }
};

void runAll(Kestrova& kit)
{
    kit.getPhonebookEntries();
    kit.writePhonebookEntries({});
    kit.getCalendarEntries();
    kit.writeCalendarEntries({});
    kit.getTasks();
}

} // namespace

TEST(KestrovaFront, RequestsReachTheChainOfTheirFamily)
{
    const QStringList lg{QStringLiteral("lg phonebook"), QStringLiteral("lg write phonebook"), QStringLiteral("lg calendar"),
                         QStringLiteral("lg write calendar"), QStringLiteral("lg tasks")};
    const QStringList motorola{QStringLiteral("motorola phonebook"), QStringLiteral("motorola write phonebook"),
                               QStringLiteral("motorola calendar"), QStringLiteral("motorola write calendar")};
    const struct {
        const char* family;
        QStringList reached;
        QStringList finals;
    } cases[] = {
        {"lg", lg, {}},
        {"lg3", lg, {}},
        {"lgGD900", lg, {}},
        {"motorola", motorola, {QStringLiteral("tasks nil -1")}},
        {"motorola2", motorola, {QStringLiteral("tasks nil -1")}},
        {"Motorola", {}, {QStringLiteral("phonebook nil -1"), QStringLiteral("phonebook written nil -1"),
                          QStringLiteral("calendar nil -1"), QStringLiteral("calendar written nil -1"),
                          QStringLiteral("tasks nil -1")}},
        {"samsung", {}, {QStringLiteral("phonebook nil -1"), QStringLiteral("phonebook written nil -1"),
                         QStringLiteral("calendar nil -1"), QStringLiteral("calendar written nil -1"),
                         QStringLiteral("tasks nil -1")}},
        {"nokia", {}, {QStringLiteral("phonebook nil -1"), QStringLiteral("phonebook written nil -1"),
                       QStringLiteral("calendar nil -1"), QStringLiteral("calendar written nil -1"),
                       QStringLiteral("tasks nil -1")}},
    };
    for (const auto& c : cases) {
        KitLogCapture log;
        RecordingKestrova kit;
        OrganizerCallback callback;
        kit.setCallback(&callback);
        kit.setFamily(QLatin1String(c.family));
        runAll(kit);
        EXPECT_EQ(kit.reached, c.reached) << c.family;
        // The unknown-family callbacks come on a later pass, once each.
        EXPECT_TRUE(callback.finals.isEmpty()) << c.family;
        runUntil([] { return false; }, 0.5);
        EXPECT_EQ(callback.finals, c.finals) << c.family;
        EXPECT_EQ(log.lines().size(), c.finals.size()) << c.family;
        EXPECT_FALSE(kit.isConnected());
        kit.setCallback(nullptr);
    }
}

TEST(KestrovaFront, NoCallbackAfterTheKitIsGoneOrStopped)
{
    OrganizerCallback callback;
    {
        Kestrova kit;
        kit.setCallback(&callback);
        kit.setFamily(QStringLiteral("nokia"));
        runAll(kit);
    }
    Kestrova stopped;
    stopped.setCallback(&callback);
    stopped.setFamily(QStringLiteral("nokia"));
    stopped.getTasks();
    stopped.fullStop();
    runUntil([] { return false; }, 0.5);
    EXPECT_TRUE(callback.finals.isEmpty());
}
