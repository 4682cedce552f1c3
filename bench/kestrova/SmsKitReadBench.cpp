// A whole SMS read through the organizer kit: the phone lists 255 messages
// in its inbox; the answer arrives in 128-byte pieces through an in-process
// transport and goes through the command queue, the reply checks, the listing
// parser and the PDU decoder to message dictionaries. Items are messages.
#include "kestrova/core/QVSmsKitAsync.h"
#include "platform/Clock.h"
#include "platform/RunLoop.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

namespace {

constexpr int kPiece = 128;
constexpr int kMessages = 255;

QByteArray inboxListing()
{
    QByteArray answer;
    for (int i = 1; i <= kMessages; ++i)
        answer += "\r\n+CMGL: " + QByteArray::number(i)
                  + ",1,,44\r\n07919471101000F0040C919471325476980000622101214300001DCD72990E6A9741613A"
                    "888E2E83E6F4303DFD7683C274D03C8D07";
    return answer + "\r\n\r\nOK\r\n";
}

// A phone inside the process: every command is answered on later passes of
// the event loop, in pieces.
class InProcessPhone : public MultiCommDevice {
public:
    void openConnection() override
    {
        platform::runloop::performAfterDelay(this, QStringLiteral("open"), 0, [this] {
            if (delegate())
                delegate()->sltGeneralCommDeviceOpenSuccessful(this);
        });
    }
    void sendCommand(const QString& text) override
    {
        clearForCommand();
        QByteArray answer = "\r\nOK\r\n";
        if (text == QLatin1String("AT+CPMS=?\r"))
            answer = "\r\n+CPMS: (\"SM\"),(\"SM\"),(\"SM\")\r\n\r\nOK\r\n";
        else if (text == QLatin1String("AT+CMGL=1\r"))
            answer = listing;
        pending = answer;
        sendPiece();
    }
    void sendDataCommand(const QByteArray&) override { clearForCommand(); }
    void close() override
    {
        platform::runloop::cancelPreviousPerformRequests(this);
        if (delegate())
            delegate()->sltGeneralCommDeviceConnectionClosed(this);
    }
    void goOnReading() override {}
    ~InProcessPhone() override { platform::runloop::cancelPreviousPerformRequests(this); }

    QByteArray listing = inboxListing();

private:
    void sendPiece()
    {
        platform::runloop::performAfterDelay(this, QStringLiteral("piece"), 0, [this] {
            const QByteArray piece = pending.left(kPiece);
            pending.remove(0, piece.size());
            receive(piece, "InProcessPhone");
            if (!pending.isEmpty())
                sendPiece();
        });
    }
    QByteArray pending;
};

class InProcessMachine : public SLTStateMachine {
protected:
    std::unique_ptr<MultiCommDevice> createCommDevice() override { return std::make_unique<InProcessPhone>(); }
};
class InProcessQueue : public SLTCommDeviceCommandQueue {
public:
    InProcessQueue() : SLTCommDeviceCommandQueue(std::make_unique<InProcessMachine>()) {}
};
class InProcessEngine : public SLTCommDevice {
public:
    InProcessEngine() : SLTCommDevice(std::make_unique<InProcessQueue>()) {}
};
class InProcessKit : public QVSmsKitAsync {
public:
    InProcessKit() : QVSmsKitAsync(std::make_unique<InProcessEngine>()) {}
};

struct Counter : smsKitAsync {
    int messages = 0;
    int finished = -100;
    void smsKitReadingBoxData(QVSmsKitAsync*, const QVariantList& list, const QString&) override
    {
        messages += int(list.size());
    }
    void smsKitReadingFinished(QVSmsKitAsync*, int code) override { finished = code; }
};

void BM_ReadInboxOf255(benchmark::State& state)
{
    for (auto _ : state) {
        InProcessKit kit;
        Counter counter;
        kit.setCallback(&counter);
        kit.setDeviceType(0);
        kit.setFamily(QStringLiteral("se"));
        kit.startReading();
        platform::runloop::waitUntil([&] { return counter.finished != -100; }, 0.01, 100000);
        if (counter.finished != 0 || counter.messages != kMessages)
            state.SkipWithError("read failed");
        kit.fullStop();
        kit.setCallback(nullptr);
    }
    state.SetItemsProcessed(state.iterations() * kMessages);
}
BENCHMARK(BM_ReadInboxOf255)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // Virtual time: the link's pauses cost nothing.
    platform::Clock::instance().setVirtual(true);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
