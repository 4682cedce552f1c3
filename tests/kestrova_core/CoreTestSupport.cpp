#include "CoreTestSupport.h"

#include "kestrova/core/CoreConstants.h"
#include "platform/RunLoop.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {
bool g_logOpen = false;
QStringList g_lines;
} // namespace

extern "C" __attribute__((visibility("default"), used)) int QVLogIsNamedLogOpen(const char* name)
{
    return g_logOpen && name && std::strcmp(name, "SMSKit") == 0;
}

extern "C" __attribute__((visibility("default"), used)) void QVLogToNamedLog(const char* name, const char* format, ...)
{
    if (!QVLogIsNamedLogOpen(name))
        return;
    va_list args;
    va_start(args, format);
    char* text = nullptr;
    if (vasprintf(&text, format, args) >= 0) {
        g_lines.append(QString::fromUtf8(text));
        free(text);
    }
    va_end(args);
}

namespace coretest {

KitLogCapture::KitLogCapture()
{
    g_lines.clear();
    g_logOpen = true;
}

KitLogCapture::~KitLogCapture()
{
    g_logOpen = false;
    g_lines.clear();
}

QStringList KitLogCapture::lines() const
{
    return g_lines;
}

bool KitLogCapture::contains(const QString& text) const
{
    return g_lines.contains(text);
}

void FakeCommDevice::openConnection()
{
    ++opens;
    platform::runloop::performAfterDelay(this, QStringLiteral("open"), 0, [this] {
        if (!delegate())
            return;
        if (failOpen)
            delegate()->sltGeneralCommDeviceOpenFailed(this);
        else
            delegate()->sltGeneralCommDeviceOpenSuccessful(this);
    });
}

void FakeCommDevice::close()
{
    ++closes;
    if (closeCounter)
        ++*closeCounter;
    platform::runloop::cancelPreviousPerformRequests(this);
    if (SLTWillCloseCallback* callback = willCloseCallback())
        callback->smsKitWillCloseChannel(this);
    if (delegate())
        delegate()->sltGeneralCommDeviceConnectionClosed(this);
}

std::unique_ptr<MultiCommDevice> FakeLinkMachine::createCommDevice()
{
    ++created;
    auto device = std::make_unique<FakeCommDevice>();
    device->failOpen = failOpen;
    device->closeCounter = &linkCloses;
    return device;
}

QVariantMap command(int requestedState, const QString& signal, const QVariant& custom)
{
    using namespace kestrova::core;
    QVariantMap c{{QLatin1String(kSLTCommDeviceCommandQueueValueRequestedState), requestedState},
                  {QLatin1String(kSLTCommDeviceCommandCallbackSignal), signal}};
    if (custom.typeId() == QMetaType::QByteArray)
        c.insert(QLatin1String(kSLTStateMachineHexCommandData), custom);
    else if (custom.isValid())
        c.insert(QLatin1String(kSLTStateMachineCommandCustom), custom);
    return c;
}

} // namespace coretest
