// A whole SMS read through the organizer kit: the phone lists its inbox; the
// answer arrives in pieces through an in-process transport and goes through
// the command queue, the reply checks, the listing parser and the PDU decoder
// to message dictionaries. Items are messages. After the benchmarks, a child
// process reads an inbox of 30,000 messages (about 3.8 MB of answer) and the
// growth of its peak resident size is set against the size of the answer.
#include "SmsListings.h"
#include "kestrova/core/QVSmsKitAsync.h"
#include "platform/Clock.h"
#include "platform/RunLoop.h"

#include <QCoreApplication>
#include <QFile>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kMessages = 255;
constexpr int kLargeInbox = 30000;

// A phone inside the process: every command is answered on later passes of
// the event loop, in pieces of piece bytes.
class InProcessPhone : public MultiCommDevice {
public:
    InProcessPhone(QByteArray inbox, int piece) : listing(std::move(inbox)), _piece(piece) { }

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

    QByteArray listing;

private:
    void sendPiece()
    {
        platform::runloop::performAfterDelay(this, QStringLiteral("piece"), 0, [this] {
            const QByteArray piece = pending.left(_piece);
            pending.remove(0, piece.size());
            receive(piece, "InProcessPhone");
            if (!pending.isEmpty())
                sendPiece();
        });
    }
    QByteArray pending;
    int _piece;
};

class InProcessMachine : public SLTStateMachine {
public:
    InProcessMachine(QByteArray inbox, int piece) : _inbox(std::move(inbox)), _piece(piece) { }

protected:
    std::unique_ptr<MultiCommDevice> createCommDevice() override
    {
        return std::make_unique<InProcessPhone>(_inbox, _piece);
    }

private:
    QByteArray _inbox;
    int _piece;
};
class InProcessQueue : public SLTCommDeviceCommandQueue {
public:
    InProcessQueue(QByteArray inbox, int piece)
        : SLTCommDeviceCommandQueue(std::make_unique<InProcessMachine>(std::move(inbox), piece))
    {
    }
};
class InProcessEngine : public SLTCommDevice {
public:
    InProcessEngine(QByteArray inbox, int piece)
        : SLTCommDevice(std::make_unique<InProcessQueue>(std::move(inbox), piece))
    {
    }
};
class InProcessKit : public QVSmsKitAsync {
public:
    InProcessKit(QByteArray inbox, int piece)
        : QVSmsKitAsync(std::make_unique<InProcessEngine>(std::move(inbox), piece))
    {
    }
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

// Reads the inbox through the kit; the number of messages delivered, or -1.
int readInbox(const QByteArray& inbox, int piece)
{
    InProcessKit kit(inbox, piece);
    Counter counter;
    kit.setCallback(&counter);
    kit.setDeviceType(0);
    kit.setFamily(QStringLiteral("se"));
    kit.startReading();
    platform::runloop::waitUntil([&] { return counter.finished != -100; }, 0.01, 1000000);
    kit.fullStop();
    kit.setCallback(nullptr);
    return counter.finished == 0 ? counter.messages : -1;
}

void BM_ReadInboxOf255(benchmark::State& state)
{
    const QByteArray inbox = smsInboxListing(kMessages);
    for (auto _ : state) {
        if (readInbox(inbox, 128) != kMessages)
            state.SkipWithError("read failed");
    }
    state.SetItemsProcessed(state.iterations() * kMessages);
}
BENCHMARK(BM_ReadInboxOf255)->Unit(benchmark::kMillisecond);

// A field of /proc/self/status in kB; -1 when absent.
long statusKilobytes(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qsizetype(qstrlen(field))).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// In a child process: the growth of the peak resident size while the kit
// reads the large inbox (in 4 KB reads, as from a tty), in kB; -1 on failure.
long largeInboxPeakGrowth(qsizetype* answerBytes)
{
    const QByteArray inbox = smsInboxListing(kLargeInbox);
    *answerBytes = inbox.size();
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeEnds[0]);
        // The peak starts again from what the process holds now.
        QFile clear(QStringLiteral("/proc/self/clear_refs"));
        long growth = -1;
        if (clear.open(QIODevice::WriteOnly) && clear.write("5") == 1) {
            clear.close();
            const long before = statusKilobytes("VmRSS:");
            if (readInbox(inbox, 4096) == kLargeInbox)
                growth = statusKilobytes("VmHWM:") - before;
        }
        const ssize_t written = ::write(pipeEnds[1], &growth, sizeof growth);
        ::_exit(written == sizeof growth ? 0 : 1);
    }
    ::close(pipeEnds[1]);
    long growth = -1;
    if (child < 0 || ::read(pipeEnds[0], &growth, sizeof growth) != sizeof growth)
        growth = -1;
    ::close(pipeEnds[0]);
    if (child > 0)
        ::waitpid(child, nullptr, 0);
    return growth;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // Virtual time: the link's pauses cost nothing.
    platform::Clock::instance().setVirtual(true);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    qsizetype answer = 0;
    const long growth = largeInboxPeakGrowth(&answer);
    if (growth < 0)
        std::printf("\nInbox of %d messages: peak resident size not measured\n", kLargeInbox);
    else
        std::printf("\nInbox of %d messages (%lld bytes of answer): peak resident size grew by %ld kB, %.1f times "
                    "the answer (goal below 20)\n",
                    kLargeInbox, static_cast<long long>(answer), growth, growth * 1024.0 / double(answer));
    return 0;
}
