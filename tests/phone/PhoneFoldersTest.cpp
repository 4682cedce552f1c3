#include "FolderPhoneFixture.h"

#include "phone/PhoneFolders.h"

namespace {

using PhoneFoldersTest = FolderPhoneFixture;

const QVariantMap kMediaVolumes{{"Dorvanti.TopLevelVolumes", "2"},
                                {"Dorvanti.USB_RequiredPath_Int", "Phone memory"},
                                {"Dorvanti.USB_RequiredPath_Ext", "Memory card"}};

} // namespace

TEST_F(PhoneFoldersTest, PathsMapBetweenVolumeNamesAndTheVolumeNeutralForm)
{
    struct Case {
        const char* what;
        QVariantMap row;
        QString external;
        QString internal;
    };
    const Case cases[] = {
        {"no top-level volumes", {}, "Phone memory/Pictures", "Phone memory/Pictures"},
        {"no top-level volumes, neutral form", {}, "/[0]/Pictures", "/[0]/Pictures"},
        {"internal memory", kMediaVolumes, "Phone memory/Pictures", "/[0]/Pictures"},
        {"memory card", kMediaVolumes, "Memory card/x/y", "/[1]/x/y"},
        {"the card itself", kMediaVolumes, "Memory card", "/[1]"},
        {"neither volume", kMediaVolumes, "Elsewhere/x", "Elsewhere/x"},
    };
    for (const Case& c : cases) {
        const auto device = make(c.row);
        const PhoneFolders& folders = device->phoneFolders();
        EXPECT_EQ(folders.internalRepresentation(c.external), c.internal) << c.what;
        EXPECT_EQ(folders.externalRepresentation(c.internal), c.external) << c.what;
    }
    // Names compare in any case one way; the neutral form answers the phone's.
    const auto device = make(kMediaVolumes);
    EXPECT_EQ(device->phoneFolders().internalRepresentation("PHONE MEMORY"), "/[0]");
    EXPECT_EQ(device->phoneFolders().externalRepresentation("/[0]"), "Phone memory");
}

TEST_F(PhoneFoldersTest, APhoneWhoseMemoryIsTheRootPutsEveryOtherPathOnIt)
{
    const auto device = make({{"Dorvanti.TopLevelVolumes", "2"},
                              {"Dorvanti.USB_RequiredPath_Int", "/"},
                              {"Dorvanti.USB_RequiredPath_Ext", "/MMC"}});
    const PhoneFolders& folders = device->phoneFolders();
    EXPECT_EQ(folders.internalRepresentation("/Sounds/a.mp3"), "/[0]/Sounds/a.mp3");
    EXPECT_EQ(folders.internalRepresentation("/MMC/a.mp3"), "/[1]/a.mp3");
    EXPECT_EQ(folders.externalRepresentation("/[0]/Sounds/a.mp3"), "/Sounds/a.mp3");
    EXPECT_TRUE(folders.isValidPath("/Sounds"));
    EXPECT_FALSE(folders.isValidPath("/"));
}

TEST_F(PhoneFoldersTest, UserFoldersAreStoredVolumeNeutralAndReadBackOnTheirVolume)
{
    const auto device = make(kMediaVolumes);
    PhoneFolders& folders = device->phoneFolders();
    folders.setUserFolderPath("User.SoundsFolder", "Memory card/x");
    EXPECT_EQ(device->devInfo()->objectForKey("User.SoundsFolder"), QVariant("/[1]/x"));
    EXPECT_EQ(folders.getSoundFolderPath(false), "Memory card/x");
    EXPECT_EQ(folders.getUserFolderPath("User.SoundsFolder"), "Memory card/x");
    // The user's choice is not taken when it is not allowed.
    EXPECT_NE(folders.getSoundFolderPath(false, false), "Memory card/x");
    folders.setUserFolderPath("User.SoundsFolder", QString());
    EXPECT_FALSE(device->devInfo()->objectForKey("User.SoundsFolder").isValid());
    EXPECT_TRUE(folders.getUserFolderPath("User.SoundsFolder").isNull());
}

TEST_F(PhoneFoldersTest, FolderResolutionTakesTheLayersInTurn)
{
    // Over Bluetooth, with or without a card, forcing the internal memory.
    struct Case {
        const char* what;
        const char* linkType;
        bool card;
        bool forceInternal;
        QVariantMap stored;
        QVariant expected;   // invalid: null string
    };
    const QVariantMap row{{"Dorvanti.SoundsFolder", "/Sounds"}, {"Dorvanti.SoundsFolder_MC", "/CardSounds"}};
    const Case cases[] = {
        {"Bluetooth: capability value first", "Bluetooth", false, false,
         {{"Capab.SoundsFolder", "/C:/Sounds"}, {"Lang.SoundsFolder", "/Töne"}}, "/C:/Sounds"},
        {"Bluetooth: language name next", "Bluetooth", false, false, {{"Lang.SoundsFolder", "/Töne"}}, "/Töne"},
        {"Bluetooth: empty language name passes", "Bluetooth", false, false, {{"Lang.SoundsFolder", ""}},
         "/[0]/Sounds"},
        {"Bluetooth: the row on drive 0", "Bluetooth", false, false, {}, "/[0]/Sounds"},
        {"Bluetooth, card: card capability", "Bluetooth", true, false,
         {{"Capab.SoundsFolder_MC", "/E:/Sounds"}, {"Capab.SoundsFolder", "/C:/Sounds"}}, "/E:/Sounds"},
        {"Bluetooth, card, forced: internal capability", "Bluetooth", true, true,
         {{"Capab.SoundsFolder_MC", "/E:/Sounds"}, {"Capab.SoundsFolder", "/C:/Sounds"}}, "/C:/Sounds"},
        {"Bluetooth, card: card language name", "Bluetooth", true, false, {{"Lang.SoundsFolder_MC", "/Karte"}},
         "/Karte"},
        {"Bluetooth, card: empty card name takes the row on drive 1", "Bluetooth", true, false,
         {{"Lang.SoundsFolder_MC", ""}}, "/[1]/Sounds"},
        {"Bluetooth, card: internal capability on drive 1", "Bluetooth", true, false,
         {{"Capab.SoundsFolder", "/Sounds"}}, "/[1]/Sounds"},
        {"Bluetooth, card: nothing known", "Bluetooth", true, false, {}, QVariant()},
        {"USB, card: internal capability on drive 1", "USB-MassStorage", true, false,
         {{"Capab.SoundsFolder", "/C:/x"}}, "/[1]/C:/x"},
        {"USB, forced: the row's folder", "USB-MassStorage", true, true, {}, "/[0]/Sounds"},
    };
    for (const Case& c : cases) {
        linkType = QLatin1String(c.linkType);
        QVariantMap fullRow = row;
        fullRow.insert("Dorvanti.Translate_MMC", true);
        fullRow.insert("Dorvanti.TopLevelVolumes", "2");
        fullRow.insert("Dorvanti.USB_RequiredPath_Int", "Phone");
        fullRow.insert("Dorvanti.USB_RequiredPath_Ext", c.card ? "Card" : "");
        fullRow.insert("Dorvanti.BT_PathPrefix", "Phone");
        fullRow.insert("Dorvanti.BT_PathPrefix_MC", c.card ? "Card" : "");
        const auto device = make(fullRow, c.stored);
        ASSERT_EQ(device->hasMemoryCard(), c.card) << c.what;
        const QString path = device->phoneFolders().getSoundFolderPath(c.forceInternal);
        if (c.expected.isValid())
            EXPECT_EQ(path, c.expected.toString()) << c.what;
        else
            EXPECT_TRUE(path.isNull()) << c.what << " " << path.toStdString();
    }
}

TEST_F(PhoneFoldersTest, MusicAndProtectedFoldersFollowTheCard)
{
    const QVariantMap folders{{"Dorvanti.SoundsFolder", "/Sounds"},       {"Dorvanti.RingtonesFolder", "/Ringtones"},
                              {"Dorvanti.PicturesFolder", "/Pictures"},   {"Dorvanti.SoundsFolder_MC", "/Music"},
                              {"Dorvanti.RingtonesFolder_MC", "/Tones"},  {"Dorvanti.USB_RequiredPath_Int", "Phone"}};
    {
        const auto device = make(folders);
        ASSERT_FALSE(device->hasMemoryCard());
        EXPECT_EQ(device->phoneFolders().allMusicFolders(), (QStringList{"/[0]/Sounds", "/[0]/Ringtones"}));
        EXPECT_EQ(device->phoneFolders().allSpecialFolders(),
                  (QStringList{"/[0]/Sounds", "/[0]/Ringtones", "/[0]/Pictures"}));
        EXPECT_FALSE(device->phoneFolders().mayBeDeleted("/[0]/RINGTONES"));
        EXPECT_FALSE(device->phoneFolders().mayBeDeleted(""));
        EXPECT_TRUE(device->phoneFolders().mayBeDeleted("/[0]/Ringtones/old"));
        EXPECT_TRUE(device->phoneFolders().mayBeDeleted("/[1]/tones"));
    }
    QVariantMap withCard = folders;
    withCard.insert("Dorvanti.USB_RequiredPath_Ext", "Card");
    const auto device = make(withCard);
    ASSERT_TRUE(device->hasMemoryCard());
    EXPECT_EQ(device->phoneFolders().allMusicFolders(),
              (QStringList{"/[1]/Music", "/[1]/Tones", "/[0]/Sounds", "/[0]/Ringtones"}));
    EXPECT_FALSE(device->phoneFolders().mayBeDeleted("/[1]/tones"));
    // The iTunes folder lies in the card's sounds when there is a card.
    EXPECT_EQ(device->phoneFolders().getITunesFolderSyncPath(), "/[1]/Music/iTunes Sync");
}

TEST_F(PhoneFoldersTest, SoundFormatsAndTopLevelVolumesComeFromTheRow)
{
    const auto device = make({{"Dorvanti.SoundFormats", "mp3,AAC,AAC-DRM,3G2,PODCAST,MP4-VIDEO,AMR-NB,FLAC,M3U"}});
    const PhoneFolders& folders = device->phoneFolders();
    EXPECT_EQ(folders.extensions(), (QStringList{"MP3", "M4A", "M4P", "3g2", "M4B", "M4V", "AMR"}));
    EXPECT_TRUE(folders.supportsM3U());
    EXPECT_TRUE(folders.canPlay("m4a"));
    EXPECT_FALSE(folders.canPlay("FLAC"));
    EXPECT_FALSE(make({{"Dorvanti.SoundFormats", "MP3"}})->phoneFolders().supportsM3U());

    struct Case {
        QVariant stored;
        bool present;
        const char* type;
    };
    const Case cases[] = {{QVariant(), false, ""}, {"", false, ""},         {"0", false, ""},
                          {"3", true, "SamsungMixedMode"}, {"1", true, "MMC_Rootfolder"}, {"7", true, "7"}};
    for (const Case& c : cases) {
        QVariantMap row;
        if (c.stored.isValid())
            row.insert("Dorvanti.TopLevelVolumes", c.stored);
        const auto phone = make(row);
        EXPECT_EQ(phone->phoneFolders().topLevelVolumes(), c.present) << c.stored.toString().toStdString();
        EXPECT_EQ(phone->phoneFolders().topLevelVolumesType(), QLatin1String(c.type));
    }
}

TEST_F(PhoneFoldersTest, ABluetoothPhoneArrangesItsVolumesFromThePrefixLayers)
{
    linkType = QStringLiteral("Bluetooth");
    const auto device = make({{"Dorvanti.TopLevelVolumes", "1"},
                              {"Dorvanti.BT_PathPrefix", "/Phone"},
                              {"Dorvanti.BT_PathPrefix_MC", "/MMC"}},
                             {{"Lang.BT_PathPrefix_MC", "/Karte"}});
    ASSERT_EQ(ftp->arranged.size(), 1);
    EXPECT_EQ(ftp->arranged.first().mid(0, 2), (QStringList{"/Phone", "/Karte"}));
    EXPECT_TRUE(device->hasInternalMemory());
    EXPECT_TRUE(device->hasMemoryCard());
}

TEST_F(PhoneFoldersTest, ASamsungMixedModePhoneTakesItsFirstRootFolderAsTheCard)
{
    linkType = QStringLiteral("Bluetooth");
    rootEntries = {rootFolder("Memory Stick"), rootFolder("Sounds")};
    const auto device = make({{"Dorvanti.TopLevelVolumes", "3"}, {"Dorvanti.BT_PathPrefix", "/"}});
    ASSERT_EQ(ftp->arranged.size(), 1);
    EXPECT_EQ(ftp->arranged.first(), (QStringList{"/", "/Memory Stick", "2"}));
    EXPECT_EQ(device->devInfo()->objectForKey("User.BT_PathPrefix_MC"), QVariant("/Memory Stick"));
    // The root is read once.
    EXPECT_EQ(listings, 1);
    EXPECT_TRUE(device->phoneFolders().doesExistInRoot("SOUNDS"));
    EXPECT_EQ(listings, 1);
}

TEST_F(PhoneFoldersTest, ARootListingThatNeverEndsFailsAfterItsBoundedWait)
{
    listingHangs = true;
    const auto device = make({});
    ASSERT_EQ(listings, 1);   // the volumes were arranged without a root
    EXPECT_EQ(ftp->arranged.value(0).value(2), "0");
    const double before = platform::Clock::instance().now();
    EXPECT_TRUE(device->phoneFolders().getRootDir().isEmpty());
    const double waited = platform::Clock::instance().now() - before;
    EXPECT_NEAR(waited, PhoneFolders::kWaitSlice * PhoneFolders::kRootDirWaitPasses, 1.0);
    EXPECT_EQ(listings, 2);
}

TEST_F(PhoneFoldersTest, ARootListingAskedForWhileItIsReadDoesNotPostAnother)
{
    MFDevice* current = nullptr;
    FTPFileList nested{rootFolder("x")};
    duringListing = [&] {
        if (current)
            nested = current->phoneFolders().getRootDir();
    };
    rootEntries = {rootFolder("Sounds")};
    makers.massStorageFTP = nullptr;   // no volumes to arrange at the start
    const auto device = make({});
    current = device.get();
    ASSERT_EQ(listings, 0);
    EXPECT_EQ(device->phoneFolders().getRootDir(), rootEntries);
    EXPECT_EQ(listings, 1);
    EXPECT_TRUE(nested.isEmpty());
}

namespace {

QByteArray capabilityObject(const QString& body)
{
    return QStringLiteral("<?xml version=\"1.0\"?><Capability Version=\"1.0\">%1</Capability>").arg(body).toUtf8();
}

QString ext(const char* name, const QString& folder, const char* memory)
{
    return QStringLiteral("<Ext><XNam>%1</XNam><XVal>Folder=%2</XVal><XVal>%3</XVal></Ext>")
        .arg(QLatin1String(name), folder, QLatin1String(memory));
}

const QString kGeneral = QStringLiteral(
    "<General><Manufacturer>Nokia</Manufacturer><Language>de</Language>"
    "<Memory><MemType>DEV</MemType><Location>C:\\Data\\</Location><Free>1000</Free></Memory>"
    "<Memory><MemType>MMC</MemType><Location>E:\\</Location></Memory>"
    "<Memory><MemType>DEV</MemType><Location>Z:\\</Location></Memory></General>");

} // namespace

TEST_F(PhoneFoldersTest, TheCapabilityObjectSetsVolumesFoldersAndTranslations)
{
    linkType = QStringLiteral("Bluetooth");
    capability = capabilityObject(
        kGeneral + "<Service><Name>Folder-Browsing</Name>" + ext("Pictures", "C:\\Data\\Images\\", "MemType=DEV")
        + ext("Graphics", "E:\\Images\\", "MemType=MMC") + ext("Unknown", "C:\\x\\", "MemType=DEV")
        + ext("Sounds", "C:\\Data\\Sounds\\", "MemType=DEV") + "</Service>");
    const auto device = make({{"Dorvanti.DeviceProtocol", "nokiaS60"}, {"Dorvanti.SoundsFolder", "/Sounds"}},
                             {{"Capab.CameraPhotos", "/old"}});
    EXPECT_EQ(ftp->capabilityReads, 1);
    const MFDeviceInfo& info = *device->devInfo();
    EXPECT_TRUE(device->phoneFolders().didProcessCapabilities());
    EXPECT_EQ(info.objectForKey("Capab.BT_PathPrefix"), QVariant("/C:/Data"));
    EXPECT_EQ(info.objectForKey("Capab.BT_PathPrefix_MC"), QVariant("/E:"));
    EXPECT_EQ(info.objectForKey("Capab.PicturesFolder"), QVariant("/C:/Data/Images"));
    EXPECT_EQ(info.objectForKey("Capab.PicturesFolder_MC"), QVariant("/E:/Images"));
    EXPECT_EQ(info.objectForKey("Lang.NativeLanguage"), QVariant("de"));
    EXPECT_EQ(device->phoneFolders().generalDeviceDict().value("Manufacturer"), QVariant("Nokia"));
    EXPECT_EQ(device->phoneFolders().generalDeviceDict().value("Memory").toList().size(), 3);
    // A camera folder the object did not define goes; the sounds folder is
    // known by its phone name.
    EXPECT_FALSE(info.objectForKey("Capab.CameraPhotos").isValid());
    EXPECT_EQ(info.objectForKey("Lang.SoundsFolder"), QVariant("/C:/Data/Sounds"));
    EXPECT_EQ(info.objectForKey("Lang.PathArray").toMap(), (QVariantMap{{"/C:/Data/Sounds", "/Sounds"}}));

    // Paths in the phone's language read with the model's folder names.
    const PhoneFolders& folders = device->phoneFolders();
    EXPECT_EQ(folders.unlocalPathForInPath("/[0]/C:/Data/Sounds/a.mp3"), "/[0]/Sounds/a.mp3");
    EXPECT_EQ(folders.unlocalPathForInPath("/[0]/C:/Data/Sounds"), "/[0]/Sounds");
    EXPECT_EQ(folders.unlocalPathForInPath("/[0]/C:/Data/SoundsOld/a"), "/[0]/C:/Data/SoundsOld/a");
    EXPECT_EQ(folders.unlocalPathForInPath("/[1]/C:/Data/Sounds"), "/[1]/C:/Data/Sounds");
    EXPECT_TRUE(folders.isSpecialFunctionFolderWithTranslation("/c:/data/sounds"));
    EXPECT_FALSE(folders.isSpecialFunctionFolderWithTranslation("/Sounds"));
}

TEST_F(PhoneFoldersTest, UntrustedCapabilityObjectsLeaveTheKeysAsTheyWere)
{
    linkType = QStringLiteral("Bluetooth");
    const QVariantMap stored{{"Capab.PicturesFolder", "/kept"}, {"Capab.BT_PathPrefix", "/C:"}};
    struct Case {
        const char* what;
        QByteArray object;
        int status;
        bool failed;
    };
    const Case cases[] = {
        {"the read failed", QByteArray(), -21856, true},
        {"malformed XML", "<Capability><General><Memory></General>", 0, true},
        {"no capability element", "<Other/>", 0, true},
        {"elements nested without end", QByteArray("<a>").repeated(200000) + QByteArray("</a>").repeated(200000), 0,
         true},
        {"a folder with ..",
         capabilityObject("<Service><Name>Folder-Browsing</Name>" + ext("Pictures", "C:\\..\\..\\etc\\", "MemType=DEV")
                          + "</Service>"),
         0, false},
        {"a folder with NUL",
         capabilityObject("<Service><Name>Folder-Browsing</Name>" + ext("Pictures", "C:\\a&#0;b\\", "MemType=DEV")
                          + "</Service>"),
         0, true},
        {"a value that is no folder",
         capabilityObject("<Service><Name>Folder-Browsing</Name><Ext><XNam>Pictures</XNam><XVal>Path=x</XVal>"
                          "<XVal>MemType=DEV</XVal></Ext></Service>"),
         0, false},
        {"a location with ..",
         capabilityObject("<General><Memory><MemType>DEV</MemType><Location>..\\..\\</Location></Memory></General>"),
         0, false},
    };
    for (const Case& c : cases) {
        capability = c.object;
        capabilityStatus = c.status;
        const auto device = make({{"Dorvanti.DeviceProtocol", "sonyericsson"}}, stored);
        EXPECT_EQ(ftp->capabilityReads, 1) << c.what;
        EXPECT_EQ(device->devInfo()->objectForKey("Capab.PicturesFolder"), QVariant("/kept")) << c.what;
        EXPECT_EQ(device->devInfo()->objectForKey("Capab.BT_PathPrefix"), QVariant("/C:")) << c.what;
        // The fetch answers true when it failed.
        EXPECT_EQ(device->phoneFolders().updateCapabilities(), c.failed) << c.what;
    }
}

TEST_F(PhoneFoldersTest, ACapabilityReadThatNeverAnswersEndsAsAFailure)
{
    linkType = QStringLiteral("Bluetooth");
    const auto device = make({{"Dorvanti.DeviceProtocol", "nokiaS40"}});
    ftp->silent = true;
    const double before = platform::Clock::instance().now();
    EXPECT_TRUE(device->phoneFolders().updateCapabilities());
    EXPECT_GE(platform::Clock::instance().now() - before, PhoneFolders::kWaitSlice * PhoneFolders::kCapabilityWaitPasses - 1);
    EXPECT_FALSE(device->phoneFolders().didProcessCapabilities());
    // Only Bluetooth phones of those makers are asked.
    linkType = QStringLiteral("USB-MassStorage");
    const auto usb = make({{"Dorvanti.DeviceProtocol", "nokiaS40"}});
    EXPECT_EQ(ftp->capabilityReads, 0);
    EXPECT_FALSE(usb->phoneFolders().updateCapabilities());
}

TEST_F(PhoneFoldersTest, DevicePathsComeFromFolderValuesOnly)
{
    struct Case {
        const char* value;
        std::optional<QString> expected;
    };
    const Case cases[] = {
        {"Folder=C:\\Data\\", QStringLiteral("/C:/Data")},
        {"Folder=/Music", QStringLiteral("/Music")},
        {"Folder=Images", QStringLiteral("/Images")},
        {"Folder=C:\\a..b\\", QStringLiteral("/C:/a..b")},
        {"Folder=C:\\..\\", std::nullopt},
        {"Folder=..", std::nullopt},
        {"Location=C:\\", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PhoneFolders::processDevicePath(QLatin1String(c.value)), c.expected) << c.value;
}

TEST_F(PhoneFoldersTest, TheMirrorIsNamedAfterModelAndSerialNumber)
{
    const auto device = make({});
    const QString path = device->phoneFolders().mirrorArchivePath();
    EXPECT_TRUE(path.endsWith("/Mirrors/K700-1234.dzmir")) << path.toStdString();
    EXPECT_TRUE(PhoneFolders::canDisplay("jpg"));
    EXPECT_FALSE(PhoneFolders::canDisplay("mp3"));
}

namespace {

// The PC-suite push connection of a Nokia phone, which alone offers the
// capability object there.
class PCSuitePush : public DZDeviceConnection, public PhoneCapabilitySource {
public:
    PCSuitePush(MFDevice& device, QStringList& steps)
        : DZDeviceConnection(&device, nullptr, device.devInfo())
        , steps(steps)
    {
    }
    int openConnection(const std::shared_ptr<QVDeviceCallback>& callback) override
    {
        steps.append("open PC suite");
        return DZDeviceConnection::openConnection(callback);
    }
    int closeConnection(const std::shared_ptr<QVDeviceCallback>& callback) override
    {
        steps.append("close PC suite");
        return DZDeviceConnection::closeConnection(callback);
    }
    int getCapabilities(const std::shared_ptr<QVDeviceCallback>& callback) override
    {
        steps.append("read");
        callback->finishWithErrorInMainThread(0, object);
        return 0;
    }
    QStringList& steps;
    QByteArray object;
};

} // namespace

TEST_F(PhoneFoldersTest, ANokiaPhoneGivesItsCapabilitiesOverThePCSuiteWithTheFileTransferClosed)
{
    linkType = QStringLiteral("Bluetooth");
    const auto device = make({{"Dorvanti.DeviceProtocol", "nokia"}});
    // No PC-suite connection at the start: the read failed.
    EXPECT_EQ(ftp->capabilityReads, 0);
    EXPECT_FALSE(device->phoneFolders().didProcessCapabilities());
    ASSERT_TRUE(device->isConnectionOpen(QLatin1String(MFDevice::kServiceFTP)));

    QStringList steps;
    auto push = std::make_unique<PCSuitePush>(*device, steps);
    push->object = capabilityObject("<Service><Name>Folder-Browsing</Name>" + ext("Themes", "C:\\Themes\\", "MemType=DEV")
                                    + "</Service>");
    PCSuitePush* pcSuite = push.get();
    device->setNokiaPCSuitePushConnection(std::move(push));
    EXPECT_FALSE(device->phoneFolders().updateCapabilities());
    EXPECT_EQ(steps, (QStringList{"open PC suite", "read", "close PC suite"}));
    EXPECT_FALSE(device->isConnectionOpen(QLatin1String(MFDevice::kServiceFTP)));
    EXPECT_FALSE(pcSuite->hasConnection());
    EXPECT_EQ(device->devInfo()->objectForKey("Capab.ThemesFolder"), QVariant("/C:/Themes"));
    EXPECT_EQ(ftp->capabilityReads, 0);
}
