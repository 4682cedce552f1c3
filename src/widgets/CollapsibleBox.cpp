#include "widgets/CollapsibleBox.h"

#include "widgets/AnimatedObject.h"
#include "widgets/CollapsibleBoxDelegate.h"
#include "widgets/FirstDescendant.h"
#include "widgets/HistoryAnimation.h"
#include "widgets/NSCollapsButton.h"
#include "widgets/NSWindowResizeView.h"

#include <QLayout>
#include <QPointer>
#include <vector>

namespace {

bool inLayout(const QWidget* view)
{
    const QWidget* parent = view->parentWidget();
    return parent && parent->layout() && parent->layout()->indexOf(const_cast<QWidget*>(view)) >= 0;
}

// Places a view: a view in a layout takes the height (the layout places it),
// a window follower moves its window along, any other view takes the frame.
void applyFrame(QWidget* view, const QRect& frame)
{
    if (inLayout(view)) {
        view->setMinimumHeight(frame.height());
        view->setMaximumHeight(frame.height());
    } else if (auto* follower = qobject_cast<NSWindowResizeView*>(view)) {
        follower->setFrame(frame);
    } else {
        view->setGeometry(frame);
    }
}

// One stepped move of several views, owned by the first of them.
class FrameAnimation : public QObject, public AnimatedObject {
public:
    struct Entry {
        QPointer<QWidget> view;
        QRect from;
        QRect to;
    };

    FrameAnimation(QWidget* owner, std::vector<Entry> entries)
        : QObject(owner)
        , entries_(std::move(entries))
        , animation_(CollapsibleBox::kAnimationDuration)
    {
        setObjectName(QLatin1String(kName));
        animation_.setEndHandler([this] { deleteLater(); });
    }
    void start() { animation_.setAnimatedHistoryContainer(this); }
    // Puts every view at its end frame at once.
    void finish()
    {
        animation_.stopAnimation();
        doAnimate(1.0);
        deleteLater();
    }
    bool isRunning() const { return animation_.isAnimating(); }

    void doAnimate(double progress) override
    {
        for (const Entry& entry : entries_) {
            if (!entry.view)
                continue;
            const auto mix = [progress](int a, int b) { return int(std::lround(a + (b - a) * progress)); };
            applyFrame(entry.view,
                       QRect(mix(entry.from.x(), entry.to.x()), mix(entry.from.y(), entry.to.y()),
                             mix(entry.from.width(), entry.to.width()), mix(entry.from.height(), entry.to.height())));
        }
    }

    static FrameAnimation* runningOn(const QWidget* view)
    {
        for (QObject* child : view->children()) {
            if (child->objectName() == QLatin1String(kName)) {
                auto* animation = static_cast<FrameAnimation*>(child);
                if (animation->isRunning())
                    return animation;
            }
        }
        return nullptr;
    }

private:
    static constexpr const char* kName = "CollapsibleBoxFrameAnimation";
    std::vector<Entry> entries_;
    HistoryAnimation animation_;
};

void animate(QWidget* view, std::vector<FrameAnimation::Entry> entries)
{
    if (FrameAnimation* running = FrameAnimation::runningOn(view))
        running->finish();
    for (auto& entry : entries)
        entry.from = entry.view->geometry();
    (new FrameAnimation(view, std::move(entries)))->start();
}

} // namespace

CollapsibleBox::CollapsibleBox(QWidget* parent) : QFrame(parent)
{
    setFrameShape(QFrame::StyledPanel);
}

CollapsibleBox::CollapsibleBox(const QRect& frame, QWidget* parent) : CollapsibleBox(parent)
{
    setGeometry(frame);
    otherFrameSize_ = QSize(frame.width(), kCollapsedHeight);
}

void CollapsibleBox::setExpandedState(bool expanded)
{
    if (expanded_ == expanded)
        return;
    expanded_ = expanded;
    Q_EMIT expandedChanged(expanded_);
}

void CollapsibleBox::awakeFromNib()
{
    // A form that gives no other size collapses the box to 38 points.
    if (!otherFrameSize_.isValid())
        otherFrameSize_ = QSize(width(), kCollapsedHeight);
}

void CollapsibleBox::setExpanded(bool expanded, bool animate)
{
    if (expanded == expanded_)
        return;
    const QSize target = otherFrameSize_.isValid() ? otherFrameSize_ : QSize(width(), kCollapsedHeight);
    otherFrameSize_ = size();
    setExpandedState(expanded);
    setFrameSize(target, animate);
}

void CollapsibleBox::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    if (QLayout* content = layout(); content && otherFrameSize_.height() > height()) {
        QRect area = contentsRect();
        area.setHeight(area.height() + otherFrameSize_.height() - height());
        content->setGeometry(area);
    }
}

QRect CollapsibleBox::frameForNewSizePinnedToTopLeft(const QSize& size) const
{
    return QRect(geometry().topLeft(), size);
}

void CollapsibleBox::setFrameSizeWithPinningToTopLeft(const QSize& size)
{
    applyFrame(this, frameForNewSizePinnedToTopLeft(size));
}

void CollapsibleBox::setFrameSize(const QSize& size, bool animate)
{
    if (!animate) {
        setFrameSizeWithPinningToTopLeft(size);
        return;
    }
    const QRect target = frameForNewSizePinnedToTopLeft(size);
    if (delegate_ && !delegate_->collapsibleBox(*this, target, expanded_))
        return;
    ::animate(this, {{this, {}, target}});
}

NSCollapsButton* CollapsibleBox::searchCollapsButton(QWidget* view)
{
    return firstDescendant<NSCollapsButton>(view);
}

void CollapsibleBox::stdAnimateViewAndSiblings(QWidget* view, const QRect& target)
{
    if (!view)
        return;
    const QRect frame = view->geometry();
    const int dy = (target.y() + target.height()) - (frame.y() + frame.height());
    std::vector<FrameAnimation::Entry> entries{{view, {}, target}};
    // A layout moves the siblings itself.
    if (QWidget* parent = view->parentWidget(); parent && !inLayout(view)) {
        for (QObject* child : parent->children()) {
            auto* sibling = qobject_cast<QWidget*>(child);
            if (!sibling || sibling == view || sibling->isWindow())
                continue;
            const QRect other = sibling->geometry();
            if (other.y() + other.height() > frame.y() + frame.height())
                entries.push_back({sibling, {}, other.translated(0, dy)});
        }
    }
    animate(view, std::move(entries));
}

bool CollapsibleBox::isAnimating(const QWidget* view)
{
    return view && FrameAnimation::runningOn(view);
}
