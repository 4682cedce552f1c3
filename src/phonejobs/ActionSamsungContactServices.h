#pragma once

#include "phonejobs/ActionSamsungCommonServices.h"

#include <QVariantMap>

class ActionSamsungContactServices;

// A requester that wants to hear when a pre-processing job has ended.
class SamsungPreprocessingRequester {
public:
    virtual ~SamsungPreprocessingRequester() = default;
    virtual void preprocessingDone(ActionSamsungContactServices& job) = 0;
};

// The phonebook sync of a Samsung phone; in its pre-processing form it only
// reads the phone's field-length limits and keeps them.
class ActionSamsungContactServices : public ActionSamsungCommonServices {
public:
    ActionSamsungContactServices(std::shared_ptr<QVActionNotify> notify, bool slow, QVariant userInfo,
                                 bool switchSyncEngine, bool preprocessOnly = false);
    ~ActionSamsungContactServices() override;

    static std::shared_ptr<ActionSamsungContactServices> initActionSamsungContactServices(
        std::shared_ptr<QVActionNotify> notify, bool slow, QVariant userInfo, bool switchSyncEngine);
    static std::shared_ptr<ActionSamsungContactServices> initActionSamsungPreprocessContacts(
        std::shared_ptr<QVActionNotify> notify);
    static QString defaultDescription() { return ActionSamsungCommonServices::defaultDescription(className()); }
    static QString className() { return QStringLiteral("ActionSamsungContactServices"); }

    void notifySyncFinished(const QString& result) override;
    const QVariantMap& prepDict() const { return _prepDict; }
    bool preprocessOnly() const { return _preprocessOnly; }
    bool connectionIsValid() const override;
    void preprocessingDone(QVDeviceCallback& callback);
    int startAction() override;

protected:
    QString jobClassName() const override { return className(); }
    void afterEnd(const std::shared_ptr<QVActionNotify>& requesterNotify) override;

private:
    bool _preprocessOnly = false;
    QVariantMap _prepDict;
    std::shared_ptr<QVDeviceCallback> _preprocessCallback;
    bool _requesterTold = false;
};
