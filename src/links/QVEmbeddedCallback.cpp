#include "links/QVEmbeddedCallback.h"

#include "platform/RunLoop.h"

namespace {
const QString kEmbeddedDescriptionFormat =
    QStringLiteral("<QVEmbeddedCallback with Finish [%1 %2] status = %3> Higher Return function:\n%4");
const QString kEmbeddedCallbackDescriptionFormat = QStringLiteral("   -- [%1 %2]\n%3");
const QString kNoHigher = QStringLiteral("###");

QVariant embeddedUserInfo(const QVariant& userInfo, const std::shared_ptr<QVDeviceCallback>& higher)
{
    QVariantMap info;
    if (userInfo.isValid())
        info.insert(QLatin1String(QVEmbeddedCallback::kKeyDirectParam), userInfo);
    info.insert(QLatin1String(QVEmbeddedCallback::kKeyCallback), QVariant::fromValue(higher));
    return info;
}
} // namespace

QVEmbeddedCallback::QVEmbeddedCallback(const void* sender, FinishFunction finish, ProgressFunction progress,
                                       const QVariant& userInfo,
                                       const std::shared_ptr<QVDeviceCallback>& higherCallback)
    : QVDeviceCallback(sender, std::move(finish), std::move(progress), embeddedUserInfo(userInfo, higherCallback))
{
}

std::shared_ptr<QVEmbeddedCallback> QVEmbeddedCallback::embeddedObject(
    const void* sender, FinishFunction finish, ProgressFunction progress, const QVariant& userInfo,
    const std::shared_ptr<QVDeviceCallback>& higherCallback)
{
    return std::make_shared<QVEmbeddedCallback>(sender, std::move(finish), std::move(progress), userInfo,
                                                higherCallback);
}

std::shared_ptr<QVEmbeddedCallback> QVEmbeddedCallback::simpleObjectWithDelegate(
    QVDeviceCallbackDelegate* delegate, const std::shared_ptr<QVDeviceCallback>& higherCallback)
{
    auto callback = std::make_shared<QVEmbeddedCallback>(nullptr, FinishFunction{}, ProgressFunction{}, QVariant{},
                                                         higherCallback);
    callback->setDelegate(delegate);
    return callback;
}

void QVEmbeddedCallback::qvDeviceCallbackFinished(QVDeviceCallback& c)
{
    if (auto higher = getHigherCallback(c))
        higher->finishWithResult(c.returnStatus(), c.resultObject());
}

bool QVEmbeddedCallback::qvDeviceCallbackProgress(QVDeviceCallback& c)
{
    auto higher = getHigherCallback(c);
    if (!higher)
        return false;
    return !higher->registerProgress(c.bytesProcessed(), c.prozDone());
}

QVariant QVEmbeddedCallback::getUserInfo() const
{
    return getUserInfo(*this);
}

QVariant QVEmbeddedCallback::getUserInfo(const QVDeviceCallback& callback)
{
    const QVariant& info = callback.userInfo();
    if (info.typeId() != QMetaType::QVariantMap)
        return {};
    return info.toMap().value(QLatin1String(kKeyDirectParam));
}

std::shared_ptr<QVDeviceCallback> QVEmbeddedCallback::getHigherCallback() const
{
    return getHigherCallback(*this);
}

std::shared_ptr<QVDeviceCallback> QVEmbeddedCallback::getHigherCallback(const QVDeviceCallback& callback)
{
    const QVariant& info = callback.userInfo();
    if (info.typeId() != QMetaType::QVariantMap)
        return nullptr;
    return info.toMap().value(QLatin1String(kKeyCallback)).value<std::shared_ptr<QVDeviceCallback>>();
}

void QVEmbeddedCallback::finishHigherCallback()
{
    if (auto higher = getHigherCallback())
        higher->finishWithResult(returnStatus(), QVariant());
}

void QVEmbeddedCallback::finishHigherCallbackOnMainThread()
{
    auto self = std::static_pointer_cast<QVEmbeddedCallback>(shared_from_this());
    platform::runloop::performOnMainThread([self] { self->finishHigherCallback(); });
}

QString QVEmbeddedCallback::description() const
{
    auto higher = getHigherCallback();
    return kEmbeddedDescriptionFormat.arg(senderClassText(), finishNameText(),
                                          isBusy() ? QStringLiteral("busy") : QStringLiteral("not busy"),
                                          higher ? higher->getCallbackDescription() : kNoHigher);
}

QString QVEmbeddedCallback::getCallbackDescription() const
{
    auto higher = getHigherCallback();
    return kEmbeddedCallbackDescriptionFormat.arg(senderClassText(), finishNameText(),
                                                  higher ? higher->getCallbackDescription() : kNoHigher);
}
