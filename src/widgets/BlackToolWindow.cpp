#include "widgets/BlackToolWindow.h"

#include "platform/gui/Coordinates.h"
#include "platform/gui/Images.h"
#include "platform/gui/Paths.h"

#include <QKeyEvent>
#include <QPainter>
#include <QToolButton>
#include <QWindow>
#include <cmath>

using platform::gui::arcFromCorner;

namespace {
constexpr const char* kCloseImage = "BlackToolCose";
constexpr qreal kTitleBarWhite = 0.25;
constexpr qreal kBodyWhite = 0.1;
} // namespace

BlackToolWindow::BlackToolWindow(QWidget* parent, bool closable)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint)
    , closeBox_(closable)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowOpacity(1.0);
    rebuildBackground();
    addCloseButton();
}

void BlackToolWindow::setClosable(bool closable)
{
    closeBox_ = closable;
    if (closable) {
        addCloseButton();
    } else if (closeButton_) {
        delete closeButton_.data();
    }
}

void BlackToolWindow::addCloseButton()
{
    if (!closeBox_ || closeButton_)
        return;
    auto* button = new QToolButton(this);
    button->setObjectName(QStringLiteral("closeButton"));
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::TabFocus);
    button->setIcon(QIcon(QPixmap::fromImage(platform::gui::image(platform::gui::kProgramBundle, QLatin1String(kCloseImage)))));
    button->setIconSize(QSize(kCloseButtonSize, kCloseButtonSize));
    button->setStyleSheet(QStringLiteral("QToolButton { border: none; padding: 0; background: transparent; }"
                                         "QToolButton:focus { border: 1px solid #7fa7e0; border-radius: 6px; }"));
    button->setGeometry(kCloseButtonInset, kCloseButtonInset, kCloseButtonSize, kCloseButtonSize);
    button->setToolTip(tr("Close"));
    button->setAccessibleName(tr("Close"));
    connect(button, &QToolButton::clicked, this, [this] { closeWindow(); });
    button->show();
    closeButton_ = button;
}

void BlackToolWindow::closeWindow()
{
    if (delegate_ && !delegate_->windowShouldClose(*this))
        return;
    hide();
}

void BlackToolWindow::setBackAlphaValue(qreal alpha)
{
    backAlpha_ = std::clamp(alpha, 0.0, 1.0);
    rebuildBackground();
}

void BlackToolWindow::setAlphaValue(qreal alpha)
{
    setWindowOpacity(alpha);
    rebuildBackground();
}

QColor BlackToolWindow::getBackGroundColor(qreal alpha) const
{
    return QColor::fromRgbF(kBodyWhite, kBodyWhite, kBodyWhite, alpha);
}

QPainterPath BlackToolWindow::bodyPath() const
{
    // Built with the origin at the bottom-left corner, on whole points.
    const qreal w = width();
    const qreal h = std::trunc(height() - kTitleBarHeight);
    QPainterPath path;
    path.moveTo(std::trunc(w / 2), 0);
    arcFromCorner(path, {w, 0}, {w, std::trunc(h / 2)}, kCornerRadius);
    path.lineTo(w, h);
    path.lineTo(0, h);
    path.lineTo(0, std::trunc(h / 2));
    arcFromCorner(path, {0, 0}, {std::trunc(w / 2), 0}, kCornerRadius);
    path.closeSubpath();
    return platform::gui::flipPath(path, height());
}

QPainterPath BlackToolWindow::titleBarPath() const
{
    const qreal w = width();
    const qreal fullHeight = height();
    const qreal h = std::trunc(fullHeight - kTitleBarHeight);
    QPainterPath path;
    path.moveTo(0, h);
    path.lineTo(w, h);
    arcFromCorner(path, {w, fullHeight}, {std::trunc(w / 2), fullHeight}, kCornerRadius);
    arcFromCorner(path, {0, fullHeight}, {0, h}, kCornerRadius);
    path.closeSubpath();
    return platform::gui::flipPath(path, height());
}

QFont BlackToolWindow::titleFont() const
{
    QFont small = font();
    small.setPointSizeF(std::max<qreal>(7, small.pointSizeF() - 1));
    return small;
}

QRectF BlackToolWindow::titleRect() const
{
    const qreal textHeight = QFontMetricsF(titleFont()).height();
    const qreal vertical = (kTitleBarHeight - textHeight) / 2;
    return QRectF(0, 0, width(), kTitleBarHeight).adjusted(kTitleBarHeight, vertical, -kTitleBarHeight, -vertical);
}

QString BlackToolWindow::displayedTitle() const
{
    return QFontMetricsF(titleFont()).elidedText(windowTitle(), Qt::ElideRight, std::max<qreal>(0, titleRect().width()));
}

QImage BlackToolWindow::sizedBlackToolWindowBackGround() const
{
    QImage picture(size(), QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    if (picture.isNull())
        return picture;
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(bodyPath(), getBackGroundColor(backAlpha_));
    painter.fillPath(titleBarPath(), QColor::fromRgbF(kTitleBarWhite, kTitleBarWhite, kTitleBarWhite, backAlpha_));
    painter.setFont(titleFont());
    painter.setPen(Qt::white);
    painter.drawText(titleRect(), Qt::AlignCenter, displayedTitle());
    return picture;
}

void BlackToolWindow::rebuildBackground()
{
    background_ = sizedBlackToolWindowBackGround();
    update();
}

void BlackToolWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(0, 0, background_);
}

void BlackToolWindow::resizeEvent(QResizeEvent* event)
{
    rebuildBackground();
    QWidget::resizeEvent(event);
}

void BlackToolWindow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::WindowTitleChange) {
        setAccessibleName(windowTitle());
        rebuildBackground();
    }
    QWidget::changeEvent(event);
}

void BlackToolWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void BlackToolWindow::closeEvent(QCloseEvent* event)
{
    event->ignore();
    closeWindow();
}

void BlackToolWindow::mousePressEvent(QMouseEvent* event)
{
    if (!drag_.press(this, event))
        QWidget::mousePressEvent(event);
}

void BlackToolWindow::mouseMoveEvent(QMouseEvent* event)
{
    if (!drag_.move(this, event))
        QWidget::mouseMoveEvent(event);
}

void BlackToolWindow::mouseReleaseEvent(QMouseEvent* event)
{
    drag_.release();
    QWidget::mouseReleaseEvent(event);
}
