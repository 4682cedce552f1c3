// The item list's hot path: reading a stored desktop sync list of 2,000
// contacts (two numbers and an e-mail address each) from its property-list
// bytes, looking every contact up by identity and by record id, and writing
// the list back to bytes; beside it the sync hub's slow push of the same
// 2,000 contacts. Then single lookups in lists of 2,000 and 20,000 contacts,
// also right after the item asked for was changed (its identity refiled).
// Items per second are contacts (or lookups) per second.
#include "platform/PropertyList.h"
#include "platform/SyncChange.h"
#include "syncengine/ISyncClient.h"
#include "syncengine/ISyncManager.h"
#include "syncengine/ISyncSession.h"
#include "syncengine/SyncEngineNames.h"
#include "syncmodel/ItemListDevice.h"
#include "syncmodel/QVSyncElemList.h"
#include "syncmodel/QVVCardElem.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

const QString kSyncTime = QStringLiteral("2026-12-01 10:00:00 +0000");
const QStringList kHubEntities{platform::entity::Contact, platform::entity::PhoneNumber,
                               platform::entity::EmailAddress};

class BenchDevice : public ItemListDevice {
public:
    bool wantsSyncChangesFromEngine(int) override { return true; }
    bool wantsSyncChangesFromDevice(int) override { return true; }
    bool isMobileMaster(int) override { return false; }
    int maxContacts() override { return 0; }
    QString newFreeTID() override { return QStringLiteral("T-%1").arg(++m_tid); }
    const void* notificationSender() override { return this; }
    bool wantsToUseSyncEngineForProperty(int) override { return true; }
    int syncDirectionsModus(int) override { return 3; }
    QVariant lastSyncTime(int) override { return kSyncTime; }

private:
    int m_tid = 0;
};

BenchDevice& benchDevice()
{
    static BenchDevice device;
    return device;
}

QString contactId(int i)
{
    return QStringLiteral("Tarnex:contact-%1").arg(i);
}

VXDictionary contactDict(int i)
{
    VXDictionary vx;
    vx.setMainObject(QStringLiteral("First%1").arg(i), QStringLiteral("first name"));
    vx.setMainObject(QStringLiteral("Last%1").arg(i), QStringLiteral("last name"));
    vx.setMainObject(QStringLiteral("Company %1").arg(i % 97), QStringLiteral("company name"));
    QVariantList phones;
    for (int n = 0; n < 2; ++n) {
        const QString id = QStringLiteral("Tarnex:phone-%1-%2").arg(i).arg(n);
        vx.setOtherObject(QVariantMap{{QStringLiteral("type"), n == 0 ? QStringLiteral("mobile") : QStringLiteral("home")},
                                      {QStringLiteral("value"),
                                       QStringLiteral("+49151%1%2").arg(i, 6, 10, QLatin1Char('0')).arg(n)}},
                          id);
        phones.append(id);
    }
    vx.setMainObject(phones, QStringLiteral("phone numbers"));
    const QString mail = QStringLiteral("Tarnex:mail-%1").arg(i);
    vx.setOtherObject(QVariantMap{{QStringLiteral("type"), QStringLiteral("work")},
                                  {QStringLiteral("value"), QStringLiteral("first%1@example.org").arg(i)}},
                      mail);
    vx.setMainObject(QVariantList{mail}, QStringLiteral("email addresses"));
    return vx;
}

std::unique_ptr<QVSyncElemList> makeList(int contacts)
{
    auto list = QVSyncElemList::fromFileDictionary(std::nullopt, QStringLiteral("Contacts"), 0, &benchDevice());
    for (int i = 0; i < contacts; ++i) {
        const VXDictionary vx = contactDict(i);
        list->addObject(list->createNewElemWithDict(&vx, QString::number(i + 1), contactId(i), QString(), QString(),
                                                    QString()));
    }
    return list;
}

// The stored file of a list of 2,000 contacts.
const QByteArray& storedBytes()
{
    static const QByteArray bytes = platform::plist::toXml(*makeList(2000)->syncDictionaryForFile());
    return bytes;
}

void BM_ReadLookUpAndWriteAStoredList(benchmark::State& state)
{
    const QByteArray& bytes = storedBytes();
    qint64 contacts = 0;
    for (auto _ : state) {
        auto list = QVSyncElemList::fromFileDictionary(platform::plist::read(bytes).toMap(), QStringLiteral("Contacts"),
                                                       0, &benchDevice());
        contacts = list->allCount();
        for (const auto& elem : list->allElems()) {
            const auto* contact = static_cast<const QVVCardElem*>(elem.get());
            if (list->getItemForIdentity(contact->getIdentityString()) != elem ||
                list->objectForUUID(contact->elemUUID()) != elem) {
                state.SkipWithError("a contact was not found by its identity or record id");
                return;
            }
        }
        benchmark::DoNotOptimize(platform::plist::toXml(*list->syncDictionaryForFile()));
    }
    if (contacts != 2000)
        state.SkipWithError("the stored list did not read back whole");
    state.SetItemsProcessed(state.iterations() * contacts);
}
BENCHMARK(BM_ReadLookUpAndWriteAStoredList)->Unit(benchmark::kMillisecond);

void BM_HubSlowPushOfTheSameContacts(benchmark::State& state)
{
    using namespace platform;
    constexpr int contacts = 2000;
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        auto manager = std::make_unique<ISyncManager>(dir.filePath(QStringLiteral("SyncEngine.db")));
        QVariantList entities;
        for (const QString& e : kHubEntities)
            entities.append(e);
        const QString description = dir.filePath(QStringLiteral("client.plist"));
        plist::writeFile(description, QVariantMap{{ISyncClientDescriptionEntitiesKey, entities}});
        auto desktop = manager->registerClientWithIdentifier(QStringLiteral("desktop"), description);
        state.ResumeTiming();
        auto session = ISyncSession::beginSessionWithClient(desktop, kHubEntities, {});
        for (int i = 0; i < contacts; ++i) {
            VXDictionary vx = contactDict(i);
            QVariantMap main = vx.mainDict();
            main.insert(ISyncRecordEntityNameKey, entity::Contact);
            main.remove(QStringLiteral("phone numbers"));
            main.remove(QStringLiteral("email addresses"));
            session->pushChangesFromRecord(main, contactId(i));
            const QVariantMap others = vx.otherDict();
            for (auto it = others.cbegin(); it != others.cend(); ++it) {
                QVariantMap sub = it.value().toMap();
                sub.insert(ISyncRecordEntityNameKey,
                           it.key().contains(QLatin1String("phone")) ? entity::PhoneNumber : entity::EmailAddress);
                sub.insert(QStringLiteral("contact"), QVariantList{contactId(i)});
                session->pushChangesFromRecord(sub, it.key());
            }
        }
        session->finishSyncing();
    }
    state.SetItemsProcessed(state.iterations() * contacts);
}
BENCHMARK(BM_HubSlowPushOfTheSameContacts)->Unit(benchmark::kMillisecond)->Iterations(2);

// One lookup by identity and one by record id per item asked, rotating
// through the list; with a change first the item's keys are refiled.
void lookups(benchmark::State& state, bool changeFirst)
{
    const int contacts = int(state.range(0));
    auto list = makeList(contacts);
    std::vector<std::pair<QString, QString>> keys;
    for (const auto& elem : list->allElems())
        keys.emplace_back(elem->getIdentityString().toUpper(), static_cast<QVVCardElem*>(elem.get())->elemUUID());
    size_t next = 0;
    for (auto _ : state) {
        const auto& [identity, uuid] = keys[next];
        const auto& elem = list->allElems()[next];
        next = (next + 7919) % keys.size();
        if (changeFirst)
            elem->setChanged();
        benchmark::DoNotOptimize(list->getItemForIdentity(identity));
        benchmark::DoNotOptimize(list->objectForUUID(uuid));
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_LookupByIdentityAndRecordId(benchmark::State& state)
{
    lookups(state, false);
}
BENCHMARK(BM_LookupByIdentityAndRecordId)->Arg(2000)->Arg(20000)->Unit(benchmark::kNanosecond);

void BM_LookupRightAfterAChange(benchmark::State& state)
{
    lookups(state, true);
}
BENCHMARK(BM_LookupRightAfterAChange)->Arg(2000)->Arg(20000)->Unit(benchmark::kNanosecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
