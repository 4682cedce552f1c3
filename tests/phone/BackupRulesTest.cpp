#include "FolderPhoneFixture.h"

#include "device/QVSyncDeviceDescription.h"
#include "phone/BackupRules.h"
#include "phone/DeviceDataManager.h"
#include "phone/OrganizerStorage.h"
#include "phone/PhoneFolders.h"

namespace {

using BackupRulesTest = FolderPhoneFixture;

PhoneFileEntry file(const char* name, const char* folder = "/[0]/Other")
{
    return {QLatin1String(name), QStringLiteral("%1/%2").arg(QLatin1String(folder), QLatin1String(name)), false};
}

PhoneFileEntry folder(const char* name)
{
    return {QLatin1String(name), QStringLiteral("/[0]/") + QLatin1String(name), true};
}

const QVariantMap kSounds{{"Dorvanti.SoundsFolder", "/Sounds"}, {"Dorvanti.USB_RequiredPath_Int", "Phone"}};

} // namespace

TEST_F(BackupRulesTest, TheExceptionListDecidesWhichFilesGoIntoTheBackup)
{
    const auto device = make(kSounds);
    BackupRules& rules = device->backupRules();
    // The default: the device window's audio and video suffixes, maps and
    // the media-only mark, stored for the next start.
    EXPECT_EQ(rules.getBackupExceptSuffixList(), (QStringList{"mp3", "m4a", "aac", "3gp", "mp4", "map", "***"}));
    EXPECT_EQ(device->devInfo()->objectForKey("Common.BackupExceptSuffixList").toStringList(),
              rules.getBackupExceptSuffixList());

    struct Case {
        PhoneFileEntry entry;
        bool mediaOnly;   // list of only "***"
        bool empty;       // empty list
    };
    const Case cases[] = {
        {file("a.MP3"), true, true},
        {file("b.jpg"), true, true},
        {file("c.3gp"), true, true},
        {file("d.Map"), true, true},
        {file("e.txt"), false, true},
        {file("noSuffix"), false, true},
        {file("f.mp3", "/[0]/Sounds/iTunes Sync"), false, false},
        {folder("Pictures"), true, true},
        {folder("diskcache"), false, false},
        {folder("DiskCache"), true, true},
        {folder(""), false, false},
    };
    for (const Case& c : cases) {
        rules.setBackupExceptSuffixList({"***"});
        EXPECT_EQ(rules.wantsToBackup(&c.entry), c.mediaOnly) << "media only: " << c.entry.fullPath.toStdString();
        rules.setBackupExceptSuffixList({});
        EXPECT_EQ(rules.wantsToBackup(&c.entry), c.empty) << "empty list: " << c.entry.fullPath.toStdString();
    }
    EXPECT_FALSE(rules.wantsToBackup(nullptr));
    EXPECT_EQ(device->devInfo()->objectForKey("Common.BackupExceptSuffixList"), QVariant(QStringList()));
    // A listed suffix is left out in any case; the media-only mark does not
    // bring it back.
    rules.setBackupExceptSuffixList({"JPG", "***"});
    const PhoneFileEntry picture = file("b.jpg");
    EXPECT_FALSE(rules.wantsToBackup(&picture));
    EXPECT_FALSE(rules.isSuffixInExceptionLst(""));
}

TEST_F(BackupRulesTest, StoredBackupChoicesWinOverTheDefaults)
{
    const auto device = make(kSounds, {{"Common.BackupOrganizerMask", 5}, {"Common.BackupExceptSuffixList", QStringList{"txt"}}});
    EXPECT_EQ(device->backupRules().getBackupOrganizerMask(), 5);
    EXPECT_EQ(device->backupRules().getBackupExceptSuffixList(), QStringList{"txt"});
    EXPECT_TRUE(device->backupRules().maskIncludes(2));
    EXPECT_FALSE(device->backupRules().maskIncludes(1));
    EXPECT_TRUE(device->backupRules().maskIncludes(-1));

    const auto fresh = make(kSounds);
    EXPECT_EQ(fresh->backupRules().getBackupOrganizerMask(), 255);
    EXPECT_EQ(fresh->devInfo()->objectForKey("Common.BackupOrganizerMask"), QVariant(255));
    fresh->backupRules().setBackupOrganizerMask(0);
    EXPECT_FALSE(fresh->backupRules().maskIncludes(-1));
}

TEST_F(BackupRulesTest, MaxContactsComesFromTheSettingsThenTheRow)
{
    struct Case {
        QVariant own;
        QVariant row;
        int expected;
    };
    const Case cases[] = {
        {QVariant(), QVariant(), 63999}, {"", "500", 500},  {"200", "500", 200},
        {QVariant(), "0", 63999},        {"-4", "500", 63999}, {"junk", "500", 63999},
    };
    for (const Case& c : cases) {
        QVariantMap row = kSounds;
        QVariantMap dict;
        if (c.row.isValid())
            row.insert("Dorvanti.SyncMaxContacts", c.row);
        if (c.own.isValid())
            dict.insert("Common.SyncMaxContacts", c.own);
        EXPECT_EQ(make(row, dict)->backupRules().maxContacts(), c.expected)
            << c.own.toString().toStdString() << "/" << c.row.toString().toStdString();
    }
}

TEST_F(BackupRulesTest, RestoreStepsFollowTheServicesAndTheCameraFolder)
{
    const QStringList files{"RestCopyMusic", "RestCopyPictures", "RestCopyRingtones", "RestCopyVideos"};
    const QStringList tail{"RestCopyThemes", "RestCopyUserFiles"};
    EXPECT_EQ(make(kSounds)->backupRules().getRestoreActions(), files + tail);

    QVariantMap camera = kSounds;
    camera.insert("Dorvanti.CameraPhotos", "/Camera");
    EXPECT_EQ(make(camera)->backupRules().getRestoreActions(),
              files + (QStringList{"RestCopyCameraPhotos", "RestCopyCameraVideos"}) + tail);

    // A SyncML phone without files: the sync steps its description offers.
    makers.massStorageFTP = nullptr;
    makers.syncML = [](MFDevice& device, const QVariantMap&) {
        return std::make_unique<DZDeviceConnection>(&device, nullptr, device.devInfo());
    };
    auto description = QVSyncDeviceDescription::syncDeviceFromProtocol(QStringLiteral("UNKNOWN"));
    ASSERT_TRUE(description);
    description->setDeviceFieldLengths({{"SyncML.syncContacts", 1},
                                        {"SyncML.syncCalendar", 1},
                                        {"SyncML.syncBookmarks", 0},
                                        {"SyncML.syncNotes", 1}});
    deviceDict = std::make_shared<QVariantMap>();
    MFDevice syncPhone(QLatin1String(MFDevice::kUSBMassStorage), deviceDict, kSounds, description, makers);
    ASSERT_TRUE(syncPhone.canDoSerialSyncServices());
    EXPECT_FALSE(syncPhone.canDoFileSystemServices());
    EXPECT_EQ(syncPhone.backupRules().getRestoreActions(),
              (QStringList{"RestSyncContacts", "RestSyncCalendar", "RestSyncNotes"}));
}

namespace {

class Item : public TrashedItem {
public:
    explicit Item(int type)
        : type(type)
    {
    }
    int organizerType() const override { return type; }
    void setSourceURI(const QString& uri) override { sourceURI = uri; }
    int type;
    QString sourceURI = QStringLiteral("phone:1");
};

class Storage : public OrganizerStorage {
public:
    void prepareSynchronization() override {}
    bool evaluateSyncEnvironment(bool) override { return false; }
    void clearChangesForSyncEngine() override {}
    bool isSyncEngineList() const override { return false; }
    void resyncGroups() override {}
    bool replaceItem(TrashedItem& item) override
    {
        taken.append(&item);
        return takes;
    }
    void recalcUsableItems() override { ++recalculated; }
    void useLastState() override { ++lastStates; }
    bool takes = true;
    QList<TrashedItem*> taken;
    int recalculated = 0;
    int lastStates = 0;
};

class Storages : public DeviceDataManager {
public:
    explicit Storages(Storage* storages)
        : storages(storages)
    {
    }
    void saveFinderState() override {}
    void loadFinderState() override {}
    FilesMirror* mirror() const override { return nullptr; }
    OrganizerArchive* archive() const override { return nullptr; }
    bool hasChangesForSyncEngine(int) const override { return false; }
    OrganizerStorage* organizerStorage(int type) const override { return type < 3 ? &storages[type] : nullptr; }
    Storage* storages;
};

} // namespace

TEST_F(BackupRulesTest, TrashedContactsAndEventsGoBackToTheirStorages)
{
    Storage storages[3];
    storages[1].takes = false;
    makers.dataManager = [&](MFDevice&) { return std::make_unique<Storages>(storages); };
    const auto device = make(kSounds);
    Item contact(0), event(1), note(2), other(-1);
    device->backupRules().restoreTrashElems({&contact, &event, &note, &other, nullptr});
    EXPECT_EQ(storages[0].taken, QList<TrashedItem*>{&contact});
    EXPECT_EQ(storages[1].taken, QList<TrashedItem*>{&event});
    EXPECT_TRUE(storages[2].taken.isEmpty());
    EXPECT_TRUE(contact.sourceURI.isEmpty());
    EXPECT_TRUE(event.sourceURI.isEmpty());
    EXPECT_EQ(note.sourceURI, "phone:1");
    // Only a storage that took something recounts.
    EXPECT_EQ(storages[0].recalculated, 1);
    EXPECT_EQ(storages[1].recalculated, 0);

    device->backupRules().useLastOrganizerState();
    for (const Storage& storage : storages)
        EXPECT_EQ(storage.lastStates, 1);
}
