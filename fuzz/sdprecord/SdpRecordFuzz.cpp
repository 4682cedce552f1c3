// Fuzz target for SDP record decoding. The first byte chooses the input
// form: even, the binary attribute list; odd, a device file (JSON). Besides
// "no crash, no hang", it checks that a decoded record encodes back to bytes
// that decode to the same record, and that the look-ups on it answer a
// channel or 255 without failing.
#include "platform/bluetooth/BluetoothStackSimulated.h"
#include "platform/bluetooth/QuorBluetoothExtensions.h"
#include "platform/bluetooth/SdpServiceRecord.h"

#include <QByteArray>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace platform;

namespace {
[[noreturn]] void failCheck(const char* what, const QByteArray& detail)
{
    std::fprintf(stderr, "SDP record fuzzer: %s\n%s\n", what, detail.toHex().constData());
    std::abort();
}

void lookUps(const std::shared_ptr<BluetoothDevice>& device)
{
    dunChannel(*device);
    pcSuiteOrFTPChannel(*device);
    syncMLChannel(*device);
    channelWithUUID(*device, 0x4C47);
    nokiaPCSuiteChannelOrPCSuiteSerial(*device);
    for (const SdpServiceRecord& record : device->services())
        getUUIDForServiceRecord(record);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    auto stack = std::make_shared<BluetoothStackSimulated>();
    const QString address = QStringLiteral("00:12:34:56:78:9a");
    if (data[0] % 2 == 0) {
        const std::optional<SdpServiceRecord> record = sdp::decodeRecord(bytes);
        if (!record)
            return 0;
        const std::optional<SdpServiceRecord> again = sdp::decodeRecord(sdp::encodeRecord(*record));
        if (!again || !(*again == *record))
            failCheck("record does not survive encoding", bytes);
        record->serviceName();
        record->rfcommChannelID();
        stack->addDevice(address, QString(), false, {*record});
    } else {
        QString error;
        if (!stack->loadDevices(bytes, &error)) {
            if (error.isEmpty())
                failCheck("refused without a reason", bytes);
            return 0;
        }
    }
    lookUps(stack->deviceWithAddressString(address));
    return 0;
}
