// Fuzz target for platform::plist::read. Besides "no crash, no hang, no
// leak", it checks the reader's promises:
//  - a result is either a valid value with no error, or invalid with an error;
//  - a value that can be written reads back, and writing it again gives the
//    same bytes (what the code writes reads back equal).
#include "platform/PropertyList.h"

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {
[[noreturn]] void failCheck(const char* what, const QByteArray& detail)
{
    std::fprintf(stderr, "plist fuzzer: %s\n%s\n", what, detail.constData());
    std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    QString error;
    const QVariant value = platform::plist::read(bytes, &error);
    if (value.isValid() == !error.isEmpty())
        failCheck("result and error disagree", error.toUtf8());
    if (!value.isValid())
        return 0;

    QString writeError;
    const QByteArray xml = platform::plist::toXml(value, &writeError);
    if (xml.isEmpty())
        return 0;   // e.g. a binary string holding a control character XML cannot carry
    QString readError;
    const QVariant again = platform::plist::read(xml, &readError);
    if (!again.isValid())
        failCheck("written XML does not read back", readError.toUtf8() + "\n" + xml);
    if (platform::plist::toXml(again) != xml)
        failCheck("writing what was read back changes the XML", xml);
    return 0;
}
