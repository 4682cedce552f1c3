#pragma once

#include "jobs/QVAction.h"
#include "links/QVDeviceCallback.h"
#include "links/QVDeviceCallbackDelegate.h"

#include <QStringList>

#include <memory>
#include <optional>

// A job on a phone whose connections may share one link. Before it starts it
// closes every other open connection of its pipe's group (each at most once
// per posting, never one that is still opening) and waits out the device's
// pause; it then runs with a completion object whose end ends the job.
class ActionDeviceCallback : public QVAction, public QVDeviceCallbackDelegate {
public:
    ActionDeviceCallback();
    ActionDeviceCallback(std::shared_ptr<QVActionNotify> notify, QVariant userInfo);
    ~ActionDeviceCallback() override;

    QString description() const override;
    // 0 while the job is being prepared as its pipe's head, so that nothing
    // overtakes it.
    int priority() const override;
    // Jobs of one kind with equal descriptions are equal.
    bool isEqual(const QVAction& other) const override;
    bool isEqualToAction(const QVAction& other) const override;
    void setActionDevice(MFDevice* device, const std::shared_ptr<QVActionPipe>& pipe, unsigned jobIndex) override;
    void closeOldConnectionFinished(QVDeviceCallback& callback);
    // Connections of this type are not closed by the readiness check.
    virtual bool isSameActionType(const QString& type) const;
    bool isInOpenProgress() const override;
    bool readyToExecute() override;
    std::shared_ptr<QVDeviceCallback> deviceCallback() const { return _deviceCallback; }
    int startAction() override;
    // Extends the device's pause by its pause after any action.
    void endAction(int code) override;
    void resetActionForStartAfterSuspend() override;

    // QVDeviceCallbackDelegate, for the job's own completion object only.
    bool qvDeviceCallbackProgress(QVDeviceCallback& callback) override;
    void qvDeviceCallbackFinished(QVDeviceCallback& callback) override;

protected:
    // A completion object that reaches this job's method while the job lives.
    template <class T>
    std::shared_ptr<QVDeviceCallback> callbackTo(void (T::*finish)(QVDeviceCallback&));
    QString hashText() const;

    std::shared_ptr<QVDeviceCallback> _deviceCallback;
    // Types still to examine for closing; made at the first readiness check.
    std::optional<QStringList> _closeChannels;
    bool _inCloseAction = false;
    bool _inCheckToExecuteProcess = false;

private:
    void dropDeviceCallback();
    std::shared_ptr<QVDeviceCallback> _closeCallback;
};

template <class T>
std::shared_ptr<QVDeviceCallback> ActionDeviceCallback::callbackTo(void (T::*finish)(QVDeviceCallback&))
{
    std::weak_ptr<QVFeedBack> weakSelf = weak_from_this();
    return QVDeviceCallback::commandObject(
        this,
        [weakSelf, finish](QVDeviceCallback& callback) {
            if (auto self = std::static_pointer_cast<T>(weakSelf.lock()))
                ((*self).*finish)(callback);
        },
        {});
}
