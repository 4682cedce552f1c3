#pragma once

#include "kitbridges/SMSAsyncDeleteMsg.h"
#include "phonejobs/ActionSMSKitServices.h"

#include <QVariantList>

// Deletes messages of one box on the phone through the kit. Each deleted
// message is reported as progress whose user info is a copy of the message
// with its box under "DelBoxName". The caller's to-do list holds the job's
// messages from its creation until the kit reports the end.
class ActionSMSKitDelete : public ActionSMSKitServices, public SMSAsyncDeleteMsg {
public:
    using ToDoList = std::shared_ptr<QVariantList>;

    ActionSMSKitDelete();
    ActionSMSKitDelete(std::shared_ptr<QVActionNotify> notify, QVariantList deleteList, QString boxName,
                       ToDoList deleteToDoList);
    ~ActionSMSKitDelete() override;
    static std::shared_ptr<ActionSMSKitDelete> intAsyncSMSDeleter(std::shared_ptr<QVActionNotify> notify,
                                                                  const QVariantList& deleteList,
                                                                  const QString& boxName, ToDoList deleteToDoList);
    static std::shared_ptr<ActionSMSKitDelete> allocAsyncSMSDeleter(std::shared_ptr<QVActionNotify> notify,
                                                                    const QVariantList& deleteList,
                                                                    const QString& boxName, ToDoList deleteToDoList);
    static QString defaultDescription() { return ActionSMSKitServices::defaultDescription(kClassName); }
    QString className() const override { return kClassName; }
    // Every delete is a request of its own: two with other messages never merge.
    bool isEqualToAction(const QVAction& other) const override { return this == &other; }

    int startAction() override;
    void notifyArchiveChanged() override;
    void smsMessageDeleted(SMSAsyncDeleter* bridge, const QVariantMap& message, const QString& boxName,
                           float prozDone) override;
    void smsMessageDeletingFinished(SMSAsyncDeleter* bridge, int errorCode) override;
    void endAction(int code) override;

    const QVariantList& deleteList() const { return _deleteList; }
    const QString& boxName() const { return _boxName; }

private:
    static inline const QString kClassName = QStringLiteral("ActionSMSKitDelete");
    ToDoList _deleteToDoList;
    QVariantList _deleteList;
    QString _boxName;
};
