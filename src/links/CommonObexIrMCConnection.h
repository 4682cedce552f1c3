#pragma once

#include "links/ObexIrMCConnection.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class ObjectPushCommand;

// The IrMC connection a phonebook session and its file operations run on:
// each request becomes one OBEX request on the phone's "IRMC-SYNC" service,
// addressed by the IrMC object names (information log, change counter,
// change log since an anchor, the whole phonebook, one entry by LUID or by
// index). Writes put the command's data to an object name (a write without
// data deletes); folders are entered by SetPath and listed by a Get of the
// folder-listing type. The command ends with its status, the body received
// and, for a write, the answer's App-Parameters (appParams()). A request that
// cannot start answers non-zero and the command stays unfinished.
class CommonObexIrMCConnection : public ObexIrMCConnection {
public:
    // Kinds of the commands handed in (their command() codes).
    static constexpr int kKindIrMC = 5;
    static constexpr int kKindFileRead = 6;
    static constexpr int kKindFileWrite = 7;
    static constexpr int kKindFileDelete = 8;
    static constexpr int kBadName = -886;

    static constexpr const char* kInfoLogName = "telecom/pb/info.log";
    static constexpr const char* kChangeCounterName = "telecom/pb/luid/cc.log";
    static constexpr const char* kPhonebookName = "telecom/pb.vcf";
    static constexpr const char* kListingType = "x-obex/folder-listing";

    using ObexIrMCConnection::ObexIrMCConnection;
    QString className() const override;

    static QString changeLogName(const QString& anchor);
    static QString luidObjectName(const QString& luid);
    static QString indexObjectName(const QString& index);
    // The object name a new entry is written to.
    static QString newEntryObjectName();

    int requestInfoLogForPB(const std::shared_ptr<ObjectPushCommand>& command);
    int requestChangeLogForPB(const std::shared_ptr<ObjectPushCommand>& command);
    int requestNumberedLogForPB(const std::shared_ptr<ObjectPushCommand>& command, const QString& anchor);
    int requestMainDataForPB(const std::shared_ptr<ObjectPushCommand>& command);
    int requestNumberedObjectStoreForPB(const std::shared_ptr<ObjectPushCommand>& command, const QString& luid);
    int requestIndexItemForPB(const std::shared_ptr<ObjectPushCommand>& command, const QString& index);
    // Puts the command's data to the object name; no data deletes it. With
    // askAppParams an (empty) App-Parameters header asks the phone for the
    // LUID and change counter of the written entry.
    int pushDataObjectForPB(const std::shared_ptr<ObjectPushCommand>& command, const QString& objectName,
                            bool askAppParams);

    // Folder steps: "/" (or empty) is the root, ".." one level up, any
    // other path is entered from the root, one SetPath per component.
    int setPath(const std::shared_ptr<ObjectPushCommand>& command, const QString& path);
    int requestDirectoryListing(const std::shared_ptr<ObjectPushCommand>& command);
    // A path with folders is fetched from the root.
    int requestDownloadFile(const std::shared_ptr<ObjectPushCommand>& command, const QString& path);
    int pushFileData(const std::shared_ptr<ObjectPushCommand>& command, const QString& path);
    int deleteFile(const std::shared_ptr<ObjectPushCommand>& command, const QString& path);

protected:
    void OBEXSetPathHandler(const OBEXSessionEvent& event) override;

private:
    int startCheck() const;
    int getObject(const std::shared_ptr<ObjectPushCommand>& command, const QString& name, const QByteArray& type);
    int putObject(const std::shared_ptr<ObjectPushCommand>& command, const QString& name, bool askAppParams);
    // The SetPath steps of a path: "" for the root, then each component.
    static std::optional<QStringList> pathSteps(const QString& path);
    int sendSetPathStep(const std::shared_ptr<ObjectPushCommand>& command);
    // Runs the steps, then after (the request the steps lead to) if any.
    int runWithSteps(const std::shared_ptr<ObjectPushCommand>& command, const QStringList& steps,
                     std::function<int()> after);

    QStringList _setPathSteps;
    std::function<int()> _afterSetPath;
};
