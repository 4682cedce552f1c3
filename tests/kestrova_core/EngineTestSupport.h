#pragma once

#include "CoreTestSupport.h"
#include "VirtualTime.h"

#include "kestrova/core/CoreConstants.h"
#include "kestrova/core/SLTCommDevice.h"
#include "kestrova/sms/PduCodec.h"
#include "kestrova/sms/pdu.h"
#include "kestrova/sms/sms.h"
#include "kestrova/sms/smsList.h"

#include <functional>
#include <memory>

namespace coretest {

// An engine whose link is a recording transport.
class FakeEngine : public SLTCommDevice {
public:
    FakeEngine() : SLTCommDevice(std::make_unique<FakeLinkQueue>()) {}
    FakeLinkQueue& queue() { return static_cast<FakeLinkQueue&>(commandQueue()); }
    FakeCommDevice* fake() { return queue().fake(); }
};

// A kit's stage that records what it receives.
struct StageRecorder {
    std::shared_ptr<int> alive = std::make_shared<int>(0);
    QList<platform::Notification> received;
    QList<QVariantMap> commands;
    SLTInvocationPtr stage = SLTCommDevice::getInvocationForSelector(
        alive, [this](const platform::Notification& n) { received.append(n); },
        [this](const QVariantMap& c) { commands.append(c); });
    QStringList names() const
    {
        QStringList list;
        for (const auto& n : received)
            list.append(n.name);
        return list;
    }
};

// Plays the phone on a recording transport: every text sent gets answer(text)
// until done() holds or seconds of Clock time pass.
inline bool playPhone(const std::function<FakeCommDevice*()>& transport,
                      const std::function<QByteArray(const QString&)>& answer, const std::function<bool()>& done,
                      double seconds = 60.0)
{
    int answered = 0;
    FakeCommDevice* last = nullptr;
    return testing_support::runUntil(
        [&] {
            FakeCommDevice* fake = transport();
            if (fake != last) {
                last = fake;
                answered = 0;
            }
            if (fake && fake->sentTexts.size() > answered)
                fake->reply(answer(fake->sentTexts.at(answered++)));
            return done();
        },
        seconds, 0.05);
}

// The text and recipient of a SUBMIT PDU a phone recorded.
inline QPair<QString, QString> decodeSubmit(const QByteArray& hex)
{
    kestrova::pduList pdus;
    pdus.appendItem(std::make_unique<kestrova::pdu>(hex, 1, 3, QStringLiteral("SM")));
    kestrova::smsList messages;
    kestrova::createSmsListFromPduList(messages, pdus);
    if (messages.length() != 1)
        return {};
    return {(*messages.begin())->getUtf8Text(), (*messages.begin())->getAddress()};
}

} // namespace coretest
