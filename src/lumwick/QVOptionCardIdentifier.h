#pragma once

#include "usbdevice/DZUSBDeviceIdentifier.h"

#include <QList>
#include <QString>
#include <QVariantMap>

// Finds 3G data cards of one maker family among the USB modems by the names
// the cards report (the table of known card names is ours, in the .cpp).
// Each card found is {"product", "portNames"}.
class QVOptionCardIdentifier : public DZUSBDeviceIdentifier {
public:
    enum class Family { Option, Huawei };

    explicit QVOptionCardIdentifier(Family family);
    // Whether a product name is one of the family's cards.
    static bool isKnownCard(Family family, const QString& product);
    // The cards of the family on the bus.
    QList<QVariantMap> getCards();

    bool isValidDevice(const DZDeviceProperties* properties) override;

private:
    Family _family;
};
