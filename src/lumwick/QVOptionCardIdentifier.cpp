#include "lumwick/QVOptionCardIdentifier.h"

namespace {

// Product names of the data cards each family's identifier recognizes.
struct CardPattern {
    QVOptionCardIdentifier::Family family;
    const char* fragment;
};
constexpr CardPattern kCards[] = {
    {QVOptionCardIdentifier::Family::Option, "GlobeTrotter"},
    {QVOptionCardIdentifier::Family::Option, "Globetrotter"},
    {QVOptionCardIdentifier::Family::Option, "GT MAX"},
    {QVOptionCardIdentifier::Family::Option, "iCON"},
    {QVOptionCardIdentifier::Family::Huawei, "E220"},
    {QVOptionCardIdentifier::Family::Huawei, "E270"},
    {QVOptionCardIdentifier::Family::Huawei, "E620"},
    {QVOptionCardIdentifier::Family::Huawei, "Mobile Connect"},
};

} // namespace

QVOptionCardIdentifier::QVOptionCardIdentifier(Family family) : DZUSBDeviceIdentifier(false, true), _family(family)
{
}

bool QVOptionCardIdentifier::isKnownCard(Family family, const QString& product)
{
    for (const CardPattern& card : kCards) {
        if (card.family == family && product.contains(QLatin1String(card.fragment), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

bool QVOptionCardIdentifier::isValidDevice(const DZDeviceProperties* properties)
{
    return properties && isKnownCard(_family, properties->product())
        && (!properties->portNames().isEmpty() || !properties->portName().isEmpty());
}

QList<QVariantMap> QVOptionCardIdentifier::getCards()
{
    QList<QVariantMap> cards;
    for (const QVariantMap& device : getUSBDevices().value_or(QList<QVariantMap>())) {
        const DZDeviceProperties properties(device);
        QVariantList ports = properties.portNames();
        if (ports.isEmpty())
            ports.append(properties.portName());
        cards.append({{QLatin1String(DZDeviceProperties::kProductKey), properties.product()},
                      {QLatin1String(DZDeviceProperties::kPortNamesKey), ports}});
    }
    return cards;
}
