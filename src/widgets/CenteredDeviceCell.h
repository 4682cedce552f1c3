#pragma once

#include "widgets/DeviceCell.h"

// A device cell whose icon sits in the middle of the cell.
class CenteredDeviceCell : public DeviceCell {
    Q_OBJECT
public:
    using DeviceCell::DeviceCell;

protected:
    int iconOffset(const QRect& frame, const QSize& icon) const override;
};
