#pragma once

#include "sync/SyncMLCreatorNode.h"

#include <QByteArray>
#include <QString>

#include <memory>

class QVSyncElem;
class SyncMLCreatorSession;

// Builds the SyncML documents and commands a SyncML session sends, as XML
// trees, and the binary server-alerted notification. It reads everything
// of the run (versions, ids, database names, the phone's switches) from its
// session and holds nothing else.
class SyncMLCreator {
public:
    using Node = std::unique_ptr<SyncMLCreatorNode>;

    static constexpr const char* kMetInf = "syncml:metinf";
    static constexpr const char* kDevInf = "syncml:devinf";
    static constexpr const char* kDevInfType = "application/vnd.syncml-devinf+wbxml";

    explicit SyncMLCreator(SyncMLCreatorSession& session) : _syncSession(session) { }
    static std::unique_ptr<SyncMLCreator> SyncMLCreatorWithSession(SyncMLCreatorSession& session)
    {
        return std::make_unique<SyncMLCreator>(session);
    }

    // Tree primitives.
    static Node createNonEmptyElement(const QString& tag);
    static Node createEmptyElement(const QString& tag);
    static SyncMLCreatorNode* addEmptyElement(SyncMLCreatorNode& parent, const QString& tag);
    static SyncMLCreatorNode* addTextElement(SyncMLCreatorNode& parent, const QString& tag, const QString& text);
    static SyncMLCreatorNode* addCDataElement(SyncMLCreatorNode& parent, const QString& tag, const QString& text);
    static Node createStandardSyncMLDoc();
    Node createSyncMLNode(bool withHeader);
    static Node createSyncBody();
    // Document, SyncML with header, empty SyncBody.
    Node createNewMessage();
    Node createNewSyncHeader();

    // Alerts.
    Node createAlertSyncSlow(int property) { return createAlertSync(property, false); }
    Node createAlertSyncFast(int property) { return createAlertSync(property, true); }
    Node createAlertPacket0(int code, int property);
    Node createAlertPacket0Samsung(int code, int property);
    Node createDatabaseItem(int property);
    Node createSimpleAlert(const QString& code);

    // Sync and its commands. changes < 0: no NumberOfChanges.
    Node createSyncNothing(long changes, int property);
    Node createSyncNothingWithDBs(const QString& myDB, const QString& deviceDB, long changes);
    // Null when the item has no text for the phone.
    Node createAddReplaceCommand(QVSyncElem& item, const QString& sourceURI, int property, bool isAdd);
    // One chunk of a large item from startChar; thisChunk is cut to the rest
    // of the text for the last chunk. Null when the item has no text there.
    Node createPartialAddReplaceCommand(QVSyncElem& item, long startChar, long& thisChunk, const QString& sourceURI,
                                        int property, bool isAdd, long recSize);
    Node createDeleteCommand(QVSyncElem& item, int property);

    // Status answers.
    Node createAnswerElement(const QString& cmdID, const QString& cmdName);
    Node createSyncHdrAnswerElement(int code);

    // Device information.
    Node createGetDeviceInfoMessage();
    Node createDeviceInfoPut(const QString& sourceURI, int property);
    Node createDeviceInfoResult(const QString& cmdRef, const QString& sourceURI, int property);
    // Appends Meta, Item and DevInf to the command; property -1: all databases.
    void createDeviceInfoData(SyncMLCreatorNode& command, const QString& sourceURI, int property);

    // Anchors: Last only when given.
    static Node createAnchorWithTime(const QString& nextTime, const QString& lastTime);
    static Node createItemElement(const QString& nextTime, const QString& lastTime);

    // Package 0: a whole message with the initiating Alert(s) and Final.
    Node createAlarmPacket0(int code, int property);
    Node createAlarmPacket0Samsung(int code, int property);

    // Meta types.
    Node createMetaTagForProperty(int property); // null for a property without one
    static Node createMetaTagVCard(long size = -1);
    static Node createMetaTagSize(long size);
    static QString getBookmarkTypeString() { return QStringLiteral("text/x-vbookmark"); }
    QString metaTypeForProperty(int property) const; // null when none

    // The server-alerted notification of a property; empty for another one.
    QByteArray createSanMessage(int property) const;

private:
    Node createAlertSync(int property, bool fast);
    Node createCommand(const QString& name);
    static Node createMetaType(const QString& type);
    static SyncMLCreatorNode* addLocURI(SyncMLCreatorNode& parent, const QString& tag, const QString& uri);
    void addNumberOfChanges(SyncMLCreatorNode& sync, long changes) const;
    QString itemText(QVSyncElem& item) const;

    SyncMLCreatorSession& _syncSession;
};
