#pragma once

#include "jobs/QVActionNotify.h"

#include <QMetaType>
#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <functional>
#include <memory>

class QVDeviceCallbackDelegate;

// The completion object of every asynchronous job on a phone: the worker
// reports progress any number of times and the end exactly once. Sender and
// delegate are not owned; a sender that goes away while the job may still end
// calls senderIsDying() first.
class QVDeviceCallback : public QVActionNotify, public std::enable_shared_from_this<QVDeviceCallback> {
public:
    // Keys of the dictionaries that carry a finish or a progress report to
    // the main thread.
    static constexpr const char* kKeyInStatus = "KeyInStatus";
    static constexpr const char* kKeyResultObject = "KeyResultObject";
    static constexpr const char* kKeyProzDone = "KeyProzDone";
    static constexpr const char* kKeyBytesProcessed = "KeyBytesProcessed";

    using FinishFunction = std::function<void(QVDeviceCallback&)>;
    // Answers true to stop the job.
    using ProgressFunction = std::function<bool(QVDeviceCallback&)>;

    // A finish (and progress) bound to a delegate's own methods; a callback
    // whose delegate is that same object tells it of the end only once.
    struct DelegateFunctions {
        QVDeviceCallbackDelegate* target = nullptr;
    };

    QVDeviceCallback(const void* sender, FinishFunction finish, ProgressFunction progress, QVariant userInfo);
    QVDeviceCallback(const void* sender, DelegateFunctions functions, QVariant userInfo);
    ~QVDeviceCallback() override;
    QVDeviceCallback(const QVDeviceCallback&) = delete;
    QVDeviceCallback& operator=(const QVDeviceCallback&) = delete;

    static std::shared_ptr<QVDeviceCallback> commandObject(const void* sender, FinishFunction finish,
                                                           ProgressFunction progress, QVariant userInfo = {});
    static std::shared_ptr<QVDeviceCallback> commandObject(const void* sender, DelegateFunctions functions,
                                                           QVariant userInfo = {});
    static std::shared_ptr<QVDeviceCallback> simpleObjectWithDelegate(QVDeviceCallbackDelegate* delegate);
    static std::shared_ptr<QVDeviceCallback> pollingObject();

    // Names shown by description(): the sender's class and the finish function.
    void setDescriptionNames(const QString& senderClass, const QString& finishName);

    void setDelegate(QVDeviceCallbackDelegate* delegate) { _delegate = delegate; }
    QVDeviceCallbackDelegate* delegate() const { return _delegate; }

    bool hasSender() const { return _sender != nullptr; }
    bool isBusy() const { return _isBusy; }
    const QVariant& resultObject() const { return _resultObject; }
    const QVariant& userInfo() const { return _userInfo; }
    int returnStatus() const { return _returnStatus; }
    double bytesProcessed() const { return _bytesProcessed; }
    float prozDone() const { return _prozDone; }
    bool uiContinues() const { return _uiContinues; }
    virtual QVariant getUserInfo() const { return _userInfo; }

    void senderIsDying() { _isSenderAlive = false; }

    // The end of the job.
    void finishWithResult(int status, const QVariant& resultObject);
    void finishWithResult(const QVariantMap& report);
    // Delivered on a later pass of the main run loop, never inline.
    void finishWithErrorInMainThread(int status, const QVariant& resultObject);
    void finishSuccessfullyInMainThread(const QVariant& resultObject);

    // Answers true to go on.
    bool registerProgress(double bytes, float prozDone);
    // Answers true when the job is to STOP.
    bool registerProgress(const QVariantMap& report);

    bool startAction(QVAction& action) override;
    bool processAction(QVAction& action, float percent) override;
    void endAction(QVAction& action, int err) override;

    virtual QString description() const;
    virtual QString getCallbackDescription() const;

protected:
    QString senderClassText() const;
    QString finishNameText() const;

private:
    const void* _sender = nullptr;
    QVDeviceCallbackDelegate* _delegate = nullptr;
    FinishFunction _finishSelector;
    ProgressFunction _progressSelector;
    QVDeviceCallbackDelegate* _finishTarget = nullptr;
    QVariant _userInfo;
    QVariant _resultObject;
    int _returnStatus = 0;
    bool _isBusy = true;
    bool _isSenderAlive = true;
    double _bytesProcessed = 0;
    float _prozDone = 0;
    bool _uiContinues = true;
    QString _senderClass;
    QString _finishName;
};

Q_DECLARE_METATYPE(std::shared_ptr<QVDeviceCallback>)
