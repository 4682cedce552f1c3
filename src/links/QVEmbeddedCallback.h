#pragma once

#include "links/QVDeviceCallback.h"
#include "links/QVDeviceCallbackDelegate.h"

// Chains a step's completion into the completion of a higher job: its user
// info holds the higher callback under "callback" and the caller's user info
// under "directParam".
class QVEmbeddedCallback : public QVDeviceCallback, public QVDeviceCallbackDelegate {
public:
    static constexpr const char* kKeyCallback = "callback";
    static constexpr const char* kKeyDirectParam = "directParam";

    QVEmbeddedCallback(const void* sender, FinishFunction finish, ProgressFunction progress,
                       const QVariant& userInfo, const std::shared_ptr<QVDeviceCallback>& higherCallback);

    static std::shared_ptr<QVEmbeddedCallback> embeddedObject(const void* sender, FinishFunction finish,
                                                              ProgressFunction progress, const QVariant& userInfo,
                                                              const std::shared_ptr<QVDeviceCallback>& higherCallback);
    static std::shared_ptr<QVEmbeddedCallback> simpleObjectWithDelegate(
        QVDeviceCallbackDelegate* delegate, const std::shared_ptr<QVDeviceCallback>& higherCallback);

    // Ends the higher callback of c with c's status and result.
    void qvDeviceCallbackFinished(QVDeviceCallback& c) override;
    // Passes c's progress up; true (stop) when the higher job is to stop.
    bool qvDeviceCallbackProgress(QVDeviceCallback& c) override;

    QVariant getUserInfo() const override;
    static QVariant getUserInfo(const QVDeviceCallback& callback);
    std::shared_ptr<QVDeviceCallback> getHigherCallback() const;
    static std::shared_ptr<QVDeviceCallback> getHigherCallback(const QVDeviceCallback& callback);

    void finishHigherCallback();
    void finishHigherCallbackOnMainThread();

    QString description() const override;
    QString getCallbackDescription() const override;
};
