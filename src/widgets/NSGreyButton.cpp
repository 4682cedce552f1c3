#include "widgets/NSGreyButton.h"

namespace {
int blockCounter = 0;
} // namespace

NSGreyButton::NSGreyButton(QWidget* parent)
    : WhiteButton(parent)
{
}

QColor NSGreyButton::titleColor() const
{
    return QColor::fromRgbF(1, 1, 1, 0.69);
}

void NSGreyButton::doBlockInterior(bool block)
{
    blockCounter = block ? blockCounter + 1 : std::max(0, blockCounter - 1);
}

int NSGreyButton::blockCount()
{
    return blockCounter;
}

bool NSGreyButton::drawsEnabled() const
{
    // A disabled button never draws as enabled, whatever the window's state.
    return isEnabled() && window()->windowOpacity() >= 1.0;
}
