// Two inputs in one target, chosen by the first byte. Even: the rest is a
// phone's vCalendar text, made into an item whose texts, inspector rows and
// renderings are asked for, then compared with and merged into a stored event
// with an alarm and a rule. Odd: the rest is a property list read as a kit
// calendar entry, made into an item form and written back for the shipped LG
// and Motorola descriptions, and the written entry read again.
#include "device/QVSyncDeviceDescription.h"
#include "device/qvDeviceDB.h"
#include "formats/MotorolaCalendarConverter.h"
#include "formats/VCalendarConversion.h"
#include "formats/VXDictionary.h"
#include "platform/PropertyList.h"
#include "syncmodel/DeviceDescriptionLimits.h"
#include "syncmodel/QVVCalendarElem.h"
#include "syncmodel/SyncElemLookup.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QMap>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

const char* const kProtocols[] = {"Protocol LG", "Protocol Motorola V3 Series", "Protocol Series 40", "Export-2.1"};

const QString kStored = QStringLiteral(
    "BEGIN:VCALENDAR\r\nVERSION:1.0\r\nBEGIN:VEVENT\r\nSUMMARY:Meeting\r\nDESCRIPTION:agenda\r\n"
    "LOCATION:Room 4\r\nDTSTART:20071005T090000\r\nDTEND:20071005T100000\r\nDALARM:20071005T084500\r\n"
    "AALARM:20071005T080000\r\nRRULE:W2 MO TU #5\r\nCATEGORIES:MEETING\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n");

class QuietCalendarList : public SyncElemLookup {
public:
    bool fromEngine = true;
    bool fromDevice = true;
    bool master = false;
    std::shared_ptr<QVSyncElem> getItemForIdentity(const QString&) override { return nullptr; }
    bool wantsSyncChangesFromEngine(int) override { return fromEngine; }
    bool wantsSyncChangesFromDevice(int) override { return fromDevice; }
    void addChangeForSyncEngine(const platform::SyncChange&) override { }
    void tellSyncEngineAboutNewElem(const std::shared_ptr<QVSyncElem>&, bool) override { }
    void addElemForDeletion(const std::shared_ptr<QVSyncElem>&) override { }
    void addElem(const std::shared_ptr<QVSyncElem>&) override { }
    void removeElem(const std::shared_ptr<QVSyncElem>&) override { }
    bool isMobileMaster(int) override { return master; }
};

QMap<QString, std::shared_ptr<SyncDeviceLimits>> installDescriptions()
{
    auto db = std::make_shared<qvDeviceDB>();
    if (!db->openDB(qvDeviceDB::defaultDatabasePath()))
        std::abort();
    QMap<QString, std::shared_ptr<SyncDeviceLimits>> known;
    for (const char* protocol : kProtocols) {
        auto description = std::make_shared<QVSyncDeviceDescription>(db);
        if (description->setupFromProtocol(QString::fromLatin1(protocol)) != 0)
            std::abort();
        known.insert(QString::fromLatin1(protocol), std::make_shared<DeviceDescriptionLimits>(description));
    }
    SyncDeviceLimits::setResolver([known](const QString& protocol) { return known.value(protocol); });
    return known;
}

[[noreturn]] void failCheck(const char* what)
{
    std::fprintf(stderr, "calendaritem fuzzer: %s\n", what);
    std::abort();
}

void runText(const QByteArray& bytes, uint8_t selector)
{
    const QString protocol = QString::fromLatin1(kProtocols[(selector >> 1) % std::size(kProtocols)]);
    const auto description = SyncDeviceLimits::fromProtocol(protocol);
    const auto incoming = QVVCalendarElem::elemWithData(bytes, QStringLiteral("2"), protocol, QStringLiteral("Phone"),
                                                        QString());
    if (!incoming)
        failCheck("no item");
    (void)incoming->getIdentityString();
    (void)incoming->getIdentityStringWithHours();
    (void)incoming->description();
    (void)incoming->allContentString();
    (void)incoming->fromToString();
    (void)incoming->dueString();
    (void)incoming->lastOccurrence();
    QStringList labels, contents;
    QList<quint32> codes;
    (void)incoming->getFullDisplayData(labels, contents, codes);
    if (labels.size() != contents.size() || labels.size() != codes.size())
        failCheck("inspector rows of different lengths");
    (void)incoming->vxDataForDevice(description);
    (void)incoming->foreignVCalendarRepresentation20();
    (void)incoming->foreignVCalendarRepresentation10();
    (void)incoming->getVCardCalDictionary();

    const auto stored = QVVCalendarElem::elemWithData(kStored, QStringLiteral("1"), protocol, QStringLiteral("Phone"),
                                                      QString());
    if (!stored->vxDict())
        failCheck("the stored event did not read");
    (void)stored->vxDataForDevice(description);
    (void)stored->acceptChangesForElem(*incoming);
    stored->acceptParamChangesForElem(*incoming);
    QuietCalendarList list;
    list.fromEngine = (selector & 0x10) == 0;
    list.fromDevice = (selector & 0x20) == 0;
    list.master = (selector & 0x40) != 0;
    stored->mergeElement(*incoming, &list);
    (void)stored->acceptChangesForElem(*incoming);
}

void runEntry(const QByteArray& bytes, const QMap<QString, std::shared_ptr<SyncDeviceLimits>>& known)
{
    const QVariant input = platform::plist::read(bytes);
    const auto item = vCalendarDictionaryForMotorolaEventOrTask(input, (bytes.size() & 1) != 0);
    if (input.typeId() == QMetaType::QVariantMap && !item)
        failCheck("a dictionary was not read");
    if (!item)
        return;
    for (const char* protocol : {"Protocol LG", "Protocol Motorola V3 Series"}) {
        const QVSyncDeviceDescription* description = fullDescriptionOf(known.value(QString::fromLatin1(protocol)));
        VXDictionary form = vCalendarDictionary2VXDictionary(item->map(), QStringLiteral("1"));
        const bool task = form.mainObjectForKey(platform::ISyncRecordEntityNameKey) == platform::entity::Task;
        const QVariantMap written = task ? createMotoTaskDictForVXDict(&form, *description)
                                         : createMotoEventDictForVXDict(&form, *description);
        if (!vCalendarDictionaryForMotorolaEventOrTask(written, true))
            failCheck("a written entry was not read");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_calendaritem";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = [] {
        QLoggingCategory::setFilterRules(QStringLiteral("marvesto.*=false"));
        return new QCoreApplication(argc, argv);
    }();
    (void)app;
    static const auto known = installDescriptions();
    if (size == 0 || size > 64 * 1024)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    if (data[0] & 1)
        runEntry(bytes, known);
    else
        runText(bytes, data[0]);
    return 0;
}
