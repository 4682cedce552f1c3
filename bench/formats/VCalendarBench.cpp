// The vCalendar reader against libical, one corpus per format, each reader
// with its row on the same texts in one run; items per second are events per
// second:
// - Vcs: 2000 events and tasks as vCalendar 1.0 texts of one item each (as a
//   phone sends them), written by the writer: timed and all-day events,
//   alarms, rules, quoted-printable summaries; read with
//   elemsForVCalendarString and with libical's 1.0 parser (Parse_MIME);
// - Ics: 2000 events as iCalendar 2.0 texts that libical writes (with a
//   rule and an alarm block); read with elemsForVCalendarString and with
//   icalparser_parse_string;
// - Write: the writer on the item forms of the first corpus.
#include "device/QVSyncDeviceDescription.h"
#include "device/qvDeviceDB.h"
#include "formats/VCalendar2ElemsParser.h"
#include "formats/VCalendarGenerator.h"
#include "formats/VXDictionary.h"
#include "platform/SyncChange.h"

#include <QDateTime>
#include <QTimeZone>

#include <benchmark/benchmark.h>

#include <libical/ical.h>
extern "C" {
#include <libical/vcc.h>
#include <libical/vobject.h>
}

#include <memory>
#include <vector>

namespace {

constexpr int kCalendarItems = 2000;

struct CalendarCorpus {
    QStringList texts;
    QList<QByteArray> bytes;
    qint64 size = 0;
};

void addText(CalendarCorpus& corpus, const QByteArray& bytes)
{
    corpus.bytes.append(bytes);
    corpus.texts.append(QString::fromUtf8(bytes));
    corpus.size += bytes.size();
}

std::shared_ptr<QVSyncDeviceDescription> benchDescription()
{
    static const auto description = [] {
        auto db = std::make_shared<qvDeviceDB>();
        auto shipped = std::make_shared<QVSyncDeviceDescription>(db);
        if (db->openDB(qvDeviceDB::defaultDatabasePath())
            && shipped->setupFromProtocol(QStringLiteral("Protocol Series 60 3rd")) == 0)
            return shipped;
        return std::make_shared<QVSyncDeviceDescription>(nullptr);
    }();
    return description;
}

void addSub(VXDictionary& vx, const char* list, const QVariantMap& record)
{
    const QString id = createQuorvalisPrimaryKey();
    vx.setMainObject(QVariantList{id}, QString::fromLatin1(list));
    vx.setOtherObject(record, id);
}

std::vector<VXDictionary>& itemForms()
{
    static std::vector<VXDictionary> forms = [] {
        std::vector<VXDictionary> made;
        const QDateTime base(QDate(2024, 1, 1), QTime(9, 0), Qt::LocalTime);
        for (int i = 0; i < kCalendarItems; ++i) {
            VXDictionary vx;
            const bool task = i % 5 == 4;
            vx.setMainObject(task ? platform::entity::Task : platform::entity::Event,
                             platform::ISyncRecordEntityNameKey);
            vx.setMainObject(i % 3 == 0 ? QStringLiteral("Café meeting %1").arg(i) : QStringLiteral("Review %1").arg(i),
                             QStringLiteral("summary"));
            const QDateTime start = base.addSecs(qint64(i) * 5 * 3600);
            if (task) {
                vx.setMainObject(start, QStringLiteral("due date"));
                vx.setMainObject(3, QStringLiteral("priority"));
            } else if (i % 4 == 1) {
                const QDateTime noon(start.date(), QTime(12, 0), QTimeZone::utc());
                vx.setMainObject(true, QStringLiteral("all day"));
                vx.setMainObject(noon, QStringLiteral("start date"));
                vx.setMainObject(noon.addDays(1), QStringLiteral("end date"));
            } else {
                vx.setMainObject(start, QStringLiteral("start date"));
                vx.setMainObject(start.addSecs(5400), QStringLiteral("end date"));
                vx.setMainObject(QStringLiteral("Room %1").arg(i % 40), QStringLiteral("location"));
            }
            if (i % 2 == 0)
                addSub(vx, "audio alarms", {{QStringLiteral("triggerduration"), -900}});
            if (i % 3 == 0)
                addSub(
                    vx, "recurrences",
                    {{QStringLiteral("frequency"), QStringLiteral("weekly")},
                     {QStringLiteral("interval"), 1 + i % 3},
                     {QStringLiteral("bydaydays"), QVariantList{QStringLiteral("monday"), QStringLiteral("thursday")}},
                     {QStringLiteral("count"), 10}});
            made.push_back(std::move(vx));
        }
        return made;
    }();
    return forms;
}

const CalendarCorpus& vcsCorpus()
{
    static const CalendarCorpus built = [] {
        CalendarCorpus corpus;
        for (VXDictionary& vx : itemForms())
            addText(corpus, createVCalendarForVXDict(&vx, *benchDescription(), false).toUtf8());
        return corpus;
    }();
    return built;
}

const CalendarCorpus& icsCorpus()
{
    static const CalendarCorpus built = [] {
        CalendarCorpus corpus;
        icaltimetype start = icaltime_from_string("20240101T090000Z");
        for (int i = 0; i < kCalendarItems; ++i) {
            icalcomponent* calendar = icalcomponent_vanew(ICAL_VCALENDAR_COMPONENT, icalproperty_new_version("2.0"),
                                                          icalproperty_new_prodid("-//bench//libical//EN"), nullptr);
            icalcomponent* event = icalcomponent_new_vevent();
            icalcomponent_add_property(event, icalproperty_new_uid(qPrintable(QStringLiteral("ev-%1").arg(i))));
            icalcomponent_add_property(event, icalproperty_new_summary(qPrintable(QStringLiteral("Review %1").arg(i))));
            icalcomponent_add_property(event, icalproperty_new_dtstart(start));
            icaltimetype end = start;
            icaltime_adjust(&end, 0, 1, 30, 0);
            icalcomponent_add_property(event, icalproperty_new_dtend(end));
            icalcomponent_add_property(event, icalproperty_new_location("Room 4"));
            if (i % 3 == 0)
                icalcomponent_add_property(
                    event, icalproperty_new_rrule(icalrecurrencetype_from_string("FREQ=WEEKLY;BYDAY=MO,TH;COUNT=10")));
            if (i % 2 == 0) {
                icalcomponent* alarm = icalcomponent_new_valarm();
                icalcomponent_add_property(alarm, icalproperty_new_trigger(icaltriggertype_from_int(-900)));
                icalcomponent_add_property(alarm, icalproperty_new_action(ICAL_ACTION_DISPLAY));
                icalcomponent_add_component(event, alarm);
            }
            icalcomponent_add_component(calendar, event);
            addText(corpus, QByteArray(icalcomponent_as_ical_string(calendar)));
            icalcomponent_free(calendar);
            icaltime_adjust(&start, 0, 5, 0, 0);
        }
        return corpus;
    }();
    return built;
}

void readCalendarsHere(benchmark::State& state, const CalendarCorpus& corpus)
{
    qsizetype read = 0;
    for (auto _ : state) {
        read = 0;
        for (const QString& text : corpus.texts) {
            const auto calendar = elemsForVCalendarString(text, nullptr);
            read += calendar ? calendar->map().value(QStringLiteral("Subitems")).toList().size() : 0;
            benchmark::DoNotOptimize(calendar);
        }
    }
    state.counters["items_read"] = double(read);
    state.SetItemsProcessed(state.iterations() * corpus.texts.size());
    state.SetBytesProcessed(state.iterations() * corpus.size);
}

void BM_ReadVcs_ElemsForVCalendarString(benchmark::State& state)
{
    readCalendarsHere(state, vcsCorpus());
}
BENCHMARK(BM_ReadVcs_ElemsForVCalendarString)->Unit(benchmark::kMillisecond);

void BM_ReadVcs_LibicalParseMIME(benchmark::State& state)
{
    const CalendarCorpus& corpus = vcsCorpus();
    int read = 0;
    for (auto _ : state) {
        read = 0;
        for (const QByteArray& bytes : corpus.bytes) {
            VObject* list = Parse_MIME(bytes.constData(), static_cast<unsigned long>(bytes.size()));
            for (VObject* o = list; o; o = nextVObjectInList(o))
                ++read;
            cleanVObjects(list);
        }
    }
    state.counters["items_read"] = read;
    state.SetItemsProcessed(state.iterations() * corpus.bytes.size());
    state.SetBytesProcessed(state.iterations() * corpus.size);
}
BENCHMARK(BM_ReadVcs_LibicalParseMIME)->Unit(benchmark::kMillisecond);

void BM_ReadIcs_ElemsForVCalendarString(benchmark::State& state)
{
    readCalendarsHere(state, icsCorpus());
}
BENCHMARK(BM_ReadIcs_ElemsForVCalendarString)->Unit(benchmark::kMillisecond);

void BM_ReadIcs_LibicalParser(benchmark::State& state)
{
    const CalendarCorpus& corpus = icsCorpus();
    int read = 0;
    for (auto _ : state) {
        read = 0;
        for (const QByteArray& bytes : corpus.bytes) {
            icalcomponent* calendar = icalparser_parse_string(bytes.constData());
            read += calendar ? icalcomponent_count_components(calendar, ICAL_VEVENT_COMPONENT) : 0;
            icalcomponent_free(calendar);
        }
    }
    state.counters["items_read"] = read;
    state.SetItemsProcessed(state.iterations() * corpus.bytes.size());
    state.SetBytesProcessed(state.iterations() * corpus.size);
}
BENCHMARK(BM_ReadIcs_LibicalParser)->Unit(benchmark::kMillisecond);

void BM_WriteVcs_VCalendarGenerator(benchmark::State& state)
{
    std::vector<VXDictionary>& forms = itemForms();
    const QVSyncDeviceDescription& description = *benchDescription();
    qint64 bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        for (VXDictionary& vx : forms)
            bytes += createVCalendarForVXDict(&vx, description, false).size();
    }
    state.counters["chars_written"] = double(bytes);
    state.SetItemsProcessed(state.iterations() * qint64(forms.size()));
}
BENCHMARK(BM_WriteVcs_VCalendarGenerator)->Unit(benchmark::kMillisecond);

} // namespace
