// The LG file browser's packet fields and piece assembly on phone bytes:
// the fields never point past the reply, the data part lies inside it, and
// assembling pieces never counts below zero nor accepts more bytes than the
// packet states. The first byte of the input chooses where it is cut into
// pieces.
#include "kestrova/vendors/LgFileBrowserFrames.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {
void check(bool condition)
{
    if (!condition)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace kestrova::lg;
    if (size == 0)
        return 0;
    const qsizetype cut = qsizetype(data[0]) + 1;
    const QByteArray input(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    if (const std::optional<FilePacketFields> fields = readFilePacketFields(input)) {
        check(fields->headerLength <= input.size() + 1);
        check(fields->headerLength >= 10 + 1 + 2 + 2 + 12);
        check(lgFileBrowserGetHeaderLength(input) == fields->headerLength);
    } else {
        check(lgFileBrowserGetHeaderLength(input) == 0 && lgFileBrowserGetLengthField(input) == 0);
    }
    const QByteArray part = getFileDataPartFrom(input);
    check(part.size() < std::max<qsizetype>(1, input.size()));

    LgPacketPieces pieces;
    qsizetype carried = 0;
    LgPacketPieces::Result state = pieces.first(input.left(cut));
    for (qsizetype at = cut; state == LgPacketPieces::Result::More && at < input.size(); at += cut) {
        const int before = pieces.stillToReceive();
        const QByteArray piece = input.mid(at, cut);
        state = pieces.next(piece);
        if (state != LgPacketPieces::Result::Bad) {
            check(pieces.stillToReceive() == before - (piece.size() - 2));
            carried += piece.size() - 2;
        }
    }
    check(pieces.stillToReceive() >= 0);
    if (state != LgPacketPieces::Result::Bad)
        check(std::min<qsizetype>(cut, input.size()) - 2 + carried + pieces.stillToReceive() == pieces.packetLength());
    check(countFFValues(input) <= input.size());
    return 0;
}
