#include "platform/bluetooth/BluetoothAddress.h"

namespace platform {

namespace {
int hexValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

QString format(const BluetoothAddress& address, QChar separator, bool upper)
{
    QString text;
    text.reserve(17);
    for (size_t i = 0; i < address.bytes.size(); ++i) {
        if (i)
            text += separator;
        QString pair = QString::number(address.bytes[i], 16).rightJustified(2, u'0');
        text += upper ? pair.toUpper() : pair;
    }
    return text;
}
} // namespace

std::optional<BluetoothAddress> BluetoothAddress::fromString(const QString& text)
{
    const QString t = text.trimmed();
    qsizetype step = 0;
    if (t.size() == 12)
        step = 2;
    else if (t.size() == 17)
        step = 3;
    else
        return std::nullopt;
    const QChar separator = step == 3 ? t.at(2) : QChar();
    if (step == 3 && separator != u':' && separator != u'-')
        return std::nullopt;
    BluetoothAddress address;
    for (int i = 0; i < 6; ++i) {
        const qsizetype at = i * step;
        const int high = hexValue(t.at(at));
        const int low = hexValue(t.at(at + 1));
        if (high < 0 || low < 0)
            return std::nullopt;
        if (step == 3 && i < 5 && t.at(at + 2) != separator)
            return std::nullopt;
        address.bytes[size_t(i)] = quint8(high << 4 | low);
    }
    return address;
}

QString BluetoothAddress::toString() const
{
    return format(*this, u'-', false);
}

QString BluetoothAddress::toColonString() const
{
    return format(*this, u':', true);
}

} // namespace platform
