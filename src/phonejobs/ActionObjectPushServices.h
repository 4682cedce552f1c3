#pragma once

#include "phonejobs/ActionRequestService.h"

// Sends one local file to the phone by OBEX object push: opens the "Push"
// service, hands the file to the device's push connection with the job's
// completion object (whose progress and end drive the job) and ends after
// the device's pause after a normal close.
class ActionObjectPushServices : public ActionRequestService {
public:
    static constexpr const char* kServicePush = "Push";
    static constexpr const char* kPushToMobileKey = "ActionPushToMobile";

    ActionObjectPushServices(const QString& path, std::shared_ptr<QVActionNotify> notify, QVariant userInfo);
    ~ActionObjectPushServices() override;
    // Null when the base refuses (no path).
    static std::shared_ptr<ActionObjectPushServices> initWithPath(const QString& path,
                                                                  std::shared_ptr<QVActionNotify> notify,
                                                                  QVariant userInfo);
    static std::shared_ptr<ActionObjectPushServices> actionWithPath(const QString& path,
                                                                    std::shared_ptr<QVActionNotify> notify,
                                                                    QVariant userInfo)
    {
        return initWithPath(path, std::move(notify), std::move(userInfo));
    }

    const QString& path() const { return _thePath; }
    int startAction() override;
    void endAction(int code) override;
    // "<push text> (<status>)".
    QString generateErrorString(int code) const override;
    // The bare file name.
    QString displayString() const override;
    QString description() const override;

private:
    QString _thePath;
};
