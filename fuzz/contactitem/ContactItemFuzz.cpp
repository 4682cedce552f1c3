// The contact item on arbitrary phone text: the item maker, its names, card
// rows and renderings, change detection and parameter take-over against a
// stored contact, and the merge of the new contact into the stored one. The
// descriptions are the shipped LG, Series 40 and export ones.
#include "device/QVSyncDeviceDescription.h"
#include "device/qvDeviceDB.h"
#include "syncmodel/DeviceDescriptionLimits.h"
#include "syncmodel/QVVCardElem.h"
#include "syncmodel/SyncElemLookup.h"

#include <QGuiApplication>
#include <QImageReader>
#include <QMap>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

const char* const kProtocols[] = {"Protocol LG", "Protocol Series 40", "Export-2.1", "Export-3.0"};

const QString kStored = QStringLiteral(
    "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Smith;Ann;B;Dr.;Jr.\r\nORG:Acme;Sales\r\nTITLE:Boss\r\n"
    "TEL;HOME:+49 30 1234567\r\nTEL;CELL:0170 555\r\nEMAIL;INTERNET:ann@example.org\r\n"
    "URL:http://example.org/\r\nADR;HOME:;;Main St 1;Springfield;;12345;Freedonia\r\nBDAY:19800704\r\n"
    "NOTE:old notes\r\nX-RING:1\r\nEND:VCARD\r\n");

// Takes every request and records nothing.
class QuietList : public SyncElemLookup {
public:
    bool fromEngine = true;
    bool fromDevice = true;
    std::shared_ptr<QVSyncElem> getItemForIdentity(const QString&) override { return nullptr; }
    bool wantsSyncChangesFromEngine(int) override { return fromEngine; }
    bool wantsSyncChangesFromDevice(int) override { return fromDevice; }
    void addChangeForSyncEngine(const platform::SyncChange&) override { }
    void tellSyncEngineAboutNewElem(const std::shared_ptr<QVSyncElem>&, bool) override { }
    void addElemForDeletion(const std::shared_ptr<QVSyncElem>&) override { }
    void addElem(const std::shared_ptr<QVSyncElem>&) override { }
    void removeElem(const std::shared_ptr<QVSyncElem>&) override { }
};

void installDescriptions()
{
    auto db = std::make_shared<qvDeviceDB>();
    if (!db->openDB(qvDeviceDB::defaultDatabasePath()))
        std::abort();
    auto known = std::make_shared<QMap<QString, std::shared_ptr<SyncDeviceLimits>>>();
    for (const char* protocol : kProtocols) {
        auto description = std::make_shared<QVSyncDeviceDescription>(db);
        if (description->setupFromProtocol(QString::fromLatin1(protocol)) != 0)
            std::abort();
        known->insert(QString::fromLatin1(protocol), std::make_shared<DeviceDescriptionLimits>(description));
    }
    SyncDeviceLimits::setResolver([known](const QString& protocol) { return known->value(protocol); });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_contactitem";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QImageReader::setAllocationLimit(16);
        auto* made = new QGuiApplication(argc, argv);
        installDescriptions();
        return made;
    }();
    (void)app;
    if (size > 64 * 1024)
        return 0;

    const uint8_t selector = size > 0 ? data[0] : 0;
    const QString protocol = QString::fromLatin1(kProtocols[selector % std::size(kProtocols)]);
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto incoming = QVVCardElem::elemWithData(text, QStringLiteral("2"), protocol, QStringLiteral("Phone"),
                                                    QString());
    if (!incoming)
        return 0;

    (void)incoming->getIdentityString();
    (void)incoming->entryName();
    (void)incoming->fullNameLastFirst();
    (void)incoming->formattedFullName();
    (void)incoming->elemDescription();
    (void)incoming->allContentString();
    (void)incoming->getBirthday();
    (void)incoming->imageWithSize(QSize(32, 32));
    QStringList labels, contents;
    QList<quint32> codes;
    (void)incoming->getFullDisplayData(labels, contents, codes);
    if (labels.size() != contents.size() || labels.size() != codes.size())
        std::abort();
    incoming->formatAllEntries();
    incoming->complementTypeInfo();
    const QVariant rendering = incoming->vxDataForDevice(SyncDeviceLimits::fromProtocol(protocol));
    if (rendering.isValid() && !rendering.toString().startsWith(QStringLiteral("BEGIN:VCARD")))
        std::abort();
    (void)incoming->foreignVCard30Representation(QSize(-1, -1));

    const auto stored = QVVCardElem::elemWithData(kStored, QStringLiteral("1"), protocol, QStringLiteral("Phone"),
                                                  QString());
    if (!stored)
        std::abort();
    (void)stored->vxDataForDevice(SyncDeviceLimits::fromProtocol(protocol));
    (void)stored->acceptChangesForElem(*incoming);
    stored->acceptParamChangesForElem(*incoming);

    QuietList list;
    list.fromDevice = (selector & 0x10) == 0;
    stored->mergeElement(*incoming, &list);
    (void)stored->acceptChangesForElem(*incoming);
    return 0;
}
