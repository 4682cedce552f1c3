// What a large SMS read holds at once: the kit over a recording transport
// reads an inbox of many messages, the listing arriving in 4 KB reads as
// from a tty.
#include "EngineTestSupport.h"
#include "HeapPeak.h"

#include "SmsListings.h"
#include "kestrova/core/QVSmsKitAsync.h"

#include <gtest/gtest.h>

using namespace coretest;

namespace {

class RecordingKit : public QVSmsKitAsync {
public:
    RecordingKit() : QVSmsKitAsync(std::make_unique<FakeEngine>()) { }
    FakeCommDevice* fake() { return static_cast<FakeEngine&>(engine()).fake(); }
};

struct Boxes : smsKitAsync {
    qsizetype messages = 0;
    QList<int> finished;
    void smsKitReadingBoxData(QVSmsKitAsync*, const QVariantList& list, const QString&) override
    {
        messages += list.size();
    }
    void smsKitReadingFinished(QVSmsKitAsync*, int code) override { finished.append(code); }
};

} // namespace

// The heap the read holds at once stays below 12 times the answer, which
// leaves the allocator's own share room under 20 times for the resident size
// (bench_kestrova_smskit measures that in a child process).
TEST(SmsKitMemory, ALargeListingIsReadInLittleMoreThanItsDictionaries)
{
    if (!HeapPeak::available())
        GTEST_SKIP() << "heap counting needs the address sanitizer build";
    constexpr int kMessages = 30000;
    const QByteArray listing = smsInboxListing(kMessages);
    constexpr qsizetype kRead = 4096;

    RecordingKit kit;
    Boxes boxes;
    kit.setCallback(&boxes);
    kit.setDeviceType(kestrova::core::kDeviceTypeSerial);
    kit.setFamily(QStringLiteral("se"));
    qint64 peak = 0;
    {
        HeapPeak heap;
        kit.startReading();
        const bool done = playPhone([&] { return kit.fake(); },
                                    [&](const QString& text) -> QByteArray {
                                        if (text == QLatin1String("AT+CPMS=?\r"))
                                            return "\r\n+CPMS: (\"SM\"),(\"SM\"),(\"SM\")\r\n\r\nOK\r\n";
                                        if (text != QLatin1String("AT+CMGL=1\r"))
                                            return "\r\nOK\r\n";
                                        // All but the last read here; playPhone hands over the last.
                                        qsizetype at = 0;
                                        for (; listing.size() - at > kRead; at += kRead)
                                            kit.fake()->reply(listing.mid(at, kRead));
                                        return listing.mid(at);
                                    },
                                    [&] { return !boxes.finished.isEmpty(); });
        ASSERT_TRUE(done);
        peak = heap.bytes();
    }
    kit.fullStop();
    kit.setCallback(nullptr);
    EXPECT_EQ(boxes.finished, QList<int>{0});
    EXPECT_EQ(boxes.messages, kMessages);
    const double times = double(peak) / double(listing.size());
    RecordProperty("PeakTimesAnswer", QString::number(times, 'f', 1).toStdString());
    EXPECT_LT(times, 12.0) << peak << " bytes of heap at the peak for " << listing.size() << " bytes of answer";
}
