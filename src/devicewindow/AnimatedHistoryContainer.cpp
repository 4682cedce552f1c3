#include "devicewindow/AnimatedHistoryContainer.h"

#include "devicewindow/AnimatedTextCell.h"

#include "platform/Localization.h"
#include "platform/gui/Images.h"
#include "widgets/HistoryAnimation.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

AnimatedHistoryContainer::AnimatedHistoryContainer(QWidget* parent)
    : FooterToolBarView(parent, Origin::FromInterface)
    , tunnelBackImage_(platform::gui::image(QStringLiteral("program"), QLatin1String(kTunnelImage)))
{
    setObjectName(QStringLiteral("AnimatedHistoryContainer"));
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(platform::localizedString(QStringLiteral("SnapshotDates")));
}

AnimatedHistoryContainer::~AnimatedHistoryContainer() = default;

void AnimatedHistoryContainer::addHistory(const QString& dateString)
{
    auto* cell = new AnimatedTextCell(QRectF(0, 0, 1, 1), this);
    cell->setStringValue(dateString);
    cell->setDrawOval(AnimatedTextCell::kOvalRadius);
    cell->setDrawType(FooterToolBarView::FillColor);
    cell->show();
    animCells_.append(cell);
}

void AnimatedHistoryContainer::setSelectedDate(int index)
{
    selectedDate_ = index;
    recalcHistory();
}

bool AnimatedHistoryContainer::isAnimating() const
{
    return historyAnimation_ && historyAnimation_->isAnimating();
}

void AnimatedHistoryContainer::recalcHistory()
{
    if (animCells_.isEmpty())
        return;
    if (historyAnimation_) {
        historyAnimation_->stopAnimation();
        historyAnimation_.reset();
    }
    const qreal width = this->width();
    const qreal mid = height() / 2.0;
    const int count = int(animCells_.size());
    for (int index = 0; index < count; ++index) {
        AnimatedTextCell* cell = animCells_.at(index);
        if (!cell)
            continue;
        if (index < selectedDate_) {
            const int k = selectedDate_ - 1 - index;
            cell->setDestAnimatedFrame(QRectF(30, mid + 35 + 32 * k, width - 170, 30), 10, 0.2, 0.7);
        } else if (index == selectedDate_) {
            cell->setDestAnimatedFrame(QRectF(10, mid - 21, width - 110, 42), 14, 0.0, 1.0);
        } else {
            const int k = index - selectedDate_ - 1;
            cell->setDestAnimatedFrame(QRectF(30, mid - 56 - 32 * k, width - 140, 30), 10, 0.7, 0.12);
        }
    }
    historyAnimation_ = std::make_unique<HistoryAnimation>(kAnimationSeconds, QEasingCurve::InOutSine);
    historyAnimation_->setEndHandler([this] { animationDidEnd(); });
    historyAnimation_->setAnimatedHistoryContainer(this);
}

void AnimatedHistoryContainer::clearHistoryView()
{
    if (historyAnimation_) {
        historyAnimation_->stopAnimation();
        historyAnimation_.reset();
    }
    while (!animCells_.isEmpty()) {
        QPointer<AnimatedTextCell> cell = animCells_.takeLast();
        delete cell.data();
    }
    selectedDate_ = 1;
    update();
}

void AnimatedHistoryContainer::doAnimate(double progress)
{
    for (const QPointer<AnimatedTextCell>& cell : std::as_const(animCells_))
        if (cell)
            cell->doAnimate(progress);
    update();
}

void AnimatedHistoryContainer::animationDidEnd()
{
    update();
}

void AnimatedHistoryContainer::paintEvent(QPaintEvent* event)
{
    FooterToolBarView::paintEvent(event);
    if (tunnelBackImage_.isNull())
        return;
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setOpacity(kTunnelFraction);
    painter.drawImage(QRectF(rect()), tunnelBackImage_);
}

void AnimatedHistoryContainer::choose(int index)
{
    if (animCells_.isEmpty())
        return;
    index = std::clamp(index, 0, int(animCells_.size()) - 1);
    if (index == selectedDate_)
        return;
    setSelectedDate(index);
    Q_EMIT dateChosen(index);
}

void AnimatedHistoryContainer::keyPressEvent(QKeyEvent* event)
{
    // Older dates are above, newer ones below.
    switch (event->key()) {
    case Qt::Key_Up: choose(selectedDate_ - 1); return;
    case Qt::Key_Down: choose(selectedDate_ + 1); return;
    case Qt::Key_Home: choose(0); return;
    case Qt::Key_End: choose(int(animCells_.size()) - 1); return;
    default: FooterToolBarView::keyPressEvent(event);
    }
}

void AnimatedHistoryContainer::mousePressEvent(QMouseEvent* event)
{
    setFocus(Qt::MouseFocusReason);
    if (event->button() != Qt::LeftButton)
        return;
    for (int index = 0; index < animCells_.size(); ++index)
        if (animCells_.at(index) && animCells_.at(index)->geometry().contains(event->position().toPoint())) {
            choose(index);
            return;
        }
}

void AnimatedHistoryContainer::resizeEvent(QResizeEvent* event)
{
    FooterToolBarView::resizeEvent(event);
    // The places depend on the size: lay out again without a slide.
    if (animCells_.isEmpty() || selectedDate_ < 0)
        return;
    recalcHistory();
    if (historyAnimation_)
        historyAnimation_->stopAnimation();
    doAnimate(1.0);
}
