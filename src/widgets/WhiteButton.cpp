#include "widgets/WhiteButton.h"

#include <QStyleOptionButton>
#include <QStylePainter>

WhiteButton::WhiteButton(QWidget* parent)
    : QPushButton(parent)
{
}

QColor WhiteButton::titleColor() const
{
    return isEnabled() ? QColor(Qt::white) : QColor::fromRgbF(1, 1, 1, 0.34);
}

void WhiteButton::setItalicOrObliqueFont()
{
    QFont italic = font();
    italic.setItalic(true);
    setFont(italic);
}

void WhiteButton::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    if (drawsEnabled())
        option.state |= QStyle::State_Enabled;
    else
        option.state &= ~QStyle::State_Enabled;
    const QColor colour = titleColor();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        option.palette.setColor(group, QPalette::ButtonText, colour);
    painter.drawControl(QStyle::CE_PushButton, option);
}
