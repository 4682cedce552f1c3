#include "widgets/NSCollapsButton.h"

#include "widgets/CollapsibleBox.h"

NSCollapsButton::NSCollapsButton(QWidget* parent) : QToolButton(parent)
{
    setCheckable(true);
    setAutoRaise(true);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(tr("Show details"));
    showState(false);
    connect(this, &QToolButton::toggled, this, [this](bool on) {
        showState(on);
        if (box_)
            box_->setExpanded(on);
    });
}

void NSCollapsButton::setCollapsibleBox(CollapsibleBox* box)
{
    if (box_)
        disconnect(box_, nullptr, this, nullptr);
    box_ = box;
    if (!box_)
        return;
    setChecked(box_->isExpanded());
    showState(box_->isExpanded());
    connect(box_, &CollapsibleBox::expandedChanged, this, [this](bool on) { setChecked(on); });
}

void NSCollapsButton::awakeFromNib()
{
    if (box_ || boxName_.isEmpty())
        return;
    setCollapsibleBox(platform::gui::outlet<CollapsibleBox>(window(), boxName_));
}

void NSCollapsButton::showState(bool expanded)
{
    setArrowType(expanded ? Qt::DownArrow : Qt::RightArrow);
}
