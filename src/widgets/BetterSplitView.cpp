#include "widgets/BetterSplitView.h"

#include "platform/UserDefaults.h"
#include "widgets/BetterSplitViewDelegate.h"
#include "widgets/FirstDescendant.h"
#include "widgets/ResizerButtonView.h"
#include "widgets/WidgetsLog.h"

#include <QChildEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QStyle>
#include <cmath>

namespace {

// Stored frames beyond this many points are not a layout anybody made.
constexpr double kLargestStoredCoordinate = 100000;
constexpr int kKeyStep = 10;
constexpr int kLargeKeyStep = 50;

// The divider: draws only when the split view draws dividers, takes focus,
// and moves by drag or arrow keys through the split view's limits.
class DividerHandle : public QSplitterHandle {
public:
    DividerHandle(Qt::Orientation orientation, BetterSplitView* parent)
        : QSplitterHandle(orientation, parent)
        , split_(parent)
    {
        setFocusPolicy(Qt::StrongFocus);
        setAccessibleName(BetterSplitView::tr("Divider"));
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        if (split_->drawsDivider())
            QSplitterHandle::paintEvent(event);
        if (hasFocus()) {
            QPainter painter(this);
            painter.fillRect(rect(), palette().color(QPalette::Highlight));
        }
    }
    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton)
            grabOffset_ = along(event->position().toPoint());
    }
    void mouseMoveEvent(QMouseEvent* event) override
    {
        if (!(event->buttons() & Qt::LeftButton))
            return;
        split_->moveDividerTo(along(mapTo(split_, event->position().toPoint())) - grabOffset_);
    }
    void mouseReleaseEvent(QMouseEvent*) override { }
    void keyPressEvent(QKeyEvent* event) override
    {
        const int step = event->modifiers() & Qt::ShiftModifier ? kLargeKeyStep : kKeyStep;
        int delta = 0;
        switch (event->key()) {
        case Qt::Key_Left:
        case Qt::Key_Up:
            delta = -step;
            break;
        case Qt::Key_Right:
        case Qt::Key_Down:
            delta = step;
            break;
        default:
            QSplitterHandle::keyPressEvent(event);
            return;
        }
        split_->moveDividerTo(along(geometry().topLeft()) + delta);
    }
    void focusInEvent(QFocusEvent* event) override
    {
        update();
        QSplitterHandle::focusInEvent(event);
    }
    void focusOutEvent(QFocusEvent* event) override
    {
        update();
        QSplitterHandle::focusOutEvent(event);
    }

private:
    int along(const QPoint& point) const { return orientation() == Qt::Horizontal ? point.x() : point.y(); }

    BetterSplitView* split_;
    int grabOffset_ = 0;
};

} // namespace

BetterSplitView::BetterSplitView(QWidget* parent) : QSplitter(Qt::Horizontal, parent)
{
    styleThickness_ = style()->pixelMetric(QStyle::PM_SplitterWidth, nullptr, this);
}

BetterSplitView::~BetterSplitView()
{
    if (watchedWindow_)
        watchedWindow_->removeEventFilter(this);
}

void BetterSplitView::setDelegate(BetterSplitViewDelegate* delegate)
{
    delegate_ = delegate;
    // The form woke before its owner could hand over the delegate.
    if (awake_ && delegate_) {
        if (const QString name = autosaveName(); !name.isEmpty())
            restoreDefault(name);
    }
}

void BetterSplitView::setThickness(qreal thickness)
{
    thickness_ = thickness;
    setHandleWidth(thickness_ >= 1 ? int(thickness_) : styleThickness_);
}

qreal BetterSplitView::dividerThickness() const
{
    return thickness_ >= 1 ? thickness_ : styleThickness_;
}

bool BetterSplitView::drawsDivider() const
{
    return !(thickness_ > 0 && styleThickness_ > thickness_);
}

ResizerButtonView* BetterSplitView::getResizerButton(QWidget* view)
{
    return firstDescendant<ResizerButtonView>(view);
}

QWidget* BetterSplitView::getLeftView() const
{
    QWidget* view = resizer_;
    while (view && view->parentWidget() != this)
        view = view->parentWidget();
    return view;
}

QString BetterSplitView::autosaveName() const
{
    return delegate_ ? delegate_->betterSplittAutoSaveName(*const_cast<BetterSplitView*>(this)) : QString();
}

void BetterSplitView::awakeFromNib()
{
    awake_ = true;
    resizer_ = getResizerButton(this);
    if (const QString name = autosaveName(); !name.isEmpty())
        restoreDefault(name);
    watchWindow();
}

bool BetterSplitView::restoreDefault(const QString& key)
{
    const QVariant stored = platform::UserDefaults::standard().object(key);
    if (!stored.isValid())
        return false;
    const QStringList parts = stored.typeId() == QMetaType::QString
        ? stored.toString().split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts)
        : QStringList();
    double v[8] = {};
    bool good = parts.size() == 8 && count() >= 2;
    for (int i = 0; good && i < 8; ++i) {
        v[i] = parts[i].toDouble(&good);
        good = good && std::isfinite(v[i]) && std::abs(v[i]) <= kLargestStoredCoordinate;
    }
    // Both panes need a size in both directions.
    good = good && v[2] > 0 && v[3] > 0 && v[6] > 0 && v[7] > 0;
    if (!good) {
        qCWarning(lcWidgets) << "Split view positions under" << key << "are not two pane frames; the layout stays";
        return false;
    }
    const bool horizontal = orientation() == Qt::Horizontal;
    QList<int> sizes = this->sizes();
    sizes[0] = int(std::lround(horizontal ? v[2] : v[3]));
    sizes[1] = int(std::lround(horizontal ? v[6] : v[7]));
    setSizes(sizes);
    return true;
}

QString BetterSplitView::positionsText() const
{
    QString text;
    for (int i = 0; i < 2 && i < count(); ++i) {
        const QRect frame = widget(i)->geometry();
        text += QString::asprintf("%s%f %f %f %f", i ? " " : "", double(frame.x()), double(frame.y()),
                                  double(frame.width()), double(frame.height()));
    }
    return text;
}

void BetterSplitView::saveDefault(const QString& key) const
{
    if (count() >= 2)
        platform::UserDefaults::standard().setObject(key, positionsText());
}

qreal BetterSplitView::constrained(qreal position) const
{
    if (!delegate_)
        return position;
    auto& self = *const_cast<BetterSplitView*>(this);
    if (auto value = delegate_->constrainSplitPosition(self, position, 0))
        position = *value;
    if (auto minimum = delegate_->constrainMinCoordinate(self, 0, 0))
        position = std::max(position, *minimum);
    if (auto maximum = delegate_->constrainMaxCoordinate(self, 0, 0))
        position = std::min(*maximum, position);
    return position;
}

void BetterSplitView::moveDividerTo(qreal position)
{
    if (count() < 2)
        return;
    Q_EMIT willResizeSubviews();
    moveSplitter(int(std::lround(constrained(position))), 1);
    Q_EMIT didResizeSubviews();
}

void BetterSplitView::gripDragged(const QPoint& globalPos)
{
    QWidget* left = getLeftView();
    if (!left || count() < 2)
        return;
    Q_EMIT willResizeSubviews();
    const qreal width = constrained(left->mapFromGlobal(globalPos).x());
    const int index = indexOf(left);
    QList<int> sizes = this->sizes();
    const int total = sizes[0] + sizes[1];
    const int other = index == 0 ? 1 : 0;
    sizes[index] = std::clamp(int(std::lround(width)), 0, total);
    sizes[other] = total - sizes[index];
    setSizes(sizes);
    Q_EMIT didResizeSubviews();
}

QSplitterHandle* BetterSplitView::createHandle()
{
    return new DividerHandle(orientation(), this);
}

void BetterSplitView::watchWindow()
{
    QWidget* top = window();
    if (top == this || top == watchedWindow_)
        return;
    if (watchedWindow_)
        watchedWindow_->removeEventFilter(this);
    watchedWindow_ = top;
    top->installEventFilter(this);
}

bool BetterSplitView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == watchedWindow_ && event->type() == QEvent::Close) {
        if (const QString name = autosaveName(); !name.isEmpty())
            saveDefault(name);
    }
    return QSplitter::eventFilter(watched, event);
}

void BetterSplitView::showEvent(QShowEvent* event)
{
    watchWindow();
    QSplitter::showEvent(event);
}

void BetterSplitView::childEvent(QChildEvent* event)
{
    QSplitter::childEvent(event);
    if (event->added() || event->removed())
        resizer_ = getResizerButton(this);
}

ResizerButtonView* BetterSplitView::resizerButton() const
{
    return resizer_;
}
