#include "widgets/OverlayView.h"

#include "widgets/OverlayHelperWindow.h"

#include <QApplication>
#include <QHash>
#include <QMouseEvent>
#include <QPointer>

namespace {

constexpr const char* kInteractiveProperty = "overlayInteractive";

// Mouse events that land on an overlay layer go on to the widget below it,
// unless they land on a control marked interactive.
class OverlayMouseRouter : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
            break;
        default:
            return false;
        }
        auto* widget = qobject_cast<QWidget*>(watched);
        OverlayHelperWindow* layer = nullptr;
        for (QWidget* w = widget; w && !layer; w = w->parentWidget()) {
            if (w->property(kInteractiveProperty).toBool())
                return false;
            layer = qobject_cast<OverlayHelperWindow*>(w);
        }
        if (!layer || !layer->parentWidget())
            return false;
        auto* mouse = static_cast<QMouseEvent*>(event);
        QWidget* host = layer->parentWidget();
        const QPointF inHost = widget->mapTo(host, mouse->position());
        QWidget* below = widgetBelowLayers(host, inHost.toPoint());
        QMouseEvent forwarded(mouse->type(), below->mapFrom(host, inHost), mouse->scenePosition(),
                              mouse->globalPosition(), mouse->button(), mouse->buttons(), mouse->modifiers(),
                              mouse->pointingDevice());
        QCoreApplication::sendEvent(below, &forwarded);
        event->setAccepted(forwarded.isAccepted());
        return true;
    }

private:
    static QWidget* widgetBelowLayers(QWidget* host, const QPoint& point)
    {
        const QList<OverlayHelperWindow*> layers = host->findChildren<OverlayHelperWindow*>(Qt::FindDirectChildrenOnly);
        QList<OverlayHelperWindow*> changed;
        for (OverlayHelperWindow* layer : layers) {
            if (!layer->testAttribute(Qt::WA_TransparentForMouseEvents)) {
                layer->setAttribute(Qt::WA_TransparentForMouseEvents, true);
                changed.append(layer);
            }
        }
        QWidget* below = host->childAt(point);
        for (OverlayHelperWindow* layer : changed)
            layer->setAttribute(Qt::WA_TransparentForMouseEvents, false);
        return below ? below : host;
    }
};

// The overlays of each parent view, in the order they were added.
struct ParentEntry {
    QList<QPointer<OverlayHelperWindow>> layers;
    QMetaObject::Connection watch;   // the parent view's end
};

QHash<const QWidget*, ParentEntry>& table()
{
    static QHash<const QWidget*, ParentEntry> t;
    return t;
}

void installRouter()
{
    static OverlayMouseRouter* router = nullptr;
    if (!router && qApp) {
        router = new OverlayMouseRouter;
        router->setParent(qApp);
        qApp->installEventFilter(router);
    }
}

void forgetParent(const QWidget* parentView)
{
    const ParentEntry entry = table().take(parentView);
    for (const QPointer<OverlayHelperWindow>& layer : entry.layers)
        delete layer.data();
}

} // namespace

void addOverlayView(QWidget* parentView, QWidget* overlay, int ordered)
{
    if (!parentView || !overlay || parentView == overlay)
        return;
    installRouter();
    auto it = table().find(parentView);
    if (it == table().end()) {
        it = table().insert(parentView, {});
        it->watch = QObject::connect(parentView, &QObject::destroyed, qApp, [parentView] { forgetParent(parentView); });
    }
    it->layers.append(new OverlayHelperWindow(parentView, overlay, ordered));
}

void removeOverlayView(QWidget* parentView, QWidget* overlay)
{
    auto it = table().find(parentView);
    if (it == table().end())
        return;
    QList<QPointer<OverlayHelperWindow>>& layers = it->layers;
    for (qsizetype i = 0; i < layers.size(); ++i) {
        OverlayHelperWindow* layer = layers.at(i);
        if (layer && layer->overlay() == overlay) {
            layers.removeAt(i);
            delete layer;
            break;
        }
    }
    layers.removeIf([](const QPointer<OverlayHelperWindow>& layer) { return layer.isNull(); });
    if (layers.isEmpty()) {
        QObject::disconnect(it->watch);
        table().erase(it);
    }
    parentView->update();
}

QList<QWidget*> overlayViews(const QWidget* parentView)
{
    QList<QWidget*> overlays;
    for (const QPointer<OverlayHelperWindow>& layer : table().value(parentView).layers) {
        if (layer && layer->overlay())
            overlays.append(layer->overlay());
    }
    return overlays;
}

void setOverlayInteractive(QWidget* control, bool interactive)
{
    if (control)
        control->setProperty(kInteractiveProperty, interactive);
}
