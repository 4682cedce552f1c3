#pragma once

#include "kitbridges/SMSAsyncSenderMsg.h"
#include "phonejobs/ActionSMSKitServices.h"

#include <QVariantList>

// Sends one text to a list of numbers through the kit, reporting each part
// sent against the parts the caller counted.
class ActionSMSKitSend : public ActionSMSKitServices, public SMSAsyncSenderMsg {
public:
    ActionSMSKitSend(std::shared_ptr<QVActionNotify> notify, QVariant userInfo, QString text, QVariantList recipients,
                     bool specialChars, int partCount);
    ~ActionSMSKitSend() override;
    static std::shared_ptr<ActionSMSKitSend> initAsyncSMSSend(std::shared_ptr<QVActionNotify> notify,
                                                              QVariant userInfo, const QString& text,
                                                              const QVariantList& recipients, bool specialChars,
                                                              int partCount);
    static std::shared_ptr<ActionSMSKitSend> allocAsyncSMSSend(std::shared_ptr<QVActionNotify> notify,
                                                               QVariant userInfo, const QString& text,
                                                               const QVariantList& recipients, bool specialChars,
                                                               int partCount);
    static QString defaultDescription() { return ActionSMSKitServices::defaultDescription(kClassName); }
    QString className() const override { return kClassName; }
    // Every send is a message of its own: two sends never merge.
    bool isEqualToAction(const QVAction& other) const override { return this == &other; }

    int startAction() override;
    void smsSendTextMessageFinished(SMSAsyncSender* bridge, int errorCode) override;
    void smsMessagePartSent(SMSAsyncSender* bridge, float prozDone) override;
    QString generateErrorString(int code) const override;

    const QString& text() const { return _text; }
    const QVariantList& recipients() const { return _recipients; }

private:
    static inline const QString kClassName = QStringLiteral("ActionSMSKitSend");
    QString _text;
    QVariantList _recipients;
    bool _specialChars = false;
    int _partCount = 0;
    int _testCount = 0;
};
