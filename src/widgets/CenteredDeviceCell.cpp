#include "widgets/CenteredDeviceCell.h"

#include <cmath>

int CenteredDeviceCell::iconOffset(const QRect& frame, const QSize& icon) const
{
    if (icon.isEmpty())
        return DeviceCell::iconOffset(frame, icon);
    return int(std::ceil((frame.width() - icon.width()) / 2.0));
}
