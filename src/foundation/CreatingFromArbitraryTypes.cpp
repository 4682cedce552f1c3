#include "foundation/CreatingFromArbitraryTypes.h"

#include "foundation/FoundationLog.h"

#include <QDebug>

#include <cstring>

namespace {

template<typename T>
QVariant read(const void* value)
{
    T result;
    std::memcpy(&result, value, sizeof result);
    return QVariant::fromValue(result);
}

QVariant address(const void* value)
{
    return QVariant::fromValue(const_cast<void*>(value));
}

} // namespace

QVariant numberWithValue(const void* value, const char* objCType)
{
    if (!value || !objCType || !*objCType)
        return QVariant();
    switch (objCType[0]) {
    case 'c': return read<signed char>(value);
    case 'C': return read<unsigned char>(value);
    case 's': return read<short>(value);
    case 'S': return read<unsigned short>(value);
    case 'i': return read<int>(value);
    case 'I': return read<unsigned int>(value);
    case 'l': return read<long>(value);
    case 'L': return read<unsigned long>(value);
    case 'q': return read<qlonglong>(value);
    case 'Q': return read<qulonglong>(value);
    case 'f': return read<float>(value);
    case 'd': return read<double>(value);
    case '@': return *static_cast<const QVariant*>(value);
    case '^':
    case '*': {
        void* pointer;
        std::memcpy(&pointer, value, sizeof pointer);
        return pointer ? QVariant::fromValue(pointer) : QVariant();
    }
    case '[':
    case '{':
        return address(value);
    default:
        qCWarning(lcFoundation, "converting unknown format %s", objCType);
        return address(value);
    }
}
