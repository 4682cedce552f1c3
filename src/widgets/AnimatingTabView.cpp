#include "widgets/AnimatingTabView.h"

#include "platform/Coder.h"
#include "platform/gui/Images.h"
#include "widgets/TransitionFilters.h"
#include "widgets/TransitionOverlay.h"

#include <QMouseEvent>
#include <QTabBar>

namespace {
const QString kStyleKey = QStringLiteral("transitionStyle");
} // namespace

AnimatingTabView::AnimatingTabView(QWidget* parent)
    : QTabWidget(parent)
    , animation_([this] { drawFrame(); }, [this] { endTransition(); })
{
    tabBar()->installEventFilter(this);
    connect(this, &QTabWidget::currentChanged, this, &AnimatingTabView::pageChanged);
}

AnimatingTabView::~AnimatingTabView() = default;

void AnimatingTabView::awakeFromNib()
{
    const QString bundle = QLatin1String(platform::gui::kProgramBundle);
    shadingImage_ = platform::gui::image(bundle, QStringLiteral("restrictedshine"));
    maskImage_ = platform::gui::image(bundle, QStringLiteral("transitionmask"));
}

void AnimatingTabView::initWithCoder(const platform::Coder& coder)
{
    transitionStyle_ = coder.containsValueForKey(kStyleKey) ? coder.decodeObjectForKey(kStyleKey).toInt() : 0;
}

void AnimatingTabView::encodeWithCoder(platform::Coder& coder) const
{
    coder.encodeObject(kStyleKey, transitionStyle_);
}

bool AnimatingTabView::isNoVisible() const
{
    return isHidden() || !window()->isVisible();
}

QImage AnimatingTabView::currentFrame() const
{
    return overlay_ && isAnimating() ? overlay_->currentFrame() : QImage();
}

void AnimatingTabView::mousePressEvent(QMouseEvent* event)
{
    if (event->modifiers() & Qt::ShiftModifier)
        slowMotionDemo_ = true;
    QTabWidget::mousePressEvent(event);
}

bool AnimatingTabView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == tabBar() && event->type() == QEvent::MouseButtonPress
        && (static_cast<QMouseEvent*>(event)->modifiers() & Qt::ShiftModifier))
        slowMotionDemo_ = true;
    return QTabWidget::eventFilter(watched, event);
}

QImage AnimatingTabView::pictureOf(QWidget* page, const QSize& size)
{
    const qreal ratio = devicePixelRatioF();
    QImage picture(size * ratio, QImage::Format_ARGB32_Premultiplied);
    picture.setDevicePixelRatio(ratio);
    ClearBitmapImageRep(picture);
    if (page)
        page->render(&picture, QPoint(), QRegion(), QWidget::DrawChildren);
    ++picturesTaken_;
    return picture;
}

void AnimatingTabView::pageChanged(int index)
{
    QWidget* from = shownPage_;
    QWidget* to = widget(index);
    shownPage_ = to;
    if (isAnimating())
        endTransition(); // the running one jumps to its last frame
    if (!from || !to || from == to || isNoVisible()) {
        slowMotionDemo_ = false;
        return;
    }
    const QRect fromFrame(from->mapTo(this, QPoint(0, 0)), from->size());
    const QRect toFrame(to->mapTo(this, QPoint(0, 0)), to->size());
    imageRect_ = fromFrame.united(toFrame);
    const QSize pictureSize = imageRect_.size();
    fromPicture_ = pictureOf(from, pictureSize);
    toPicture_ = pictureOf(to, pictureSize);

    if (!overlay_)
        overlay_ = new TransitionOverlay(this);
    overlay_->setGeometry(imageRect_);
    overlay_->setFrame(fromPicture_);
    overlay_->raise();
    overlay_->show();
    lastDuration_ = slowMotionDemo_ ? kSlowMotionDuration : kDuration;
    slowMotionDemo_ = false;
    animation_.start(lastDuration_);
}

void AnimatingTabView::drawFrame()
{
    if (!overlay_)
        return;
    overlay_->setFrame(transitions::frame(transitionStyle_, fromPicture_, toPicture_, animation_.currentValue(),
                                          shadingImage_, maskImage_));
    overlay_->repaint();
}

void AnimatingTabView::endTransition()
{
    animation_.stop();
    if (overlay_)
        overlay_->hide();
    fromPicture_ = QImage();
    toPicture_ = QImage();
    update();
}
