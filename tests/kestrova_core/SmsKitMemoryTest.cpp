// What a large SMS read holds at once: the kit over a recording transport
// reads an inbox of many messages, the listing arriving in 4 KB reads as
// from a tty.
#include "EngineTestSupport.h"
#include "HeapPeak.h"

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

// An inbox listing of count messages of 29 characters from as many senders.
QByteArray inboxListing(int count)
{
    QByteArray answer;
    for (int i = 1; i <= count; ++i) {
        // +491729 and six digits: eleven digits as semi-octets, low nibble first.
        const QByteArray digits = QByteArray::number(49172900000LL + i) + 'F';
        QByteArray swapped;
        for (qsizetype k = 0; k + 1 < digits.size(); k += 2)
            swapped += digits.mid(k + 1, 1) + digits.mid(k, 1);
        answer += "\r\n+CMGL: " + QByteArray::number(i) + ",1,,44\r\n07919471101000F0040B91" + swapped
            + "0000622101214300001DCD72990E6A9741613A888E2E83E6F4303DFD7683C274D03C8D07";
    }
    return answer + "\r\n\r\nOK\r\n";
}

} // namespace

// The heap the read holds at once stays below 12 times the answer, which
// leaves the allocator's own share room under 20 times for the resident size
// (bench_kestrova_smskit measures that in a child process).
TEST(SmsKitMemory, ALargeListingIsReadInLittleMoreThanItsDictionaries)
{
    if (!HeapPeak::available())
        GTEST_SKIP() << "heap counting needs the address sanitizer build";
    constexpr int kMessages = 30000;
    const QByteArray listing = inboxListing(kMessages);
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
