#include "devicewindow/DorvantiWindow.h"

#include "platform/gui/Images.h"
#include "platform/gui/Interface.h"

#include <QChildEvent>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace {

QImage programImage(const char* name)
{
    return platform::gui::image(QLatin1String(platform::gui::kProgramBundle), QLatin1String(name));
}

void installOnTree(QObject* object, QObject* filter)
{
    object->installEventFilter(filter);
    for (QObject* child : object->children())
        installOnTree(child, filter);
}

} // namespace

DorvantiWindow::DorvantiWindow(QWidget* parent) : PolishedMetallWindow(parent)
{
}

int DorvantiWindow::batteryCell(int percent, bool plugged)
{
    if (percent < 0)
        return -1;
    if (plugged)
        return kPluggedCell;
    return std::min(percent / kPercentPerCell, kLastLevelCell);
}

void DorvantiWindow::setHistoryIdent(QLabel* ident)
{
    historyIdent_ = ident;
    if (historyIdent_)
        historyIdent_->setVisible(inHistory_);
}

void DorvantiWindow::setHistoryMod(bool history)
{
    inHistory_ = history;
    if (historyIdent_)
        historyIdent_->setVisible(history);
    rebuildBackground();
}

void DorvantiWindow::setBatteryLevel(int percent, bool plugged)
{
    const int cell = batteryCell(percent, plugged);
    if (cell == batteryLevel_)
        return;
    batteryLevel_ = cell;
    rebuildBackground();
}

void DorvantiWindow::rebuildBackground()
{
    ++rebuilds_;
    windowDidResize();
}

std::optional<QBrush> DorvantiWindow::sizedPolishedBackColor(bool flat) const
{
    const QSize frame = size().expandedTo(QSize(1, 1));
    if (inHistory_) {
        QImage image(frame, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::black);
        QPainter painter(&image);
        const QImage back = programImage("HistoryBack");
        if (!back.isNull())
            painter.drawImage(image.rect(), back);
        const QImage tunnel = programImage("TimeTunnelBack");
        if (!tunnel.isNull()) {
            painter.setOpacity(kTunnelOpacity);
            painter.drawImage(image.rect().translated(0, kTunnelOffset), tunnel, tunnel.rect());
        }
        return QBrush(image);
    }
    std::optional<QBrush> base = PolishedMetallWindow::sizedPolishedBackColor(flat);
    if (batteryLevel_ < 0)
        return base;
    QImage image(frame, QImage::Format_ARGB32_Premultiplied);
    image.fill(palette().color(QPalette::Window));
    QPainter painter(&image);
    if (base)
        painter.fillRect(image.rect(), *base);
    const QImage strip = programImage("Battery");
    if (!strip.isNull()) {
        // The strip's cells in points; the artwork may come at another scale.
        const double scale = strip.width() / double((kPluggedCell + 1) * kCellWidth);
        const QRectF source(batteryLevel_ * kCellWidth * scale, kCellRowY * scale, kCellWidth * scale,
                            kCellHeight * scale);
        painter.drawImage(QRectF(kGaugeX, kGaugeY, kCellWidth, kCellHeight), strip, source);
    }
    return QBrush(image);
}

bool DorvantiWindow::isBlocked(const QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::ShortcutOverride:
        return true;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        return static_cast<const QMouseEvent*>(event)->button() == Qt::LeftButton;
    default:
        return false;
    }
}

bool DorvantiWindow::event(QEvent* event)
{
    if (blockEvents_ && isBlocked(event))
        return true;
    return PolishedMetallWindow::event(event);
}

bool DorvantiWindow::eventFilter(QObject* watched, QEvent* event)
{
    // Typing and left clicks into any part of the window are dropped while
    // blocking; mouse moves, scrolling and everything else pass.
    if (blockEvents_ && isBlocked(event))
        return true;
    return PolishedMetallWindow::eventFilter(watched, event);
}

void DorvantiWindow::childEvent(QChildEvent* event)
{
    if (event->added() && event->child()->isWidgetType())
        installOnTree(event->child(), this);
    PolishedMetallWindow::childEvent(event);
}
