#pragma once

#include "widgets/PhoneButtonCell.h"

// The phone button of the dark phone matrix: its title switches at once
// between grey 0.75 and white as the pointer enters and leaves.
class PhoneButtonOnBlackCell : public PhoneButtonCell {
    Q_OBJECT
public:
    using PhoneButtonCell::PhoneButtonCell;

    void doHighlite(bool on) override;
    QColor titleColor() const override;
    double textColor() const { return textColor_; }

private:
    double textColor_ = 0;
};
