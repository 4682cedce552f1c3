#include "foundation/QuorNSDataExtensions.h"

#include "platform/HexDump.h"

QString nSpaces(int count)
{
    return QString(std::max(count, 0), QLatin1Char(' '));
}

QString formattedDescriptionForMemoryBlock(const char* bytes, qsizetype length)
{
    return platform::hexdump::memoryBlock(bytes, length);
}

QString shortDescriptionForMemoryBlock(const char* bytes, qsizetype length)
{
    return platform::hexdump::shortMemoryBlock(bytes, length);
}

QString formattedDescription(const QByteArray& data)
{
    return platform::hexdump::formatted(data);
}

QString shortDescription(const QByteArray& data)
{
    return platform::hexdump::shortFormatted(data);
}
