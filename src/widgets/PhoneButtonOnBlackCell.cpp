#include "widgets/PhoneButtonOnBlackCell.h"

#include <QPalette>

namespace {
constexpr double kRestingLevel = 0.75;
}

void PhoneButtonOnBlackCell::doHighlite(bool on)
{
    if (on != inTrackFlag()) {
        setInTrackFlag(on);
        restartFade();
    }
    textColor_ = on ? 1.0 : kRestingLevel;
    update();
}

QColor PhoneButtonOnBlackCell::titleColor() const
{
    if (!isEnabled())
        return palette().color(QPalette::Disabled, QPalette::WindowText);
    const double level = textColor_ > 0 && textColor_ <= 1 ? textColor_ : kRestingLevel;
    return QColor::fromRgbF(float(level), float(level), float(level));
}
