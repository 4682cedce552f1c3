#include "kestrova/core/QVSmsKitAsync.h"

#include "kestrova/core/CoreConstants.h"
#include "kestrova/core/KitErrors.h"
#include "kestrova/core/KitLog.h"
#include "kestrova/core/SmsKitVendorChain.h"
#include "kestrova/sms/Constants.h"
#include "kestrova/sms/GsmAlphabet.h"
#include "kestrova/sms/PduCodec.h"
#include "kestrova/sms/SmsLog.h"
#include "kestrova/sms/sms.h"
#include "kestrova/sms/smsList.h"
#include "platform/Localization.h"
#include "platform/RunLoop.h"

#include <QDateTime>
#include <QTimeZone>

using namespace kestrova::core;
using namespace kestrova::kit;
using kestrova::kitLog;
using kestrova::kitLogWith;

namespace {

const QString kLaterAction = QStringLiteral("kitLater");
const QString kNoAddress = QStringLiteral("0000000000");
const QString kDraftStringKey = QStringLiteral("draftString");

QVariant returnValue(const platform::Notification& n)
{
    return n.userInfo.value(key(kSLTCommDeviceReturnValue));
}

// The service-centre time stamp as a date: in local time for "motorola",
// else in the zone the PDU gives. Invalid when no date can be built.
QDateTime messageDate(const kestrova::sms::Timestamp& stamp, bool localTime)
{
    const QDate date(2000 + stamp[0], stamp[1], stamp[2]);
    const QTime time(stamp[3], stamp[4], stamp[5]);
    if (!date.isValid() || !time.isValid())
        return QDateTime();
    const QTimeZone zone = localTime ? QTimeZone::systemTimeZone() : QTimeZone(stamp[6] * 15 * 60);
    if (!zone.isValid())
        return QDateTime();
    return QDateTime(date, time, zone);
}

} // namespace

QVSmsKitAsync::QVSmsKitAsync()
    : QVSmsKitAsync(std::make_unique<SLTCommDevice>())
{
}

QVSmsKitAsync::QVSmsKitAsync(std::unique_ptr<SLTCommDevice> engine)
    : _sltCommDevice(std::move(engine))
{
    _sltCommDevice->setStayConnected(false);
}

QVSmsKitAsync::~QVSmsKitAsync()
{
    platform::runloop::cancelPreviousPerformRequests(this);
}

void QVSmsKitAsync::setFilename(const QString& path)
{
    _sltCommDevice->setType(kDeviceTypeSerial);
    _sltCommDevice->setFilename(path);
}

void QVSmsKitAsync::setAddressString(const QString& address)
{
    _sltCommDevice->setType(kDeviceTypeBluetooth);
    _sltCommDevice->setDeviceAddress(address);
}

void QVSmsKitAsync::setFamily(const QString& family)
{
    _family = family;
    _sltCommDevice->setFamily(family);
}

void QVSmsKitAsync::setQuorvalisID(long identifier)
{
    _quorvalisID = identifier;
    _sltCommDevice->setQuorvalisID(int(identifier));
}

void QVSmsKitAsync::setCallback(smsKitAsync* callback)
{
    _callback = callback;
    _sltCommDevice->setWillCloseCallback(callback);
}

void QVSmsKitAsync::enableLogging()
{
    kestrova::openSmsKitLog();
}

std::optional<QString> QVSmsKitAsync::substituteStringToGreek(const QString& text)
{
    return kestrova::substituteStringToGreek(text);
}

SLTInvocationPtr QVSmsKitAsync::stage(void (QVSmsKitAsync::*method)(const platform::Notification&))
{
    return SLTCommDevice::getInvocationForSelector(_alive,
                                                   [this, method](const platform::Notification& n) { (this->*method)(n); });
}

void QVSmsKitAsync::later(std::function<void()> fn)
{
    platform::runloop::performAfterDelay(this, kLaterAction, 0, std::move(fn));
}

int QVSmsKitAsync::errorCodeOf(const platform::Notification& n)
{
    return n.userInfo.contains(key(kSLTCommDeviceConnectionError)) ? kLinkFailed : kFailed;
}

void QVSmsKitAsync::progress(float percent)
{
    if (_callback)
        _callback->smsKitReadingProgress(this, percent);
}

// --- Reading --------------------------------------------------------------

bool QVSmsKitAsync::startReading()
{
    kitLog("\n\n\nKit: startReading ...\n\n\n");
    _currentMessageArray.clear();
    if (SLTStateMachine::isLgFamily(_family))
        startLgViewtyReading();
    else if (_family == QLatin1String("samsung"))
        startSamsungReading();
    else {
        progress(5);
        _sltCommDevice->getMessagesInbox(stage(&QVSmsKitAsync::startStage2));
    }
    return true;
}

void QVSmsKitAsync::startStage2(const platform::Notification& n)
{
    kitLog("Kit: startReadingStage2");
    const QVariant result = returnValue(n);
    if (!result.canConvert<SLTPduListPtr>() || !result.value<SLTPduListPtr>()) {
        _sltCommDevice->close();
        const bool linkFailed = n.userInfo.contains(key(kSLTCommDeviceConnectionError))
                                || n.userInfo.contains(key(kSLTCommDeviceCommandQueueConnectionError));
        if (_callback)
            _callback->smsKitReadingFinished(this, linkFailed ? kLinkFailed : kFailed);
        return;
    }
    const SLTPduListPtr pdus = result.value<SLTPduListPtr>();
    const auto box = [&](const QString& name) { deliverPduBox(pdus, name); };
    switch (pdus->state()) {
    case 0:
        progress(30);
        box(QStringLiteral("inbox"));
        _sltCommDevice->getMessagesDrafts(stage(&QVSmsKitAsync::startStage2));
        break;
    case 2:
        progress(60);
        box(QStringLiteral("drafts"));
        _sltCommDevice->getMessagesSent(stage(&QVSmsKitAsync::startStage2));
        break;
    case 3:
        progress(90);
        box(QStringLiteral("sent"));
        if (_callback)
            _callback->smsKitReadingFinished(this, kSuccess);
        kitLog("Kit: reading finished");
        break;
    default:
        break;
    }
}

void QVSmsKitAsync::deliverPduBox(const SLTPduListPtr& pdus, const QString& name)
{
    pdus->liste().resetPos();
    kestrova::smsList messages;
    int dropped = 0;
    kestrova::createSmsListFromPduList(messages, pdus->liste(), &dropped);
    if (dropped > 0)
        kitLogWith([&] { return QStringLiteral("Kit: %1 PDUs of box %2 not readable").arg(dropped).arg(name); });
    // A large box never holds its PDUs, its messages and their dictionaries
    // all at once: each goes when the next is made.
    pdus->liste().clear();
    takeListFrom(messages, name);
}

QVariantList QVSmsKitAsync::createListFrom(kestrova::smsList& list, const QString& box)
{
    QVariantList messages;
    messages.reserve(list.length());
    for (const auto& message : list)
        messages.append(messageDictionary(*message, box));
    deliverBox(messages, box);
    return messages;
}

void QVSmsKitAsync::takeListFrom(kestrova::smsList& list, const QString& box)
{
    QVariantList messages;
    messages.reserve(list.length());
    while (!list.isEmpty()) {
        const std::unique_ptr<kestrova::sms> message = list.removeListItem(list.begin()->get());
        messages.append(messageDictionary(*message, box));
    }
    deliverBox(messages, box);
}

QVariantMap QVSmsKitAsync::messageDictionary(const kestrova::sms& message, const QString& box) const
{
    QVariantMap entry;
    entry.insert(QStringLiteral("memory"), message.getSmsMemory());
    entry.insert(QStringLiteral("memIndexes"), message.getSmsMemIndex());
    QString text;
    const int coding = message.getTP_DCS() & 0xFF;
    if (coding == 0)
        text = message.getUtf8Text().replace(QLatin1String("\\n"), QLatin1String("\n"));
    else if (coding == 8)
        text = message.getUtf8Text();
    entry.insert(QStringLiteral("message"), text);
    const QString address = message.getAddress();
    if (address == kNoAddress) {
        const QString draft = platform::localizedString(kDraftStringKey);
        entry.insert(QStringLiteral("name"), draft == kDraftStringKey ? QString() : draft);
        entry.insert(QStringLiteral("number"), QString());
    } else {
        entry.insert(QStringLiteral("name"), QStringLiteral("noch kein Name"));
        entry.insert(QStringLiteral("number"), address);
    }
    if (box == QLatin1String("inbox")) {
        const QDateTime date = messageDate(message.timestamp(), _family == QLatin1String("motorola"));
        if (date.isValid())
            entry.insert(QStringLiteral("date"), date);
    }
    entry.insert(QStringLiteral("multiPartMessageRef"),
                 message.isMultiPart() ? QString::number(message.getConcatReference()) : QString());
    entry.insert(QStringLiteral("specialChars"), coding == 8);
    return entry;
}

void QVSmsKitAsync::deliverBox(const QVariantList& messages, const QString& box)
{
    if (messages.isEmpty())
        return;
    _currentMessageArray.append(messages);
    kitLogWith([&] { return QStringLiteral("%1 Nachrichten fuer %2").arg(messages.size()).arg(box); });
    if (_callback)
        _callback->smsKitReadingBoxData(this, messages, box);
}

// --- Deleting -------------------------------------------------------------

bool QVSmsKitAsync::removeMessages(const QVariantList& messages)
{
    if (messages.isEmpty())
        return false;
    _deleteMessageData = messages;
    _callbackBackup = _callback;
    _callback = this;
    _deleting = true;
    startReading();
    return true;
}

void QVSmsKitAsync::smsKitReadingBoxData(QVSmsKitAsync*, const QVariantList&, const QString&)
{
    // createListFrom has collected the box already.
}

void QVSmsKitAsync::smsKitReadingFinished(QVSmsKitAsync*, int)
{
    removeMessagesStep();
}

void QVSmsKitAsync::removeMessagesStep()
{
    _callback = _callbackBackup;
    _callbackBackup = nullptr;
    if (_deleteMessageData.isEmpty() || _currentMessageArray.isEmpty()) {
        finishDeleting(kFailed);
        return;
    }
    if (SLTStateMachine::isLgFamily(_family)) {
        lgDeleteMessages();
        return;
    }
    _sltCommDevice->deleteSmsArray(_deleteMessageData, _currentMessageArray, stage(&QVSmsKitAsync::removeMessagesStage2));
    _sltCommDevice->setPreferredSmsMemory(stage(&QVSmsKitAsync::removeMessagesStage3));
    _sltCommDevice->deleteSmsFinished(stage(&QVSmsKitAsync::removeMessagesStage4));
}

void QVSmsKitAsync::removeMessagesStage2(const platform::Notification& n)
{
    const QVariant result = returnValue(n);
    if (!result.isValid()) {
        // The rest of the request is dropped: it ends here, once.
        _sltCommDevice->fullStop();
        finishDeleting(errorCodeOf(n));
        return;
    }
    if (result.typeId() == QMetaType::QVariantMap && _callback && _deleting)
        _callback->smsKitMessageDeleted(this, result.toMap());
}

void QVSmsKitAsync::removeMessagesStage3(const platform::Notification&)
{
}

void QVSmsKitAsync::removeMessagesStage4(const platform::Notification& n)
{
    _sltCommDevice->close();
    finishDeleting(returnValue(n).isValid() ? kSuccess : errorCodeOf(n));
}

void QVSmsKitAsync::finishDeleting(int errorCode)
{
    if (!_deleting)
        return;
    _deleting = false;
    if (_callback)
        _callback->smsKitMessageDeletingFinished(this, errorCode);
}

// --- Sending --------------------------------------------------------------

void QVSmsKitAsync::sendTextMessage(const QString& text, const QVariantList& recipients, bool specialChars)
{
    if (SLTStateMachine::isLgFamily(_family) && _smscAddress.isEmpty()) {
        _sendMessageData = {{QStringLiteral("text"), text},
                            {QStringLiteral("recipients"), recipients},
                            {QStringLiteral("specialChars"), specialChars}};
        lgSendTextMessage();
        return;
    }
    QStringList numbers;
    for (const QVariant& recipient : recipients) {
        const QString number = recipient.toString();
        const QString stripped = kestrova::Constants::stripNumber(number);
        if (recipient.typeId() != QMetaType::QString || stripped.isEmpty() || stripped != number) {
            later([this] {
                if (_callback)
                    _callback->smsKitSendTextMessageFinished(this, kInvalidRecipient);
            });
            return;
        }
        numbers.append(number);
    }
    if (text.isEmpty()) {
        later([this] {
            if (_callback)
                _callback->smsKitSendTextMessageFinished(this, kEmptyText);
        });
        return;
    }
    _sltCommDevice->sendTextMessage(text, numbers, specialChars, _smscAddress,
                                    stage(&QVSmsKitAsync::sendTextMessageStage2));
}

void QVSmsKitAsync::sendTextMessageStage2(const platform::Notification& n)
{
    if (!returnValue(n).isValid()) {
        if (_callback)
            _callback->smsKitSendTextMessageFinished(this, errorCodeOf(n));
        return;
    }
    if (n.name == key(kSLTCommDevicePduSent)) {
        if (_callback)
            _callback->smsKitMessagePartSent(this);
    } else if (n.name == key(kSLTCommDeviceCommandSuccessful)) {
        _sltCommDevice->close();
        if (_callback)
            _callback->smsKitSendTextMessageFinished(this, kSuccess);
    }
}

// --- Storage usage --------------------------------------------------------

void QVSmsKitAsync::getMemoryUsage()
{
    kitLog("\n\n\nKit: getMemoryUsage ...\n\n\n");
    _sltCommDevice->getFreeMemory(stage(&QVSmsKitAsync::getMemoryUsageStage2));
}

void QVSmsKitAsync::getMemoryUsageStage2(const platform::Notification& n)
{
    kitLog("Kit: getMemoryUsageStage2");
    const QVariant result = returnValue(n);
    if (result.typeId() == QMetaType::QVariantList) {
        kitLog("Kit: getMemoryUsageStage2 - successful");
        if (_callback)
            _callback->smsKitMemoryUsage(this, result.toList());
        return;
    }
    if (n.userInfo.contains(key(kSLTCommDeviceCommandQueueTimeout))) {
        kitLog("Kit: getMemoryUsageStage2 - timeout, abort reading");
    } else if (n.userInfo.contains(key(kSLTCommDeviceConnectionError))) {
        kitLog("Kit: getMemoryUsageStage2 - connection error, abort reading");
    } else {
        kitLog("Kit: getMemoryUsageStage2 - failed, restart with SM");
        _sltCommDevice->getFreeMemorySM(stage(&QVSmsKitAsync::getMemoryUsageSMStage2));
        return;
    }
    if (_callback)
        _callback->smsKitMemoryUsage(this, std::nullopt);
}

void QVSmsKitAsync::getMemoryUsageSMStage2(const platform::Notification& n)
{
    kitLog("Kit: getMemoryUsageSMStage2 - failed, restart with SM");
    const QVariant result = returnValue(n);
    if (result.typeId() == QMetaType::QVariantList) {
        kitLog("Kit: getMemoryUsageSMStage2 - success, start SM reading");
        if (_callback)
            _callback->smsKitMemoryUsage(this, result.toList());
        return;
    }
    kitLog("Kit: getMemoryUsageSMStage2 - failed, abort reading");
    if (_callback)
        _callback->smsKitMemoryUsage(this, std::nullopt);
}

// --- Control ----------------------------------------------------------------

void QVSmsKitAsync::fullStop()
{
    kitLog("Kit: closing connection ...");
    platform::runloop::cancelPreviousPerformRequests(this);
    _sltCommDevice->fullStop();
    kitLog("Kit: closing connection ... done");
}

void QVSmsKitAsync::abortActionAsync()
{
    if (isConnected())
        lgOrganizerAbortAction();
    else
        fullStop();
}

// --- Vendor chains -----------------------------------------------------------

namespace {
const QString kLgSmsVendor = QStringLiteral("lg");
const QString kSamsungSmsVendor = QStringLiteral("samsung");

std::map<QString, QVSmsKitAsync::SmsChainMaker>& smsChainMakers()
{
    static std::map<QString, QVSmsKitAsync::SmsChainMaker> makers;
    return makers;
}
} // namespace

void QVSmsKitAsync::registerSmsChain(const QString& vendor, SmsChainMaker maker)
{
    smsChainMakers()[vendor] = std::move(maker);
}

SmsKitVendorChain* QVSmsKitAsync::smsChain(const QString& vendor)
{
    auto found = _smsChains.find(vendor);
    if (found != _smsChains.end())
        return found->second.get();
    const auto maker = smsChainMakers().find(vendor);
    if (maker == smsChainMakers().end() || !maker->second)
        return nullptr;
    return _smsChains.emplace(vendor, maker->second(*this)).first->second.get();
}

SLTCommDevice& SmsKitVendorChain::engine()
{
    return _kit.engine();
}

smsKitAsync* SmsKitVendorChain::callback()
{
    return _kit._callback;
}

std::weak_ptr<const void> SmsKitVendorChain::lifeToken()
{
    return _kit.lifeToken();
}

const QVariantList& SmsKitVendorChain::deleteMessageData()
{
    return _kit._deleteMessageData;
}

const QVariantMap& SmsKitVendorChain::sendMessageData()
{
    return _kit._sendMessageData;
}

void SmsKitVendorChain::setSmscAddress(const QString& address)
{
    _kit._smscAddress = address;
}

bool SmsKitVendorChain::deliverListedBox(const SLTPduListPtr& pdus)
{
    switch (pdus->state()) {
    case 0:
        deliverBox(pdus, QStringLiteral("inbox"));
        return false;
    case 2:
        deliverBox(pdus, QStringLiteral("drafts"));
        return false;
    case 3:
        deliverBox(pdus, QStringLiteral("sent"));
        return true;
    default:
        return false;
    }
}

void SmsKitVendorChain::deliverBox(const SLTPduListPtr& pdus, const QString& box)
{
    _kit.deliverPduBox(pdus, box);
}

void SmsKitVendorChain::finishDeleting(int errorCode)
{
    _kit.finishDeleting(errorCode);
}

void QVSmsKitAsync::startLgViewtyReading()
{
    if (SmsKitVendorChain* chain = smsChain(kLgSmsVendor); chain && chain->startReading())
        return;
    kitLog("Kit: no LG reading chain");
    later([this] {
        if (_callback)
            _callback->smsKitReadingFinished(this, kFailed);
    });
}

void QVSmsKitAsync::startSamsungReading()
{
    if (SmsKitVendorChain* chain = smsChain(kSamsungSmsVendor); chain && chain->startReading())
        return;
    kitLog("Kit: no Samsung reading chain");
    later([this] {
        if (_callback)
            _callback->smsKitReadingFinished(this, kFailed);
    });
}

void QVSmsKitAsync::lgOrganizerAbortAction()
{
    SmsKitVendorChain* chain = SLTStateMachine::isLgFamily(_family) ? smsChain(kLgSmsVendor) : nullptr;
    if (!chain || !chain->abortAction())
        fullStop();
}

void QVSmsKitAsync::lgDeleteMessages()
{
    if (SmsKitVendorChain* chain = smsChain(kLgSmsVendor); chain && chain->deleteMessages())
        return;
    kitLog("Kit: no LG delete chain");
    later([this] { finishDeleting(kFailed); });
}

void QVSmsKitAsync::lgSendTextMessage()
{
    if (SmsKitVendorChain* chain = smsChain(kLgSmsVendor); chain && chain->sendTextMessage())
        return;
    kitLog("Kit: no LG send chain");
    later([this] {
        if (_callback)
            _callback->smsKitSendTextMessageFinished(this, kFailed);
    });
}
