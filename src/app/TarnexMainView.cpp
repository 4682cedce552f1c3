#include "app/TarnexMainView.h"

#include "app/AppKeys.h"
#include "app/TarnexImages.h"

#include "platform/Localization.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>

TarnexMainView::TarnexMainView(QWidget* parent)
    : QWidget(parent)
    , left_(tarnex::image(tarnex::kLeftTitle))
    , leftActiveImage_(tarnex::image(tarnex::kLeftTitleActive))
    , middle_(tarnex::image(tarnex::kMiddleTitle))
    , right_(tarnex::image(tarnex::kRightTitle))
    , line_(tarnex::image(tarnex::kColourLine))
{
    setObjectName(QStringLiteral("TarnexMainView"));
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    closeButton_ = addButton(kCloseX, QStringLiteral("closeButton"), tr("Close"));
    minimiseButton_ = addButton(kMinimiseX, QStringLiteral("minimiseButton"), tr("Minimise"));
    connect(closeButton_, &QAbstractButton::clicked, this, &TarnexMainView::closeWindow);
    connect(minimiseButton_, &QAbstractButton::clicked, this, &TarnexMainView::minimizeWindow);
}

QAbstractButton* TarnexMainView::addButton(int x, const QString& objectName, const QString& name)
{
    auto* button = new QPushButton(this);
    button->setObjectName(objectName);
    button->setFlat(true);
    button->setFocusPolicy(Qt::TabFocus);
    button->setAccessibleName(name);
    button->setToolTip(name);
    button->setGeometry(x, kButtonTop, kButtonSize, kButtonSize);
    button->setStyleSheet(QStringLiteral("QPushButton { border: none; background: transparent; }"
                                         "QPushButton:pressed { border-image: url(:/images/program/%1.svg); }"
                                         "QPushButton:focus { border: 1px solid #7fa7e0; border-radius: 8px; }")
                              .arg(QLatin1String(tarnex::kRoundButtonShadow)));
    button->installEventFilter(this);
    return button;
}

qreal TarnexMainView::titleBarHeight() const
{
    return left_.deviceIndependentSize().height();
}

QRectF TarnexMainView::leftTitleRect() const
{
    return QRectF(QPointF(0, 0), left_.deviceIndependentSize());
}

void TarnexMainView::setTitle(const QString& title)
{
    if (title == title_)
        return;
    title_ = title;
    update(0, 0, width(), int(titleBarHeight()));
}

QString TarnexMainView::title() const
{
    if (!title_.isEmpty())
        return title_;
    const QString label = platform::localizedString(QLatin1String(appkeys::kTitleLabel));
    return label == QLatin1String(appkeys::kTitleLabel) ? QString() : label;
}

QRectF TarnexMainView::titleTextRect() const
{
    return tarnex::titleRect(QRectF(0, 0, width(), titleBarHeight()), tarnex::titleFont(font()));
}

QRectF TarnexMainView::colourLineRect() const
{
    const qreal h = line_.deviceIndependentSize().height();
    return QRectF(0, height() - kLineBottom - h, width(), h);
}

void TarnexMainView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QImage& left = leftActive_ ? leftActiveImage_ : left_;
    const QSizeF lsize = left.deviceIndependentSize();
    const QSizeF rsize = right_.deviceIndependentSize();
    const qreal lh = lsize.height();
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QRectF(QPointF(0, 0), lsize), left);
    painter.drawImage(QRectF(width() - rsize.width(), 0, rsize.width(), lh), right_);
    painter.drawImage(QRectF(lsize.width(), 0, width() - lsize.width() - rsize.width(), middle_.deviceIndependentSize().height()),
                      middle_);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    tarnex::drawTitle(painter, QRectF(0, 0, width(), lh), title(), tarnex::titleFont(font()));
    painter.fillRect(QRectF(0, lh, width(), height() - lh), Qt::black);
    painter.drawImage(colourLineRect(), line_);
}

void TarnexMainView::mousePressEvent(QMouseEvent* event)
{
    // A press in the title bar goes on to the window, which drags itself.
    if (event->position().y() < titleBarHeight())
        event->ignore();
    else
        event->accept();
}

void TarnexMainView::mouseMoveEvent(QMouseEvent* event)
{
    setLeftTitleActive(leftTitleRect().contains(event->position()));
    event->ignore();
}

void TarnexMainView::leaveEvent(QEvent* event)
{
    setLeftTitleActive(false);
    QWidget::leaveEvent(event);
}

bool TarnexMainView::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == closeButton_ || watched == minimiseButton_) && event->type() == QEvent::Enter)
        setLeftTitleActive(true);
    return QWidget::eventFilter(watched, event);
}

void TarnexMainView::setLeftTitleActive(bool active)
{
    if (leftActive_ == active)
        return;
    leftActive_ = active;
    update(leftTitleRect().toAlignedRect());
}

void TarnexMainView::closeWindow()
{
    Q_EMIT closeRequested();
}

void TarnexMainView::minimizeWindow()
{
    window()->showMinimized();
}
