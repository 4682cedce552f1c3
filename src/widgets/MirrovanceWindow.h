#pragma once

#include "widgets/BlackToolWindow.h"

#include <QAbstractButton>

// The dark window of the phone-to-phone copy: a normal (not floating) window
// with a fully opaque mid-grey body.
class MirrovanceWindow : public BlackToolWindow {
    Q_OBJECT

public:
    explicit MirrovanceWindow(QWidget* parent = nullptr);

    QColor getBackGroundColor(qreal alpha) const override;
};
