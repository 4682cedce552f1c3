#include "widgets/ResizerButtonView.h"

#include "platform/gui/Images.h"
#include "platform/gui/Interface.h"
#include "widgets/BetterSplitView.h"

#include <QMouseEvent>
#include <QPainter>

ResizerButtonView::ResizerButtonView(QWidget* parent) : QWidget(parent)
{
    setCursor(Qt::SplitHCursor);
    setImageName(QStringLiteral("ResizerGrip"));
}

void ResizerButtonView::setImageName(const QString& name)
{
    imageName_ = name;
    image_ = name.isEmpty() ? QImage() : platform::gui::image(QLatin1String(platform::gui::kProgramBundle), name);
    updateGeometry();
    update();
}

BetterSplitView* ResizerButtonView::getSplittView() const
{
    for (QWidget* view = parentWidget(); view; view = view->parentWidget()) {
        if (auto* split = qobject_cast<BetterSplitView*>(view))
            return split;
    }
    return nullptr;
}

QSize ResizerButtonView::sizeHint() const
{
    return image_.isNull() ? QSize(15, 15) : image_.deviceIndependentSize().toSize();
}

void ResizerButtonView::paintEvent(QPaintEvent*)
{
    if (image_.isNull())
        return;
    QPainter painter(this);
    QRectF target(QPointF(), image_.deviceIndependentSize());
    target.moveCenter(QRectF(rect()).center());
    painter.drawImage(target, image_);
}

void ResizerButtonView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !getSplittView()) {
        QWidget::mousePressEvent(event);
        return;
    }
    inResizeAction_ = true;
}

void ResizerButtonView::mouseMoveEvent(QMouseEvent* event)
{
    BetterSplitView* split = getSplittView();
    if (!split || !(event->buttons() & Qt::LeftButton)) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    inResizeAction_ = true;
    split->gripDragged(event->globalPosition().toPoint());
}

void ResizerButtonView::mouseReleaseEvent(QMouseEvent*)
{
    inResizeAction_ = false;
}
