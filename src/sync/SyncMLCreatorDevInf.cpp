// The device information the server sends (Put or Results) and the
// server-alerted notification.
#include "sync/SyncMLCreator.h"

#include "device/QVSyncDeviceDescription.h"
#include "sync/SyncMLCreatorSession.h"

#include <initializer_list>
#include <utility>

namespace {

constexpr const char kDevInfSeries40[] = "Protocol Series 40";

struct DevInfDataStore {
    const char* sourceRef;
    const char* displayName;
    QString ctType;
    const char* verCT;
};

using CTCapRun = std::initializer_list<std::pair<const char*, const char*>>;

// The flat child runs of the CTCap elements, one per kind of database.
// clang-format off
const CTCapRun kCalendarCTCap = {
    {"CTType", "text/x-vcalendar"},
    {"PropName", "BEGIN"}, {"ValEnum", "VCALENDAR"}, {"ValEnum", "VEVENT"}, {"ValEnum", "VTODO"},
    {"PropName", "END"}, {"ValEnum", "VCALENDAR"}, {"ValEnum", "VEVENT"}, {"ValEnum", "VTODO"},
    {"PropName", "VERSION"}, {"ValEnum", "1.0"},
    {"PropName", "DTSTART"}, {"PropName", "DTEND"}, {"PropName", "LOCATION"}, {"PropName", "DUE"},
    {"PropName", "SUMMARY"}, {"PropName", "DESCRIPTION"}, {"PropName", "EXDATE"}, {"PropName", "RRULE"},
    {"PropName", "PRIORITY"}, {"ValEnum", "1"}, {"ValEnum", "3"}, {"ValEnum", "2"},
    {"PropName", "STATUS"}, {"ValEnum", "NEEDS ACTION"}, {"ValEnum", "COMPLETED"},
    {"PropName", "AALARM"}, {"PropName", "DALARM"},
    {"PropName", "CATEGORIES"}, {"ValEnum", "REMINDER"}, {"ValEnum", "MISCELLANEOUS"},
    {"ValEnum", "SPECIAL OCCASION"}, {"ValEnum", "MEETING"}, {"ValEnum", "PHONE CALL"},
};
const CTCapRun kContactsCTCap = {
    {"CTType", "text/x-vcard"},
    {"PropName", "BEGIN"}, {"ValEnum", "VCARD"}, {"PropName", "END"}, {"ValEnum", "VCARD"},
    {"PropName", "VERSION"}, {"ValEnum", "2.1"},
    {"PropName", "N"}, {"PropName", "X-NICKNAME"}, {"PropName", "ORG"}, {"PropName", "TITLE"},
    {"PropName", "BDAY"}, {"PropName", "NOTE"},
    {"PropName", "TEL"}, {"ParamName", "WORK"}, {"ParamName", "CELL"}, {"ParamName", "FAX"}, {"ParamName", "HOME"},
    {"ParamName", "PREF"}, {"ParamName", "VOICE"}, {"ParamName", "VIDEO"},
    {"PropName", "ADR"}, {"PropName", "EMAIL"}, {"PropName", "URL"},
};
// Notes: CTType comes first, from the DataStore.
const CTCapRun kNotesCTCap = {
    {"PropName", "BEGIN"}, {"ValEnum", "NOTE"}, {"DisplayName", "Begin"},
    {"PropName", "END"}, {"ValEnum", "NOTE"}, {"DisplayName", "End"},
    {"PropName", "VERSION"}, {"ValEnum", "VERSION"}, {"DisplayName", "Version"},
    {"PropName", "ID"}, {"DataType", nullptr}, {"Size", "256"}, {"DisplayName", "ID"},
    {"PropName", "LAST-MODIFIED"}, {"DataType", nullptr}, {"Size", "256"}, {"DisplayName", "Last Modified"},
    {"PropName", "MEMO"}, {"DataType", nullptr}, {"Size", "256"}, {"DisplayName", "MEMO"},
};
const CTCapRun kBookmarksCTCap = {
    {"CTType", "text/x-vbookmark"},
    {"PropName", "BEGIN"}, {"ValEnum", "VENV"}, {"ValEnum", "VBKM"}, {"DisplayName", "Begin"},
    {"PropName", "END"}, {"DisplayName", "End"},
    {"PropName", "VERSION"}, {"ValEnum", "1.0"}, {"DisplayName", "Version"},
    {"PropName", "URL"}, {"PropName", "TITLE"},
};
const CTCapRun kSmsCTCap = {
    {"CTType", "text/x-vMessage"},
    {"PropName", "BEGIN"}, {"ValEnum", "VMSG"}, {"PropName", "END"},
    {"PropName", "VERSION"}, {"ValEnum", "1.0"},
};
// clang-format on

void addCTCapRun(SyncMLCreatorNode& ctCap, const CTCapRun& run)
{
    for (const auto& [tag, value] : run) {
        if (value)
            SyncMLCreator::addTextElement(ctCap, QLatin1String(tag), QLatin1String(value));
        else
            ctCap.addChild(SyncMLCreator::createEmptyElement(QLatin1String(tag)));
    }
}

void addContentPref(SyncMLCreatorNode& store, const char* tag, const DevInfDataStore& entry)
{
    SyncMLCreatorNode* pref = store.addChild(SyncMLCreator::createNonEmptyElement(QLatin1String(tag)));
    SyncMLCreator::addTextElement(*pref, QStringLiteral("CTType"), entry.ctType);
    SyncMLCreator::addTextElement(*pref, QStringLiteral("VerCT"), QLatin1String(entry.verCT));
}

} // namespace

SyncMLCreator::Node SyncMLCreator::createGetDeviceInfoMessage()
{
    Node get = createCommand(QStringLiteral("Get"));
    get->addChild(createMetaType(QLatin1String(kDevInfType)));
    SyncMLCreatorNode* item = get->addChild(createNonEmptyElement(QStringLiteral("Item")));
    addLocURI(*item, QStringLiteral("Target"),
              _syncSession.syncMLVersion() == 1 ? QStringLiteral("./devinf11") : QStringLiteral("./devinf12"));
    return get;
}

SyncMLCreator::Node SyncMLCreator::createDeviceInfoPut(const QString& sourceURI, int property)
{
    Node put = createCommand(QStringLiteral("Put"));
    createDeviceInfoData(*put, sourceURI, property);
    return put;
}

SyncMLCreator::Node SyncMLCreator::createDeviceInfoResult(const QString& cmdRef, const QString& sourceURI, int property)
{
    Node results = createCommand(QStringLiteral("Results"));
    addTextElement(*results, QStringLiteral("MsgRef"), _syncSession.currentProcessedMessageID());
    addTextElement(*results, QStringLiteral("CmdRef"), cmdRef);
    createDeviceInfoData(*results, sourceURI, property);
    return results;
}

void SyncMLCreator::createDeviceInfoData(SyncMLCreatorNode& command, const QString& sourceURI, int property)
{
    const QVSyncDeviceDescription& description = _syncSession.syncDescription();
    command.addChild(createMetaType(QLatin1String(kDevInfType)));
    SyncMLCreatorNode* item = command.addChild(createNonEmptyElement(QStringLiteral("Item")));
    addLocURI(*item, QStringLiteral("Source"), sourceURI);
    SyncMLCreatorNode* data = item->addChild(createNonEmptyElement(QStringLiteral("Data")));
    // The device information is a document of its own language: the WBXML
    // encoder embeds it by this namespace (under the meta-information one it
    // could not encode the elements at all).
    SyncMLCreatorNode* devInf = data->addChild(createNonEmptyElement(QStringLiteral("DevInf")));
    devInf->setAttribute(QStringLiteral("xmlns"), QLatin1String(kDevInf));
    addTextElement(*devInf, QStringLiteral("VerDTD"), _syncSession.syncMLVersionString());
    addTextElement(*devInf, QStringLiteral("Man"), QStringLiteral("quorvalis"));
    addTextElement(*devInf, QStringLiteral("Mod"), QStringLiteral("Dorvanti"));
    addTextElement(*devInf, QStringLiteral("SwV"), QStringLiteral("1.0"));
    addTextElement(*devInf, QStringLiteral("DevID"), QStringLiteral("Dorvanti"));
    addTextElement(*devInf, QStringLiteral("DevTyp"), QStringLiteral("Server"));
    devInf->addChild(createEmptyElement(QStringLiteral("SupportLargeObjs")));
    devInf->addChild(createEmptyElement(QStringLiteral("SupportNumberOfChanges")));

    const bool all = property == -1;
    const bool twoCalendars = description.has2CalendarDBs();
    const QString calendarType = QStringLiteral("text/x-vcalendar");
    const QString notesType = metaTypeForProperty(2);
    std::vector<DevInfDataStore> stores;
    if ((property == 1 || all) && !twoCalendars)
        stores.push_back({description.protocol().startsWith(QLatin1String(kDevInfSeries40)) ? "Calendars" : "Calendar",
                          "iCal", calendarType, "1.0"});
    if ((property == 5 || all) && twoCalendars)
        stores.push_back({"Events", "iCal", calendarType, "1.0"});
    if ((property == 6 || all) && twoCalendars)
        stores.push_back({"Tasks", "iCal", calendarType, "1.0"});
    if (property == 0 || all)
        stores.push_back({"Contacts", "Address Book", QStringLiteral("text/x-vcard"), "2.1"});
    if (property == 2 || all)
        stores.push_back({"Notes", "Dorvanti", notesType, "1.0"});
    if (property == 3 || all)
        stores.push_back({"Bookmarks", "Safari", getBookmarkTypeString(), "1.0"});
    if (property == 4 || all)
        stores.push_back({"sms", "Dorvanti", QStringLiteral("text/x-vMessage"), "1.0"});
    for (const DevInfDataStore& entry : stores) {
        SyncMLCreatorNode* store = devInf->addChild(createNonEmptyElement(QStringLiteral("DataStore")));
        addTextElement(*store, QStringLiteral("SourceRef"), QLatin1String(entry.sourceRef));
        addTextElement(*store, QStringLiteral("DisplayName"), QLatin1String(entry.displayName));
        addContentPref(*store, "Rx-Pref", entry);
        addContentPref(*store, "Tx-Pref", entry);
        SyncMLCreatorNode* syncCap = store->addChild(createNonEmptyElement(QStringLiteral("SyncCap")));
        for (const char* type : {"1", "2", "7"})
            addTextElement(*syncCap, QStringLiteral("SyncType"), QLatin1String(type));
    }

    if (!description.syncMLSendCTCap())
        return;
    const auto addCTCap = [&](const CTCapRun& run, const QString& leadingType = QString()) {
        SyncMLCreatorNode* ctCap = devInf->addChild(createNonEmptyElement(QStringLiteral("CTCap")));
        if (!leadingType.isNull())
            addTextElement(*ctCap, QStringLiteral("CTType"), leadingType);
        addCTCapRun(*ctCap, run);
    };
    if (property == 1 || property == 5 || property == 6 || all)
        addCTCap(kCalendarCTCap);
    if (property == 0 || all)
        addCTCap(kContactsCTCap);
    if (property == 2 || all)
        addCTCap(kNotesCTCap, notesType);
    if (property == 3 || all)
        addCTCap(kBookmarksCTCap);
    if (property == 4 || all)
        addCTCap(kSmsCTCap);
}

QByteArray SyncMLCreator::createSanMessage(int property) const
{
    struct SanSync {
        quint8 contentType;
        const char* name;
    };
    std::vector<SanSync> syncs;
    switch (property) {
    case 0:
        syncs = {{0x07, "Contacts"}};
        break;
    case 1:
        syncs = {{0x06, "Events"}, {0x06, "Tasks"}};
        break;
    case 2:
        syncs = {{0x03, "Notes"}};
        break;
    case 3:
        syncs = {{0x00, "Bookmarks"}};
        break;
    case 4:
        syncs = {{0x00, "SMS"}};
        break;
    case 5:
        syncs = {{0x06, "Events"}};
        break;
    case 6:
        syncs = {{0x06, "Tasks"}};
        break;
    default:
        return {};
    }
    const bool series40Contacts = property == 0
        && _syncSession.syncDescription().protocol().startsWith(QLatin1String(kDevInfSeries40));
    QByteArray san(16, '\0'); // digest
    san.append(char(0x03)).append(char(series40Contacts ? 0x10 : 0x18)).append(3, '\0');
    san.append(char(0x01)).append(char(0x00)); // session identifier
    QByteArray server("iSync");
    if (_syncSession.syncServerName() == QLatin1String("xSync"))
        server[0] = 'x';
    san.append(char(server.size())).append(server);
    san.append(char(quint8(syncs.size() << 4)));
    for (const SanSync& sync : syncs) {
        const QByteArray name(sync.name);
        san.append(char(0x60)).append(2, '\0').append(char(sync.contentType));
        san.append(char(name.size())).append(name);
    }
    return san;
}
