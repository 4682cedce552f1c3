// The phone-dictionary contact converter on arbitrary property lists: each
// input is read as a phonebook entry, the contact form made of it is written
// back for the shipped LG and Motorola descriptions, and what was written is
// read again. An input that looks like a stored contact form ("Main-Dict") is
// also written as it is. Besides "no crash, no hang", it checks that what the
// writer makes is a phone entry the reader takes.
#include "device/QVSyncDeviceDescription.h"
#include "device/qvDeviceDB.h"
#include "formats/MotorolaContactGenerator.h"
#include "formats/MotorolaContactReader.h"
#include "formats/VCardReader.h"
#include "formats/VXDictionary.h"
#include "platform/PropertyList.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

std::vector<std::shared_ptr<QVSyncDeviceDescription>> makeDescriptions()
{
    auto db = std::make_shared<qvDeviceDB>();
    if (!db->openDB(qvDeviceDB::defaultDatabasePath()))
        std::abort();
    std::vector<std::shared_ptr<QVSyncDeviceDescription>> made;
    for (const char* protocol : {"Protocol LG", "Protocol Motorola V3 Series"}) {
        auto description = std::make_shared<QVSyncDeviceDescription>(db);
        if (description->setupFromProtocol(QString::fromLatin1(protocol)) != 0)
            std::abort();
        made.push_back(description);
    }
    return made;
}

[[noreturn]] void failCheck(const char* what)
{
    std::fprintf(stderr, "phonedict fuzzer: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_phonedict";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = [] {
        QLoggingCategory::setFilterRules(QStringLiteral("marvesto.*=false"));
        return new QCoreApplication(argc, argv);
    }();
    (void)app;
    static const auto descriptions = makeDescriptions();
    if (size > 64 * 1024)
        return 0;

    const QVariant input = platform::plist::read(
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));
    const auto card = vCardDictionaryForMotorolaContact(input);
    if (input.typeId() == QMetaType::QVariantMap && !card)
        failCheck("a dictionary was not read");
    for (const auto& description : descriptions) {
        if (card) {
            VXDictionary form = vCardDictionary2VXDictionary(*card, QStringLiteral("1"));
            const QVariantMap written = createMotoDictForVXDict(&form, *description);
            if (!vCardDictionaryForMotorolaContact(written))
                failCheck("a written entry was not read");
            (void)createMotoDictForVXDict(&form, *description);
        }
        if (input.toMap().contains(VXDictionary::kMainDict)) {
            VXDictionary stored(input.toMap());
            (void)createMotoDictForVXDict(&stored, *description);
        }
    }
    return 0;
}
