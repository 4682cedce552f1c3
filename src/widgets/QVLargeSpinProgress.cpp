#include "widgets/QVLargeSpinProgress.h"

#include "platform/Clock.h"
#include "platform/gui/Images.h"
#include "platform/gui/Interface.h"

#include <QPainter>

namespace {

struct Spinners {
    std::vector<QVLargeSpinProgress*> views;
    platform::Timer timer;
};

// Kept to the end of the process: views may stop spinning during shut-down.
Spinners& spinners()
{
    static Spinners* instance = new Spinners;
    return *instance;
}

QImage tinted(const QImage& frame, const QColor& colour)
{
    QImage result = frame.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&result);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(QRectF(QPointF(0, 0), result.deviceIndependentSize()), colour);
    return result;
}

} // namespace

QVLargeSpinProgress::QVLargeSpinProgress(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAccessibleName(tr("Busy"));
    setSpinColor(Qt::white);
}

QVLargeSpinProgress::~QVLargeSpinProgress()
{
    removeSpinning(this);
}

void QVLargeSpinProgress::setSpinColor(const QColor& colour)
{
    const bool wasSpinning = isSpinning(this);
    if (wasSpinning)
        setSpinning(false);
    colour_ = colour;
    frames_.clear();
    for (int i = 0; i < kFrameCount; ++i) {
        const QImage frame = platform::gui::image(QLatin1String(platform::gui::kProgramBundle), QStringLiteral("Indi_%1").arg(i));
        frames_.push_back(tinted(frame, colour));
    }
    if (wasSpinning)
        setSpinning(true);
}

void QVLargeSpinProgress::setSpinning(bool spinning)
{
    if (spinning) {
        addSpinning(this);
    } else {
        removeSpinning(this);
        current_ = QImage();
        update();
    }
}

void QVLargeSpinProgress::addSpinning(QVLargeSpinProgress* view)
{
    Spinners& s = spinners();
    if (std::find(s.views.begin(), s.views.end(), view) == s.views.end())
        s.views.push_back(view);
    if (!s.timer.isActive()) {
        s.timer.setCallback(&QVLargeSpinProgress::tickAll);
        s.timer.start(kTickSeconds, true);
    }
}

void QVLargeSpinProgress::removeSpinning(QVLargeSpinProgress* view)
{
    Spinners& s = spinners();
    std::erase(s.views, view);
    if (s.views.empty())
        s.timer.stop();
}

bool QVLargeSpinProgress::isSpinning(const QVLargeSpinProgress* view)
{
    const Spinners& s = spinners();
    return std::find(s.views.begin(), s.views.end(), view) != s.views.end();
}

int QVLargeSpinProgress::spinningCount()
{
    return int(spinners().views.size());
}

void QVLargeSpinProgress::tickAll()
{
    // A copy: a view may stop spinning from inside its repaint.
    const std::vector<QVLargeSpinProgress*> views = spinners().views;
    for (QVLargeSpinProgress* view : views) {
        if (isSpinning(view))
            view->doSpinning();
    }
}

void QVLargeSpinProgress::doSpinning()
{
    if (frames_.empty())
        return;
    spinIndex_ = (spinIndex_ + 1) % int(frames_.size());
    current_ = frames_[size_t(spinIndex_)];
    update();
}

QSize QVLargeSpinProgress::sizeHint() const
{
    return frames_.empty() ? QSize(32, 32) : frames_.front().deviceIndependentSize().toSize();
}

void QVLargeSpinProgress::paintEvent(QPaintEvent*)
{
    if (current_.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QSizeF frame = current_.deviceIndependentSize().scaled(size(), Qt::KeepAspectRatio);
    painter.drawImage(QRectF(QPointF((width() - frame.width()) / 2, (height() - frame.height()) / 2), frame), current_);
}
