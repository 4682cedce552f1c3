#include "links/QVDeviceCallback.h"

#include "links/QVDeviceCallbackDelegate.h"
#include "platform/RunLoop.h"

namespace {
const QString kDescriptionFormat = QStringLiteral("<QVDeviceCallback with Finish [%1 %2] status = %3>");
const QString kCallbackDescriptionFormat = QStringLiteral("   ++ [%1 %2]");
const QString kNoSender = QStringLiteral("### No sender ###");
const QString kNoFunction = QStringLiteral("### No function ###");
const QString kBusy = QStringLiteral("busy");
const QString kNotBusy = QStringLiteral("not busy");
const QString kDelegateFinishName = QStringLiteral("qvDeviceCallbackFinished:");
} // namespace

QVDeviceCallback::QVDeviceCallback(const void* sender, FinishFunction finish, ProgressFunction progress,
                                   QVariant userInfo)
    : _sender(sender)
    , _finishSelector(std::move(finish))
    , _progressSelector(std::move(progress))
    , _userInfo(std::move(userInfo))
{
}

QVDeviceCallback::QVDeviceCallback(const void* sender, DelegateFunctions functions, QVariant userInfo)
    : _sender(sender)
    , _finishTarget(functions.target)
    , _userInfo(std::move(userInfo))
{
    if (QVDeviceCallbackDelegate* target = functions.target) {
        _finishSelector = [target](QVDeviceCallback& c) { target->qvDeviceCallbackFinished(c); };
        _progressSelector = [target](QVDeviceCallback& c) { return target->qvDeviceCallbackProgress(c); };
        _finishName = kDelegateFinishName;
    }
}

QVDeviceCallback::~QVDeviceCallback() = default;

std::shared_ptr<QVDeviceCallback> QVDeviceCallback::commandObject(const void* sender, FinishFunction finish,
                                                                  ProgressFunction progress, QVariant userInfo)
{
    return std::make_shared<QVDeviceCallback>(sender, std::move(finish), std::move(progress), std::move(userInfo));
}

std::shared_ptr<QVDeviceCallback> QVDeviceCallback::commandObject(const void* sender, DelegateFunctions functions,
                                                                  QVariant userInfo)
{
    return std::make_shared<QVDeviceCallback>(sender, functions, std::move(userInfo));
}

std::shared_ptr<QVDeviceCallback> QVDeviceCallback::simpleObjectWithDelegate(QVDeviceCallbackDelegate* delegate)
{
    auto callback = pollingObject();
    callback->setDelegate(delegate);
    return callback;
}

std::shared_ptr<QVDeviceCallback> QVDeviceCallback::pollingObject()
{
    return std::make_shared<QVDeviceCallback>(nullptr, FinishFunction{}, ProgressFunction{}, QVariant{});
}

void QVDeviceCallback::setDescriptionNames(const QString& senderClass, const QString& finishName)
{
    _senderClass = senderClass;
    _finishName = finishName;
}

void QVDeviceCallback::finishWithResult(int status, const QVariant& resultObject)
{
    // Receivers may drop the last outside reference.
    const std::shared_ptr<QVDeviceCallback> keep = weak_from_this().lock();
    _returnStatus = status;
    _resultObject = resultObject;
    _isBusy = false;
    if (_sender && _isSenderAlive && _finishSelector)
        _finishSelector(*this);
    if (_delegate && _isSenderAlive) {
        const bool toldAlready = _finishTarget == _delegate && _sender;
        if (!toldAlready)
            _delegate->qvDeviceCallbackFinished(*this);
    }
}

void QVDeviceCallback::finishWithResult(const QVariantMap& report)
{
    const int status = report.value(QLatin1String(kKeyInStatus), 0).toInt();
    finishWithResult(status, report.value(QLatin1String(kKeyResultObject)));
}

void QVDeviceCallback::finishWithErrorInMainThread(int status, const QVariant& resultObject)
{
    QVariantMap report;
    report.insert(QLatin1String(kKeyInStatus), status);
    if (resultObject.isValid())
        report.insert(QLatin1String(kKeyResultObject), resultObject);
    auto self = shared_from_this();
    platform::runloop::performOnMainThread([self, report] { self->finishWithResult(report); });
}

void QVDeviceCallback::finishSuccessfullyInMainThread(const QVariant& resultObject)
{
    finishWithErrorInMainThread(0, resultObject);
}

bool QVDeviceCallback::registerProgress(double bytes, float prozDone)
{
    _bytesProcessed = bytes;
    _prozDone = prozDone;
    if (!_uiContinues || !_isSenderAlive)
        return _uiContinues;
    if (_progressSelector && _sender) {
        if (_progressSelector(*this))
            _uiContinues = false;
    } else if (_delegate) {
        if (_delegate->qvDeviceCallbackProgress(*this))
            _uiContinues = false;
    }
    return _uiContinues;
}

bool QVDeviceCallback::registerProgress(const QVariantMap& report)
{
    const float percent = report.value(QLatin1String(kKeyProzDone), 0.0).toFloat();
    const double bytes = report.value(QLatin1String(kKeyBytesProcessed), 0.0).toDouble();
    return !registerProgress(bytes, percent);
}

bool QVDeviceCallback::startAction(QVAction&)
{
    return true;
}

bool QVDeviceCallback::processAction(QVAction&, float)
{
    return true;
}

void QVDeviceCallback::endAction(QVAction&, int err)
{
    finishWithResult(err, QVariant());
}

QString QVDeviceCallback::senderClassText() const
{
    if (!_sender)
        return kNoSender;
    return _senderClass.isEmpty() ? QStringLiteral("?") : _senderClass;
}

QString QVDeviceCallback::finishNameText() const
{
    if (!_finishSelector)
        return kNoFunction;
    return _finishName.isEmpty() ? QStringLiteral("?") : _finishName;
}

QString QVDeviceCallback::description() const
{
    return kDescriptionFormat.arg(senderClassText(), finishNameText(), _isBusy ? kBusy : kNotBusy);
}

QString QVDeviceCallback::getCallbackDescription() const
{
    return kCallbackDescriptionFormat.arg(senderClassText(), finishNameText());
}
