#include "sync/SyncMLCreator.h"

#include "device/QVSyncDeviceDescription.h"
#include "platform/Clock.h"
#include "sync/SyncMLCreatorSession.h"
#include "syncmodel/QVSyncElem.h"

#include <QDateTime>

namespace {

constexpr const char kSyncEventsKey[] = "SyncML.syncEvents";
constexpr const char kSyncTasksKey[] = "SyncML.syncTasks";
constexpr const char kNotTargeted[] = "---";

QString creatorNumber(long value)
{
    return QString::number(value);
}

} // namespace

// ---- Tree primitives ----

SyncMLCreator::Node SyncMLCreator::createNonEmptyElement(const QString& tag)
{
    return SyncMLCreatorNode::element(tag);
}

SyncMLCreator::Node SyncMLCreator::createEmptyElement(const QString& tag)
{
    return SyncMLCreatorNode::element(tag, true);
}

SyncMLCreatorNode* SyncMLCreator::addEmptyElement(SyncMLCreatorNode& parent, const QString& tag)
{
    return parent.addChild(SyncMLCreatorNode::element(tag));
}

SyncMLCreatorNode* SyncMLCreator::addTextElement(SyncMLCreatorNode& parent, const QString& tag, const QString& text)
{
    SyncMLCreatorNode* element = parent.addChild(SyncMLCreatorNode::element(tag));
    element->addChild(SyncMLCreatorNode::text(text));
    return element;
}

SyncMLCreatorNode* SyncMLCreator::addCDataElement(SyncMLCreatorNode& parent, const QString& tag, const QString& text)
{
    SyncMLCreatorNode* element = parent.addChild(SyncMLCreatorNode::element(tag));
    element->addChild(SyncMLCreatorNode::cdata(text));
    return element;
}

SyncMLCreator::Node SyncMLCreator::createStandardSyncMLDoc()
{
    return SyncMLCreatorNode::document();
}

SyncMLCreator::Node SyncMLCreator::createSyncMLNode(bool withHeader)
{
    Node syncML = createNonEmptyElement(QStringLiteral("SyncML"));
    syncML->setAttribute(QStringLiteral("xmlns"), QStringLiteral("syncml:SYNCML") + _syncSession.syncMLVersionString());
    if (withHeader)
        syncML->addChild(createNewSyncHeader());
    return syncML;
}

SyncMLCreator::Node SyncMLCreator::createSyncBody()
{
    return createNonEmptyElement(QStringLiteral("SyncBody"));
}

SyncMLCreator::Node SyncMLCreator::createNewMessage()
{
    Node document = createStandardSyncMLDoc();
    SyncMLCreatorNode* syncML = document->addChild(createSyncMLNode(true));
    syncML->addChild(createSyncBody());
    return document;
}

SyncMLCreatorNode* SyncMLCreator::addLocURI(SyncMLCreatorNode& parent, const QString& tag, const QString& uri)
{
    SyncMLCreatorNode* locator = parent.addChild(createNonEmptyElement(tag));
    addTextElement(*locator, QStringLiteral("LocURI"), uri);
    return locator;
}

SyncMLCreator::Node SyncMLCreator::createNewSyncHeader()
{
    const QString version = _syncSession.syncMLVersionString();
    Node header = createNonEmptyElement(QStringLiteral("SyncHdr"));
    addTextElement(*header, QStringLiteral("VerDTD"), version);
    addTextElement(*header, QStringLiteral("VerProto"), QStringLiteral("SyncML/") + version);
    addTextElement(*header, QStringLiteral("SessionID"), _syncSession.currentSessionID());
    addTextElement(*header, QStringLiteral("MsgID"), creatorNumber(_syncSession.newMessageID()));
    addLocURI(*header, QStringLiteral("Target"), _syncSession.deviceURI());
    addLocURI(*header, QStringLiteral("Source"), _syncSession.myURI());
    return header;
}

SyncMLCreator::Node SyncMLCreator::createCommand(const QString& name)
{
    Node command = createNonEmptyElement(name);
    addTextElement(*command, QStringLiteral("CmdID"), creatorNumber(_syncSession.newCommandID()));
    return command;
}

// ---- Meta ----

SyncMLCreator::Node SyncMLCreator::createMetaType(const QString& type)
{
    Node meta = createNonEmptyElement(QStringLiteral("Meta"));
    addTextElement(*meta, QStringLiteral("Type"), type)->setAttribute(QStringLiteral("xmlns"), QLatin1String(kMetInf));
    return meta;
}

QString SyncMLCreator::metaTypeForProperty(int property) const
{
    switch (property) {
    case 0:
        return QStringLiteral("text/x-vcard");
    case 1:
    case 5:
    case 6:
        return QStringLiteral("text/x-vcalendar");
    case 2:
        return _syncSession.syncDescription().isSamsung() ? QStringLiteral("text/vnote") : QStringLiteral("text/plain");
    case 3:
        return getBookmarkTypeString();
    case 4:
        return QStringLiteral("text/x-vMessage");
    default:
        return {};
    }
}

SyncMLCreator::Node SyncMLCreator::createMetaTagForProperty(int property)
{
    if (property == 0)
        return createMetaTagVCard();
    const QString type = metaTypeForProperty(property);
    return type.isNull() ? nullptr : createMetaType(type);
}

SyncMLCreator::Node SyncMLCreator::createMetaTagVCard(long size)
{
    Node meta = createMetaType(QStringLiteral("text/x-vcard"));
    if (size >= 0)
        addTextElement(*meta, QStringLiteral("Size"), creatorNumber(size))
            ->setAttribute(QStringLiteral("xmlns"), QLatin1String(kMetInf));
    return meta;
}

SyncMLCreator::Node SyncMLCreator::createMetaTagSize(long size)
{
    Node meta = createNonEmptyElement(QStringLiteral("Meta"));
    addTextElement(*meta, QStringLiteral("Size"), creatorNumber(size))
        ->setAttribute(QStringLiteral("xmlns"), QLatin1String(kMetInf));
    return meta;
}

// ---- Alerts ----

SyncMLCreator::Node SyncMLCreator::createAlertSync(int property, bool fast)
{
    Node alert = createCommand(QStringLiteral("Alert"));
    addTextElement(*alert, QStringLiteral("Data"), fast ? QStringLiteral("200") : QStringLiteral("201"));
    SyncMLCreatorNode* item = alert->addChild(createNonEmptyElement(QStringLiteral("Item")));
    addLocURI(*item, QStringLiteral("Target"), _syncSession.deviceDB(property));
    addLocURI(*item, QStringLiteral("Source"), _syncSession.myDB(property));
    Node meta = createMetaTagForProperty(property);
    if (!meta)
        meta = createNonEmptyElement(QStringLiteral("Meta"));
    const QString next = platform::Clock::instance().currentDateTime().toUTC().toString(
        QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    const QString last = _syncSession.lastSyncDZTime();
    _syncSession.setDZSyncTime(next);
    meta->addChild(createAnchorWithTime(next, last));
    item->addChild(std::move(meta));
    return alert;
}

SyncMLCreator::Node SyncMLCreator::createAlertPacket0(int code, int property)
{
    Node alert = createCommand(QStringLiteral("Alert"));
    addTextElement(*alert, QStringLiteral("Data"), creatorNumber(code));
    SyncMLCreatorNode* item = alert->addChild(createNonEmptyElement(QStringLiteral("Item")));
    const QString target = _syncSession.targetDatabase(property);
    if (target != QLatin1String(kNotTargeted))
        addLocURI(*item, QStringLiteral("Target"), target);
    addLocURI(*item, QStringLiteral("Source"), _syncSession.myDB(property));
    item->addChild(createMetaTagForProperty(property));
    return alert;
}

SyncMLCreator::Node SyncMLCreator::createDatabaseItem(int property)
{
    Node item = createNonEmptyElement(QStringLiteral("Item"));
    addLocURI(*item, QStringLiteral("Target"), _syncSession.targetDatabase(property));
    addLocURI(*item, QStringLiteral("Source"), _syncSession.myDB(property));
    item->addChild(createMetaTagForProperty(property));
    return item;
}

SyncMLCreator::Node SyncMLCreator::createAlertPacket0Samsung(int code, int property)
{
    const QVSyncDeviceDescription& description = _syncSession.syncDescription();
    Node alert = createCommand(QStringLiteral("Alert"));
    addTextElement(*alert, QStringLiteral("Data"), creatorNumber(code));
    if (property == 1 && description.has2CalendarDBs()) {
        if (description.nonNilBOOLFromDescription(QLatin1String(kSyncEventsKey)))
            alert->addChild(createDatabaseItem(5));
        if (description.nonNilBOOLFromDescription(QLatin1String(kSyncTasksKey)))
            alert->addChild(createDatabaseItem(6));
    } else {
        alert->addChild(createDatabaseItem(property));
    }
    return alert;
}

SyncMLCreator::Node SyncMLCreator::createSimpleAlert(const QString& code)
{
    Node alert = createCommand(QStringLiteral("Alert"));
    addTextElement(*alert, QStringLiteral("Data"), code);
    SyncMLCreatorNode* item = alert->addChild(createNonEmptyElement(QStringLiteral("Item")));
    addLocURI(*item, QStringLiteral("Target"), _syncSession.deviceURI());
    addLocURI(*item, QStringLiteral("Source"), _syncSession.myURI());
    return alert;
}

SyncMLCreator::Node SyncMLCreator::createAlarmPacket0(int code, int property)
{
    Node document = createNewMessage();
    SyncMLCreatorNode* body = document->find(QStringLiteral("SyncML/SyncBody"));
    const auto append = [&](Node alert) {
        _syncSession.rememberCommandForStatus(alert->child(QStringLiteral("CmdID"))->textContent(),
                                              QStringLiteral("Alert"));
        body->addChild(std::move(alert));
    };
    const QVSyncDeviceDescription& description = _syncSession.syncDescription();
    if (property == 1 && description.has2CalendarDBs()) {
        if (description.nonNilBOOLFromDescription(QLatin1String(kSyncEventsKey)))
            append(createAlertPacket0(code, 5));
        if (description.nonNilBOOLFromDescription(QLatin1String(kSyncTasksKey)))
            append(createAlertPacket0(code, 6));
    } else {
        append(createAlertPacket0(code, property));
    }
    body->addChild(createEmptyElement(QStringLiteral("Final")));
    return document;
}

SyncMLCreator::Node SyncMLCreator::createAlarmPacket0Samsung(int code, int property)
{
    Node document = createNewMessage();
    SyncMLCreatorNode* body = document->find(QStringLiteral("SyncML/SyncBody"));
    Node alert = createAlertPacket0Samsung(code, property);
    _syncSession.rememberCommandForStatus(alert->child(QStringLiteral("CmdID"))->textContent(),
                                          QStringLiteral("Alert"));
    body->addChild(std::move(alert));
    body->addChild(createEmptyElement(QStringLiteral("Final")));
    return document;
}

// ---- Sync and its commands ----

void SyncMLCreator::addNumberOfChanges(SyncMLCreatorNode& sync, long changes) const
{
    if (changes >= 0 && _syncSession.syncMLNumberOfChangesSupport())
        addTextElement(sync, QStringLiteral("NumberOfChanges"), creatorNumber(changes));
}

SyncMLCreator::Node SyncMLCreator::createSyncNothing(long changes, int property)
{
    if (property == 5 || property == 6)
        return createSyncNothingWithDBs(_syncSession.myDB(property), _syncSession.deviceDB(property), changes);
    return createSyncNothingWithDBs(_syncSession.currentDBName(), _syncSession.currentDeviceDBName(), changes);
}

SyncMLCreator::Node SyncMLCreator::createSyncNothingWithDBs(const QString& myDB, const QString& deviceDB, long changes)
{
    Node sync = createCommand(QStringLiteral("Sync"));
    addLocURI(*sync, QStringLiteral("Target"), deviceDB);
    addLocURI(*sync, QStringLiteral("Source"), myDB);
    addNumberOfChanges(*sync, changes);
    return sync;
}

QString SyncMLCreator::itemText(QVSyncElem& item) const
{
    return item.vxDataForDevice(_syncSession.itemDescription()).toString();
}

SyncMLCreator::Node SyncMLCreator::createAddReplaceCommand(QVSyncElem& item, const QString& sourceURI, int property,
                                                           bool isAdd)
{
    const QString text = itemText(item);
    if (text.isEmpty())
        return nullptr;
    const bool samsung = _syncSession.syncDescription().isSamsung();
    Node command = createCommand(isAdd ? QStringLiteral("Add") : QStringLiteral("Replace"));
    if (samsung)
        command->addChild(createMetaTagForProperty(property));
    SyncMLCreatorNode* element = command->addChild(createNonEmptyElement(QStringLiteral("Item")));
    if (isAdd) {
        addLocURI(*element, QStringLiteral("Source"), sourceURI);
        item.setSourceURI(sourceURI);
    } else {
        addLocURI(*element, QStringLiteral("Target"), sourceURI);
    }
    if (!samsung)
        element->addChild(createMetaTagForProperty(property));
    addCDataElement(*element, QStringLiteral("Data"), text);
    return command;
}

SyncMLCreator::Node SyncMLCreator::createPartialAddReplaceCommand(QVSyncElem& item, long startChar, long& thisChunk,
                                                                  const QString& sourceURI, int property, bool isAdd,
                                                                  long recSize)
{
    const QString text = itemText(item);
    if (startChar < 0 || startChar >= text.size() || thisChunk <= 0)
        return nullptr;
    Node command = createCommand(isAdd ? QStringLiteral("Add") : QStringLiteral("Replace"));
    command->addChild(createMetaTagForProperty(property));
    SyncMLCreatorNode* element = command->addChild(createNonEmptyElement(QStringLiteral("Item")));
    if (isAdd) {
        addLocURI(*element, QStringLiteral("Source"), sourceURI);
        item.setSourceURI(sourceURI);
    } else {
        addLocURI(*element, QStringLiteral("Target"), sourceURI);
    }
    if (startChar == 0)
        element->addChild(createMetaTagSize(recSize));
    const long rest = long(text.size()) - startChar;
    if (rest < thisChunk)
        thisChunk = rest;
    // A character outside the basic plane stays whole: the chunk ends before it.
    if (thisChunk > 1 && startChar + thisChunk < text.size() && text.at(startChar + thisChunk - 1).isHighSurrogate())
        --thisChunk;
    addCDataElement(*element, QStringLiteral("Data"), text.mid(startChar, thisChunk));
    if (startChar + thisChunk < text.size())
        element->addChild(createEmptyElement(QStringLiteral("MoreData")));
    return command;
}

SyncMLCreator::Node SyncMLCreator::createDeleteCommand(QVSyncElem& item, int property)
{
    Node command = createCommand(QStringLiteral("Delete"));
    SyncMLCreatorNode* element = command->addChild(createNonEmptyElement(QStringLiteral("Item")));
    addLocURI(*element, QStringLiteral("Target"), item.sourceURI());
    element->addChild(createMetaTagForProperty(property));
    return command;
}

// ---- Status ----

SyncMLCreator::Node SyncMLCreator::createAnswerElement(const QString& cmdID, const QString& cmdName)
{
    Node status = createCommand(QStringLiteral("Status"));
    addTextElement(*status, QStringLiteral("MsgRef"), _syncSession.currentProcessedMessageID());
    addTextElement(*status, QStringLiteral("CmdRef"), cmdID);
    addTextElement(*status, QStringLiteral("Cmd"), cmdName);
    return status;
}

SyncMLCreator::Node SyncMLCreator::createSyncHdrAnswerElement(int code)
{
    Node status = createAnswerElement(QStringLiteral("0"), QStringLiteral("SyncHdr"));
    addTextElement(*status, QStringLiteral("TargetRef"), _syncSession.myURI());
    addTextElement(*status, QStringLiteral("SourceRef"), _syncSession.deviceURI());
    addTextElement(*status, QStringLiteral("Data"), creatorNumber(code));
    return status;
}

// ---- Anchors ----

SyncMLCreator::Node SyncMLCreator::createAnchorWithTime(const QString& nextTime, const QString& lastTime)
{
    Node anchor = createNonEmptyElement(QStringLiteral("Anchor"));
    anchor->setAttribute(QStringLiteral("xmlns"), QLatin1String(kMetInf));
    if (!lastTime.isEmpty())
        addTextElement(*anchor, QStringLiteral("Last"), lastTime);
    addTextElement(*anchor, QStringLiteral("Next"), nextTime);
    return anchor;
}

SyncMLCreator::Node SyncMLCreator::createItemElement(const QString& nextTime, const QString& lastTime)
{
    Node item = createNonEmptyElement(QStringLiteral("Item"));
    SyncMLCreatorNode* data = item->addChild(createNonEmptyElement(QStringLiteral("Data")));
    data->addChild(createAnchorWithTime(nextTime, lastTime));
    return item;
}
