#pragma once

#include "formats/VCardReader.h"
#include "syncmodel/QVSyncEngineElem.h"

#include <QByteArray>
#include <QDateTime>
#include <QImage>
#include <QSize>

#include <functional>
#include <vector>

class QVSyncDeviceDescription;

// A contact of the phone: its item form in the shape of the desktop contacts
// schema, read from the phone's vCard text and rendered back for each phone
// model or for export, fitted to the phone's limits. It applies the desktop's
// changes, names itself for the organizer windows, merges a phone duplicate
// into itself and turns a new phone version into desktop changes.
//
// The implementation is split: QVVCardElem.cpp (making, rendering, limits,
// applying changes), QVVCardElemDisplay.cpp (names, accessors, card rows),
// QVVCardElemMerge.cpp and QVVCardElemChanges.cpp.
class QVVCardElem : public QVSyncEngineElem {
public:
    // Type codes of the card rows (four characters read big-endian).
    static constexpr quint32 kNameCode = 0x6E616D65;      // 'name'
    static constexpr quint32 kSeparatorCode = 0x6E697820; // 'nix '
    static constexpr quint32 kPhoneCode = 0x70686F6E;     // 'phon'
    static constexpr quint32 kMailCode = 0x6D61696C;      // 'mail'
    static constexpr quint32 kURLCode = 0x75726C20;       // 'url '
    static constexpr quint32 kAddressCode = 0x61646472;   // 'addr'
    static constexpr quint32 kBirthdayCode = 0x62646179;  // 'bday'
    static constexpr quint32 kNoteCode = 0x6E6F7465;      // 'note'
    static const QString kNoIdentity;                     // "### NO IDENTITY ###"
    static const QString kExportProtocol30;               // "Export-3.0"

    // From an item form (deep-copied) or, with none, an empty contact.
    QVVCardElem(const VXDictionary* dict, const QString& uuid, const QString& sourceURI, const QString& protocol,
                const QString& device, const QString& parent);

    // From the phone's vCard text (the first card); null for text holding no
    // card (logged to "XT"). Without text an empty contact with a new record id.
    static std::shared_ptr<QVVCardElem> elemWithData(const QVariant& data, const QString& sourceURI,
                                                     const QString& protocol, const QString& device,
                                                     const QString& parent);
    static std::shared_ptr<QVVCardElem> vCardWithDict(const VXDictionary* dict, const QString& uuid,
                                                      const QString& sourceURI, const QString& protocol,
                                                      const QString& device, const QString& parent);

    // Rendering. Both calls share one cached text, dropped by setChanged.
    QVariant vxDataForDevice(const std::shared_ptr<SyncDeviceLimits>& description) override;
    QVariant vxDataForDescription(const std::shared_ptr<SyncDeviceLimits>& description) override;
    void invalidateVCardString() { _vcardString = QString(); }
    QString foreignVCardRepresentation(bool withDeviceSpecifics = true);
    // A size of -1 x -1 leaves the photo out; any other keeps it.
    QString foreignVCard21Representation(const QSize& imageSize);
    QString foreignVCard30Representation(const QSize& imageSize);
    QByteArray foreignVCard30DataRepresentation(const QSize& imageSize);
    QVariant getVCardCalDictionary() const override;

    // vCard text fitted to the phone's description.
    QString fixIllegalCharset(const QString& text) const;
    QString addCharsetInfo(const QString& text) const;
    QString removeIgnoreItems(const QString& text) const;

    // Identity for duplicate detection, computed once.
    QString getIdentityString() const override;
    void setHasOnlyFirstLast(bool onlyFirstLast) { _hasOnlyFirstLast = onlyFirstLast; }

    // Field limits of the phone model (no description or 0: no limit).
    QString formattedCompany(const QString& value) const;
    QString formattedFirstName(const QString& value) const;
    QString formattedLastName(const QString& value) const;
    QString formattedJobTitle(const QString& value) const;
    QString formattedNotes(const QString& value) const;
    QString formattedStreet(const QString& value) const;
    QString formattedCity(const QString& value) const;
    QString formattedState(const QString& value) const;
    QString formattedZip(const QString& value) const;
    QString formattedCountry(const QString& value) const;
    QString formattedPhoneNumber(const QString& value) const;
    QString formattedEmail(const QString& value) const;
    QString formattedURL(const QString& value) const;
    QVariant getFormattedString(const QVariant& value, const QString& fieldName) const override;
    QString getFieldName(const QVariantMap& record, const QString& fieldKey) const override;
    bool isValidPhoneNumberChar(QChar c) const;
    bool mustBeUnique(const QString& key) const;
    void formatAllEntries() override;
    // The first name shortened so that it fits beside the last name into a
    // combined limit.
    QString evaluateFirstLastCombi(long limit) const;

    QStringList getMainSyncItems() const override;
    QString mainDictFieldForCommandType(const QString& type) const override;

    // Applying the desktop's changes.
    bool processSyncEngineChange(const QString& recordId, const QVariantMap& change) override;
    QVariantMap* getOrCreateDictForUUID(const QString& uuid) override;
    void deleteSubItem(const QString& uuid) override;
    void removeRelationForSubItem(const QString& uuid);
    bool removeItemsForEntity(const QString& entityName) override;
    void removeDeviceRelations() override;
    void setChanged() override;
    void complementTypeInfo();
    void complementTypeInfoForType(const QString& listKey);
    static void makeSubEntryValid(QVariantMap& subRecord, const QString& listKey);

    void addRecordToList(QVariantList& list) const override;
    void inheritedFromZombie(const QVSyncElem& zombie) override;
    // Every contact when the list is empty (no groups requested).
    bool isMemberOfRequestedGroups(const QStringList& groups) override;

    // Accessors for the windows.
    QString company() const;
    QString getJobTitle() const;
    QString getDepartment() const;
    QString getNotes() const;
    QByteArray getImageData() const;
    QDateTime getBirthday() const;
    QVariantList getPhones() const;
    QVariantList getEmails() const;
    QVariantList getURLs() const;
    QVariantList getAddresses() const;
    QStringList getAllElementUUIDs() const override;
    void setImageData(const QByteArray& data);
    QImage originalImage() const;
    QImage imageWithSize(const QSize& size) const;
    void setOriginalImage(const QImage& image);
    static QString purePhoneNumber(const QString& text);

    // Names and sorting.
    QString entryName() const;
    QString fullName() const;
    QString fullNameLastFirst() const;
    QString formattedFullName() const;
    QString elemDescription() const override;
    QString description() const override;
    QString firstString() const;
    QString lastString() const;
    QString orgString() const;
    QString onPhoneString() const;
    int firstComparisation(const QVSyncElem& other) const override;
    int lastComparisation(const QVSyncElem& other) const override;
    int orgComparisation(const QVSyncElem& other) const override;
    int onPhoneComparisation(const QVSyncElem& other) const override;
    int defaultComparisation(const QVSyncElem& other) const override;
    // Built on first use, dropped by setChanged.
    QString allContentString() const override;

    // Card rows; NO without an item form.
    bool getFullDisplayData(QStringList& labels, QStringList& contents, QList<quint32>& typeCodes) const override;
    bool getFullDisplayDataFromVXDict(const VXDictionary& vx, QStringList& labels, QStringList& contents, bool withName,
                                      QList<quint32>& typeCodes, bool forTable) const;

    // Merging a phone duplicate (same identity) into this contact.
    void mergeElement(QVSyncEngineElem& other, SyncElemLookup* elemList) override;
    void mergePhones(QVVCardElem& other, SyncElemLookup* elemList, QVariantList& changes);
    void mergeStandardType(QVVCardElem& other, SyncElemLookup* elemList, QVariantList& changes, const QString& listKey);
    void mergeAddresses(QVVCardElem& other, SyncElemLookup* elemList, QVariantList& changes);
    void mergeDeviceSpecifics(QVVCardElem& other, SyncElemLookup* elemList);
    // Index of the first number that ends with the number or with which it ends; -1 when none.
    static qsizetype findRight(const QString& number, const QStringList& numbers);
    static QString addressIdent(const QVariant& address);

    // Change detection against a newly read version of this contact.
    QList<platform::SyncChange> acceptChangesForElem(QVSyncEngineElem& other) override;
    QList<platform::SyncChange> acceptMotoChangesForElem(QVSyncEngineElem& other) override;
    QList<platform::SyncChange> acceptVCardDictionaryChangesForElem(const VCardDictionary& dict);
    void acceptParamChangesForElem(QVSyncEngineElem& other) override;
    void addContactChanges(const VCardDictionary& dict, QList<platform::SyncChange>& changes);

    // One new entry of the phone's version while it is matched.
    struct Candidate {
        QVariantMap entry; // as read, "PARAMS" included
        QVariantList params;
        QString value; // "value" as text
        bool consumed = false;
        // params without the ignored ones, made on first use
        const QVariantList& filteredParams();

    private:
        std::optional<QVariantList> _filtered;
    };
    using Candidates = std::vector<Candidate>;
    enum MatchResult { Same = 1, Similar = 2, NoMatch = 3 };

    void addContactOtherTypeChanges(const VCardDictionary& dict, QList<platform::SyncChange>& changes,
                                    QVariantList& mainChanges, const QString& listKey);
    void addContactAddressChanges(const VCardDictionary& dict, QList<platform::SyncChange>& changes,
                                  QVariantList& mainChanges);
    void addParamsContactOtherTypeChanges(const VCardDictionary& dict, const QString& listKey);
    static Candidates candidatesOf(const VCardDictionary& dict, const QString& listKey);
    static bool removeEqualItem(Candidates& items, const QVariantMap& stored, const QVariantList& relation);
    static bool removeEqualItemNoIgnore(Candidates& items, const QVariantMap& stored, const QVariantList& relation);
    static bool removeEqualAddressItem(Candidates& items, const QVariantMap& stored, const QVariantList& relation);
    static Candidate* similarItem(Candidates& items, const QVariantMap& stored, const QVariantList& relation,
                                  MatchResult* result);
    static Candidate* similarAddressItem(Candidates& items, const QVariantMap& stored, const QVariantList& relation,
                                         MatchResult* result);
    static Candidate* itemWithSameValue(Candidates& items, const QVariantMap& stored, const QVariantList& relation,
                                        MatchResult* result);
    static QVariantList removeIgnoredParams(const QVariantList& params);
    // Property changes from a stored address to a new entry; empty when equal.
    static QVariantList changeListForAddressItem(const QVariantMap& stored, const QVariantMap& entry);

protected:
    QString className() const override { return QStringLiteral("QVVCardElem"); }
    std::shared_ptr<QVSyncEngineElem> newElemWithData(const QVariant& data, const QString& sourceURI,
                                                      const QString& protocol, const QString& device,
                                                      const QString& parent) const override;
    std::shared_ptr<QVSyncEngineElem> newElemWithDict(const VXDictionary* dict, const QString& uuid,
                                                      const QString& sourceURI, const QString& protocol,
                                                      const QString& device, const QString& parent) const override;

private:
    // The whole description behind a limits object; null when it has none.
    static const QVSyncDeviceDescription* fullDescription(const std::shared_ptr<SyncDeviceLimits>& limits);
    QString render(const std::shared_ptr<SyncDeviceLimits>& description, bool withDeviceSpecifics, bool forDevice);
    QString exportRendering(const QString& protocol, const QSize& imageSize);
    QString mainText(const QString& key) const;
    QString mainText(const char* key) const { return mainText(QString::fromLatin1(key)); }
    QString displayLabel(const QVariantMap& subRecord, const QString& prefix) const;
    // The phone's version as a parsed card; nullopt when its text holds none.
    static std::optional<VCardDictionary> parsedVersion(QVSyncEngineElem& other);
    void takeSubRecord(QVVCardElem& other, const QString& id, const QString& listKey, SyncElemLookup* elemList);
    // One list of a merge: the other contact's sub-records matched against
    // this one's by a key; an unmatched one moves here, a matched one gives
    // its phone parameters to its stored twin after onMatch (stored id, new
    // sub-record, new key, stored key to update).
    using KeyOf = std::function<QString(const QVariantMap& subRecord)>;
    using FindKey = std::function<qsizetype(const QString& key, const QStringList& keys)>;
    using OnMatch = std::function<void(const QString& storedId, const QVariantMap& incoming, const QString& key,
                                       QString& storedKey)>;
    void mergeList(QVVCardElem& other, SyncElemLookup* elemList, QVariantList& changes, const QString& listKey,
                   const KeyOf& keyOf, const FindKey& find, const OnMatch& onMatch);

    QString _vcardString;
    mutable QString _identity;
    mutable QString _contentString;
    mutable QImage _origImage;
    bool _hasOnlyFirstLast = false;
};
