// Fuzz target for the wizard's service survey. The input is split at each
// 0xFF 0xFE pair into records (binary SDP attribute lists, as a phone or the
// record cache gives them); the first piece is also the phone's name. The
// survey must not fail, must offer the phone only with one of its flags set,
// and a kept PC-suite record must decode again.
#include "lumwick/OrbitalexWizard.h"
#include "platform/bluetooth/BluetoothStackSimulated.h"
#include "platform/bluetooth/SdpServiceRecord.h"

#include <QByteArray>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace platform;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QList<QByteArray> pieces = bytes.split('\xff');
    QList<SdpServiceRecord> records;
    for (const QByteArray& piece : pieces) {
        if (std::optional<SdpServiceRecord> record = sdp::decodeRecord(piece))
            records.append(*record);
    }
    const QString name = QString::fromUtf8(pieces.value(0));
    auto stack = std::make_shared<BluetoothStackSimulated>();
    const QString address = QStringLiteral("00:12:34:56:78:9a");
    stack->addDevice(address, name, true, records);
    const std::optional<DZDeviceProperties> found = lumwick::getBTDeviceProperties(
        *stack->deviceWithAddressString(address));
    if (found) {
        if (!found->hasSerialPort() && !found->hasDialup() && !found->hasOBEX() && !found->hasPCSuite())
            std::abort();
        const QByteArray kept = found->pcSuiteServiceRecord();
        if (!kept.isNull() && !sdp::decodeRecord(kept))
            std::abort();
        for (QChar c : found->btUserName()) {
            if (c.category() == QChar::Other_Control)
                std::abort();
        }
    }
    return 0;
}
