#pragma once

#include <QByteArray>
#include <QImage>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

#include <array>
#include <functional>
#include <optional>

class QVSyncDeviceDescription;
class VXDictionary;

// Field names of a contact's item form.
namespace contactkey {
inline constexpr const char* kLastName = "last name";
inline constexpr const char* kFirstName = "first name";
inline constexpr const char* kMiddleName = "middle name";
inline constexpr const char* kTitle = "title";                 // the name prefix
inline constexpr const char* kSuffix = "suffix";
inline constexpr const char* kCompanyName = "company name";
inline constexpr const char* kDepartment = "department";
inline constexpr const char* kJobTitle = "job title";
inline constexpr const char* kBirthday = "birthday";
inline constexpr const char* kNotes = "notes";
inline constexpr const char* kImage = "image";
// Lists of sub-record ids.
inline constexpr const char* kPhoneNumbers = "phone numbers";
inline constexpr const char* kEmailAddresses = "email addresses";
inline constexpr const char* kURLs = "URLs";
inline constexpr const char* kStreetAddresses = "street addresses";
// Fields of an address sub-record.
inline constexpr const char* kStreet = "street";
inline constexpr const char* kCity = "city";
inline constexpr const char* kState = "state";
inline constexpr const char* kPostalCode = "postal code";
inline constexpr const char* kCountry = "country";
} // namespace contactkey

// The vCard 2.1 or 3.0 text of one contact for one device description, or a
// null string when there is no item form or the description's version is
// neither. With forDevice the item form's sent list is emptied first and then
// records every field and sub-record written, and the relations of the
// sub-records fitted into the phone's slots are stored in the item form.
QString createVCardForVXDict(VXDictionary* vxDict, const QVSyncDeviceDescription& description,
                             bool withDeviceSpecifics, bool forDevice, const QString& sourceURI);

// JPEG data of an image at a compression factor (1.0 is the best quality).
using JPEGEncoder = std::function<QByteArray(const QImage& image, double factor)>;
// The photo to send for a byte limit: JPEG data within the limit as it is;
// anything else decoded, flattened and encoded as JPEG at 1.0, then at 0.6,
// then both sides shrunk by 0.8 at 1.0, at 0.6 again and so on, until the
// JPEG fits. Null when the data is no image or a side would fall below 12.
QByteArray photoDataWithinLimit(const QByteArray& data, long limit, const JPEGEncoder& encode);
QByteArray photoDataWithinLimit(const QByteArray& data, long limit);

// The ADR line of an address sub-record: the street's first line is the
// extended address when it has two lines or more, its second the post-office
// box when it has three or more (lines end at CR, LF or CR LF); clean fields
// escaped, others quoted (UTF-8 without a character set).
QString addressString(const QVariant& address, const QString& typeText, const QString& charset = QString());
bool isCleanASCIIAddress(const QVariant& address);

// Writes one vCard; lives for one createVCardForVXDict call.
class VCardGenerator {
public:
    VCardGenerator(const QVSyncDeviceDescription& description, VXDictionary* vxDict, bool withDeviceSpecifics,
                   bool forDevice, const QString& sourceURI);

    QString produceVCard();

    void appendVCardLine(const QString& line);
    QString getCRLF() const;
    // The main record's text value; empty when missing or not a text.
    QString nonNilMainObject(const QString& key) const;
    // "WORD" for 2.1, "type=WORD" for 3.0.
    QString typeString(const QString& word) const;
    QString typeStringForItem(const QVariant& subRecord) const;
    // For an export: the parameter list without "type" OTHER and without the
    // phone-side parameters; unchanged otherwise.
    QVariantList filterDeviceSpecifics(const QVariantList& params) const;
    void addPhotoItem();
    void addDeviceSpecifics();
    // Bookkeeping in the item form, only when writing for the phone.
    void rememberItem(const QString& key);
    void setDeviceRelation(const QVariantList& params, const QString& listKey, const QString& uuid);

    void addPhones();
    void addEmails();
    void addURLs();
    void addStreetAddresses();

private:
    enum class ListKind { Phone, Email, URL, Address };
    // The slot a written entry takes; for telephones all of them, for the
    // other lists HOME and WORK only.
    enum Slot { Untyped, Home, Work, Mobile, HomeFax, WorkFax, HomeMobile, WorkMobile, SlotCount };
    enum class Kind { None, Home, Work, Mobile, HomeFax, WorkFax, Fax };

    // One list being written.
    struct ListRun {
        ListKind kind;
        QString listKey;
        QStringList ids;
        QSet<QString> idSet;
        qsizetype written = 0;          // ids of the list marked written
        qsizetype firstOpen = 0;        // no id before it is still open
        long limit = 0;
        bool unique = false;
        int count = 0;
        std::array<int, SlotCount> slots{};
    };
    struct BuiltParams {
        QString typeText;           // without a leading ";"
        Kind kind = Kind::None;
    };

    void addList(ListKind kind, const char* listKey, const char* limitKey, const char* uniqueKey);
    bool beginList(ListRun& run, ListKind kind, const char* listKey, const char* limitKey, const char* uniqueKey);
    bool isDone(const ListRun& run) const;
    QVariant subRecord(const ListRun& run, const QString& uuid) const;
    bool isEmptyEntry(const ListRun& run, const QVariant& subRecord) const;
    QString entryLine(const ListRun& run, const QVariant& subRecord, const QString& typeText) const;
    BuiltParams buildParams(const ListRun& run, const QVariantList& params) const;
    // The next not yet written entry of a type (of any type when allowed or
    // when type is null), marked written; empty entries are marked and passed
    // over.
    QString nextForType(ListRun& run, const char* type, bool allowOtherTypes);
    void markWritten(ListRun& run, const QString& uuid);
    // The stored parameter list of a sub-record still in the list; a stale
    // relation is deleted on the way.
    std::optional<QVariantList> storedParams(const ListRun& run, const QString& uuid, const QVariant& relation);
    void writeNew(ListRun& run, const QString& uuid, const QString& typeText, const QVariantList& relation);
    void writeTyped(ListRun& run, const char* type, bool allowOtherTypes, const QStringList& words);
    void writeStored(ListRun& run);
    void writeStoredPhones(ListRun& run);
    bool slotFree(const ListRun& run, Kind kind) const;
    void takeSlot(ListRun& run, Kind kind) const;
    void writeUntyped(ListRun& run);
    void writeUniqueSweeps(ListRun& run);

    void addName();
    void addOrganization();
    // A text property: in 3.0 escaped (createEncodedTextLine30), in 2.1 as
    // createEncodedLine writes it.
    QString textLine(const QString& name, const QString& value) const;
    // The ADR line: in 2.1 as addressString writes it, in 3.0 each component
    // escaped (escapedText30) and quoted only when one is still no clean ASCII.
    QString addressLine(const QVariant& address, const QString& typeText) const;

    const QVSyncDeviceDescription& _syncDescription;
    VXDictionary* _vxDict;
    QString _curVCard;
    QSet<QString> _addedUUIDs;
    bool _addDeviceSpecifics;
    bool _forDevice;
    QString _sourceURI;
    bool _untypedFax = false;
    bool _sevenSlots = false;
    int _version;
};
