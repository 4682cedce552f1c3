// The vCard writer on contact item forms made from arbitrary property lists:
// the bytes choose keys from the writer's vocabulary (so the lists, relations
// and sub-records are reached) and values of every kind, right or wrong. Each
// form is written for the shipped export, unique-type, Gigaset, untyped-fax,
// seven-slot and IrMC descriptions; every result must be one whole vCard.
#include "device/QVSyncDeviceDB.h"
#include "device/QVSyncDeviceDescription.h"
#include "device/qvDeviceDB.h"
#include "formats/VCardGenerator.h"
#include "formats/VXDictionary.h"

#include <QDateTime>
#include <QGuiApplication>
#include <QImageReader>
#include <QUrl>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

const char* const kWords[] = {
    "last name", "first name", "middle name", "title", "suffix", "company name", "department", "job title",
    "birthday", "notes", "image", "phone numbers", "email addresses", "URLs", "street addresses",
    "Tarnex:0", "Tarnex:1", "Tarnex:2", "Tarnex:3", "Tarnex:4", "Tarnex:5", "type", "value", "label",
    "street", "city", "state", "postal code", "country", "Key", "Values", "home", "work", "mobile",
    "home fax", "work fax", "other", "pager", "main", "mobile home", "mobile work", "HOME", "WORK", "FAX",
    "CELL", "OTHER", "PREF", "CHARSET", "ENCODING", "UTF-8", "ISO-8859-1", "ringtone", "T-1", "5", "",
    "a;b", "line\r\nbreak", "J\xC3\xB6rg", "=", "X-SLOT",
};
const char* const kSections[] = {
    "Main-Dict", "XXX-OtherItems", "XXX-DeviceItems", "XXX-Relations-phone numbers",
    "XXX-Relations-email addresses", "XXX-Relations-URLs", "XXX-Relations-street addresses", "XXX-SentItems",
};

class Bytes {
public:
    Bytes(const uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    bool done() const { return m_at >= m_size; }
    uint8_t byte() { return done() ? 0 : m_data[m_at++]; }
    QByteArray take(std::size_t count)
    {
        count = std::min(count, m_size - std::min(m_at, m_size));
        QByteArray bytes(reinterpret_cast<const char*>(m_data + m_at), qsizetype(count));
        m_at += count;
        return bytes;
    }

private:
    const uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

QString word(Bytes& in)
{
    return QString::fromUtf8(kWords[in.byte() % std::size(kWords)]);
}

QVariant valueFrom(Bytes& in, int depth)
{
    switch (in.byte() % 10) {
    case 0:
    case 1:
        return word(in);
    case 2:
        return QString::fromUtf8(in.take(in.byte() % 24));
    case 3:
        return int(int8_t(in.byte()));
    case 4:
    case 5: {
        QVariantList list;
        const int count = depth > 0 ? in.byte() % 6 : 0;
        for (int i = 0; i < count && !in.done(); ++i)
            list.append(valueFrom(in, depth - 1));
        return list;
    }
    case 6:
    case 7: {
        QVariantMap map;
        const int count = depth > 0 ? in.byte() % 6 : 0;
        for (int i = 0; i < count && !in.done(); ++i)
            map.insert(word(in), valueFrom(in, depth - 1));
        return map;
    }
    case 8:
        return in.take(in.byte() * 4);
    default:
        switch (in.byte() % 3) {
        case 0:
            return QDateTime::fromSecsSinceEpoch(qint64(in.byte()) * 86400 * 200);
        case 1:
            return QUrl(QString::fromUtf8(in.take(in.byte() % 24)));
        default:
            return QVariant();
        }
    }
}

struct Writer {
    std::shared_ptr<QVSyncDeviceDescription> description;
    QString lineEnd;
};

std::vector<Writer>& writers()
{
    static std::vector<Writer> all = [] {
        std::vector<Writer> made;
        auto db = std::make_shared<qvDeviceDB>();
        if (!db->openDB(qvDeviceDB::defaultDatabasePath()))
            std::abort();
        for (const char* protocol : {"Export-2.1", "Export-3.0", "Protocol Motorola V3 Series", "Protocol Gigaset",
                                     "Samsung AT", "Protocol Siemens IrMC", "Sony seven slots"}) {
            auto description = std::make_shared<QVSyncDeviceDescription>(db);
            if (description->setupFromProtocol(QString::fromLatin1(protocol)) != 0)
                std::abort();
            made.push_back({description, description->vCardVersion() == 0x21 ? QStringLiteral("\r\n")
                                                                               : QStringLiteral("\r")});
        }
        // An unknown protocol reads the fallback row: make it a seven-slot one.
        made.back().description->setDeviceFieldLengths({{QStringLiteral("SyncML.vxFormat"), QStringLiteral("Sony")},
                                                        {QStringLiteral("SyncML.MaxNo_PhoneNumbers"), 7},
                                                        {QStringLiteral("SyncML.Unique_PhoneNumberType"), 1}});
        return made;
    }();
    return all;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_vcardwriter";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QImageReader::setAllocationLimit(16);
        return new QGuiApplication(argc, argv);
    }();
    (void)app;

    Bytes in(data, size);
    QVariantMap form;
    const int sections = in.byte() % 9;
    for (int i = 0; i < sections && !in.done(); ++i)
        form.insert(QString::fromLatin1(kSections[in.byte() % std::size(kSections)]), valueFrom(in, 3));
    const QString source = word(in);
    const uint8_t flags = in.byte();
    for (const Writer& writer : writers()) {
        VXDictionary vx(form);
        const QString vCard = createVCardForVXDict(&vx, *writer.description, flags & 1, flags & 2, source);
        if (!vCard.startsWith(QStringLiteral("BEGIN:VCARD") + writer.lineEnd)
            || !vCard.endsWith(writer.lineEnd + QStringLiteral("END:VCARD") + writer.lineEnd))
            std::abort();
    }
    return 0;
}
