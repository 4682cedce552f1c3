#include "widgets/BaseGraphic.h"

#include "platform/NotificationCenter.h"
#include "widgets/CanvasController.h"
#include "widgets/WidgetsLog.h"

#include <QDataStream>
#include <QHash>
#include <QIODevice>
#include <QPainter>
#include <QRegularExpression>
#include <QUndoStack>
#include <cmath>

// One undoable change of a shape. The change is made before the step is
// pushed, so the first redo (from the push) does nothing.
class GraphicUndoCommand : public QUndoCommand {
public:
    GraphicUndoCommand(const QString& text, std::weak_ptr<BaseGraphic> graphic, std::function<void(BaseGraphic&)> undo,
                       std::function<void(BaseGraphic&)> redo)
        : QUndoCommand(text)
        , graphic_(std::move(graphic))
        , undo_(std::move(undo))
        , redo_(std::move(redo))
    {
    }

    void undo() override { apply(undo_); }
    void redo() override
    {
        if (first_) {
            first_ = false;
            return;
        }
        apply(redo_);
    }

private:
    void apply(const std::function<void(BaseGraphic&)>& step)
    {
        if (const std::shared_ptr<BaseGraphic> graphic = graphic_.lock()) {
            step(*graphic);
            graphic->didChange();
        }
    }

    std::weak_ptr<BaseGraphic> graphic_;
    std::function<void(BaseGraphic&)> undo_;
    std::function<void(BaseGraphic&)> redo_;
    bool first_ = true;
};

namespace {

QHash<QString, BaseGraphic::Factory>& factories()
{
    static QHash<QString, BaseGraphic::Factory> registry{
        {QStringLiteral("BaseGraphic"), [] { return BaseGraphic::create(); }},
    };
    return registry;
}

QString boolText(bool on)
{
    return on ? QStringLiteral("YES") : QStringLiteral("NO");
}

QString rectText(const QRectF& rect)
{
    return QStringLiteral("{{%1, %2}, {%3, %4}}").arg(rect.x()).arg(rect.y()).arg(rect.width()).arg(rect.height());
}

QByteArray colourData(const QColor& colour)
{
    QByteArray data;
    QDataStream stream(&data, QIODevice::WriteOnly);
    stream.setVersion(QDataStream::Qt_6_4);
    stream << colour;
    return data;
}

std::optional<QRectF> readRect(const QVariant& value)
{
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    static const QRegularExpression pattern(QStringLiteral(
        R"(^\s*\{\s*\{\s*([-+0-9.eE]+)\s*,\s*([-+0-9.eE]+)\s*\}\s*,\s*\{\s*([-+0-9.eE]+)\s*,\s*([-+0-9.eE]+)\s*\}\s*\}\s*$)"));
    const QRegularExpressionMatch match = pattern.match(value.toString());
    if (!match.hasMatch())
        return std::nullopt;
    double numbers[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        numbers[i] = match.captured(i + 1).toDouble(&ok);
        if (!ok || !std::isfinite(numbers[i]))
            return std::nullopt;
    }
    return QRectF(numbers[0], numbers[1], numbers[2], numbers[3]);
}

std::optional<bool> readBool(const QVariant& value)
{
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    if (value.toString() == QLatin1String("YES"))
        return true;
    if (value.toString() == QLatin1String("NO"))
        return false;
    return std::nullopt;
}

std::optional<QColor> readColour(const QVariant& value)
{
    if (value.typeId() != QMetaType::QByteArray)
        return std::nullopt;
    QByteArray data = value.toByteArray();
    QDataStream stream(&data, QIODevice::ReadOnly);
    stream.setVersion(QDataStream::Qt_6_4);
    QColor colour;
    stream >> colour;
    if (stream.status() != QDataStream::Ok || !colour.isValid())
        return std::nullopt;
    return colour;
}

std::optional<double> readWidth(const QVariant& value)
{
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    bool ok = false;
    const double width = value.toString().toDouble(&ok);
    if (!ok || !std::isfinite(width))
        return std::nullopt;
    return width;
}

int mirroredHorizontally(int knob)
{
    static const int mirror[] = {0, 3, 2, 1, 5, 4, 8, 7, 6};
    return mirror[knob];
}

int mirroredVertically(int knob)
{
    static const int mirror[] = {0, 6, 7, 8, 4, 5, 1, 2, 3};
    return mirror[knob];
}

bool onLeft(int knob)
{
    return knob == BaseGraphic::UpperLeft || knob == BaseGraphic::MiddleLeft || knob == BaseGraphic::LowerLeft;
}

bool onRight(int knob)
{
    return knob == BaseGraphic::UpperRight || knob == BaseGraphic::MiddleRight || knob == BaseGraphic::LowerRight;
}

bool onTop(int knob)
{
    return knob == BaseGraphic::UpperLeft || knob == BaseGraphic::UpperMiddle || knob == BaseGraphic::UpperRight;
}

bool onBottom(int knob)
{
    return knob == BaseGraphic::LowerLeft || knob == BaseGraphic::LowerMiddle || knob == BaseGraphic::LowerRight;
}

} // namespace

BaseGraphic::BaseGraphic() = default;
BaseGraphic::~BaseGraphic() = default;

std::shared_ptr<BaseGraphic> BaseGraphic::create()
{
    return std::shared_ptr<BaseGraphic>(new BaseGraphic());
}

std::shared_ptr<BaseGraphic> BaseGraphic::copy() const
{
    std::shared_ptr<BaseGraphic> other = create();
    copySettingsTo(*other);
    return other;
}

void BaseGraphic::copySettingsTo(BaseGraphic& other) const
{
    other.controller_ = controller_;
    other.bounds_ = bounds_;
    other.lineWidth_ = lineWidth_;
    other.fillColor_ = fillColor_;
    other.strokeColor_ = strokeColor_;
    other.drawsFill_ = drawsFill_;
    other.drawsStroke_ = drawsStroke_;
}

void BaseGraphic::didChange()
{
    if (controller_)
        controller_->invalidateGraphic(*this);
    platform::NotificationCenter::defaultCenter().post(QLatin1String(kDidChangeNotification), this);
}

void BaseGraphic::registerUndo(const QString& text, std::function<void(BaseGraphic&)> undo,
                               std::function<void(BaseGraphic&)> redo)
{
    QUndoStack* stack = controller_ ? controller_->undoStack() : nullptr;
    if (!stack)
        return;
    stack->push(new GraphicUndoCommand(text, weak_from_this(), std::move(undo), std::move(redo)));
}

template <class T>
void BaseGraphic::change(T BaseGraphic::*field, const T& value, const QString& text)
{
    if (this->*field == value)
        return;
    const T old = this->*field;
    this->*field = value;
    registerUndo(
        text, [field, old](BaseGraphic& graphic) { graphic.*field = old; },
        [field, value](BaseGraphic& graphic) { graphic.*field = value; });
    didChange();
}

void BaseGraphic::setBounds(const QRectF& bounds)
{
    if (!manipulatingBounds_) {
        change(&BaseGraphic::bounds_, bounds, QStringLiteral("Change Bounds"));
        return;
    }
    if (bounds_ == bounds)
        return;
    bounds_ = bounds;
    didChange();
}

void BaseGraphic::setBoundsWithoutUndo(const QRectF& bounds)
{
    bounds_ = bounds;
    didChange();
}

void BaseGraphic::startBoundsManipulation()
{
    if (manipulatingBounds_)
        return;
    manipulatingBounds_ = true;
    origBounds_ = bounds_;
}

void BaseGraphic::stopBoundsManipulation()
{
    if (!manipulatingBounds_)
        return;
    manipulatingBounds_ = false;
    if (bounds_ == origBounds_)
        return;
    const QRectF before = origBounds_;
    const QRectF after = bounds_;
    registerUndo(
        QStringLiteral("Change Bounds"), [before](BaseGraphic& graphic) { graphic.bounds_ = before; },
        [after](BaseGraphic& graphic) { graphic.bounds_ = after; });
}

void BaseGraphic::setDrawsFill(bool on)
{
    change(&BaseGraphic::drawsFill_, on, QStringLiteral("Change Fill"));
}

void BaseGraphic::setFillColor(const QColor& colour)
{
    change(&BaseGraphic::fillColor_, colour, QStringLiteral("Change Fill Color"));
}

void BaseGraphic::setDrawsStroke(bool on)
{
    change(&BaseGraphic::drawsStroke_, on, QStringLiteral("Change Stroke"));
}

void BaseGraphic::setStrokeColor(const QColor& colour)
{
    change(&BaseGraphic::strokeColor_, colour, QStringLiteral("Change Stroke Color"));
}

void BaseGraphic::setStrokeLineWidth(double width)
{
    const double newWidth = width < 0 ? 0.0 : width;
    const bool newStroke = width >= 0;
    if (newWidth == lineWidth_ && newStroke == drawsStroke_)
        return;
    const double oldWidth = lineWidth_;
    const bool oldStroke = drawsStroke_;
    lineWidth_ = newWidth;
    drawsStroke_ = newStroke;
    registerUndo(
        QStringLiteral("Change Line Width"),
        [oldWidth, oldStroke](BaseGraphic& graphic) {
            graphic.lineWidth_ = oldWidth;
            graphic.drawsStroke_ = oldStroke;
        },
        [newWidth, newStroke](BaseGraphic& graphic) {
            graphic.lineWidth_ = newWidth;
            graphic.drawsStroke_ = newStroke;
        });
    didChange();
}

QRectF BaseGraphic::drawingBounds() const
{
    const double inset = std::max(lineWidth_ / 2.0 + 1.0, 3.0) + 1.0;
    return bounds_.adjusted(-inset, -inset, inset, inset);
}

QPointF BaseGraphic::knobPoint(int knob) const
{
    const double x = onLeft(knob) ? bounds_.left() : (onRight(knob) ? bounds_.right() : bounds_.center().x());
    const double y = onTop(knob) ? bounds_.top() : (onBottom(knob) ? bounds_.bottom() : bounds_.center().y());
    return {x, y};
}

int BaseGraphic::knobUnderPoint(const QPointF& point) const
{
    for (int knob = UpperLeft; knob <= LowerRight; ++knob) {
        const QPointF centre = knobPoint(knob);
        const QRectF handle(centre.x() - kHandleSize / 2, centre.y() - kHandleSize / 2, kHandleSize, kHandleSize);
        if (handle.contains(point))
            return knob;
    }
    return NoKnob;
}

int BaseGraphic::resizeByMovingKnob(int knob, const QPointF& point)
{
    if (knob < UpperLeft || knob > LowerRight)
        return knob;
    double left = bounds_.left();
    double right = bounds_.right();
    double top = bounds_.top();
    double bottom = bounds_.bottom();
    if (onLeft(knob))
        left = point.x();
    else if (onRight(knob))
        right = point.x();
    if (right < left) {
        std::swap(left, right);
        knob = mirroredHorizontally(knob);
    }
    if (onTop(knob))
        top = point.y();
    else if (onBottom(knob))
        bottom = point.y();
    if (bottom < top) {
        std::swap(top, bottom);
        knob = mirroredVertically(knob);
    }
    setBounds(QRectF(QPointF(left, top), QPointF(right, bottom)));
    return knob;
}

void BaseGraphic::draw(QPainter& painter, bool selected) const
{
    painter.save();
    if (drawsFill_)
        painter.fillRect(bounds_, fillColor_);
    if (drawsStroke_ && lineWidth_ > 0) {
        painter.setPen(QPen(strokeColor_, lineWidth_));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(bounds_);
    }
    painter.restore();
    if (selected)
        for (int knob = UpperLeft; knob <= LowerRight; ++knob)
            drawHandleAtPoint(painter, knobPoint(knob));
}

void BaseGraphic::drawHandleAtPoint(QPainter& painter, const QPointF& point)
{
    const QRectF handle(point.x() - kHandleSize / 2, point.y() - kHandleSize / 2, kHandleSize, kHandleSize);
    painter.fillRect(handle, QColor(64, 64, 64));
    painter.fillRect(handle.translated(-1, -1), QColor(120, 160, 230));
}

QVariantMap BaseGraphic::propertyListRepresentation() const
{
    QVariantMap form;
    QString name = graphicClassName();
    if (name.startsWith(QLatin1String("SKT")))
        name.remove(0, 3);
    form.insert(QStringLiteral("Class"), name);
    form.insert(QStringLiteral("Bounds"), rectText(bounds_));
    form.insert(QStringLiteral("DrawsFill"), boolText(drawsFill_));
    form.insert(QStringLiteral("DrawsStroke"), boolText(drawsStroke_));
    if (fillColor_.isValid())
        form.insert(QStringLiteral("FillColor"), colourData(fillColor_));
    if (strokeColor_.isValid())
        form.insert(QStringLiteral("StrokeColor"), colourData(strokeColor_));
    form.insert(QStringLiteral("StrokeLineWidth"), QString::asprintf("%.2f", lineWidth_));
    return form;
}

bool BaseGraphic::loadPropertyListRepresentation(const QVariantMap& form)
{
    // Everything is checked before anything is set.
    std::optional<QRectF> bounds = bounds_;
    std::optional<bool> fill = drawsFill_, stroke = drawsStroke_;
    std::optional<QColor> fillColour = fillColor_, strokeColour = strokeColor_;
    std::optional<double> width = lineWidth_;
    auto take = [&form](const char* key, auto& target, auto reader) {
        const QString name = QLatin1String(key);
        if (form.contains(name))
            target = reader(form.value(name));
    };
    take("Bounds", bounds, readRect);
    take("DrawsFill", fill, readBool);
    take("DrawsStroke", stroke, readBool);
    take("FillColor", fillColour, readColour);
    take("StrokeColor", strokeColour, readColour);
    take("StrokeLineWidth", width, readWidth);
    if (!bounds || !fill || !stroke || !fillColour || !strokeColour || !width) {
        qCWarning(lcWidgets) << "BaseGraphic: unreadable shape form" << form.keys();
        return false;
    }
    bounds_ = *bounds;
    drawsFill_ = *fill;
    fillColor_ = *fillColour;
    strokeColor_ = *strokeColour;
    lineWidth_ = std::max(0.0, *width);
    drawsStroke_ = *stroke;
    return true;
}

std::shared_ptr<BaseGraphic> BaseGraphic::graphicWithPropertyListRepresentation(const QVariantMap& form)
{
    const QString name = form.value(QStringLiteral("Class")).toString();
    Factory factory = factories().value(name);
    if (!factory && !name.isEmpty())
        factory = factories().value(QStringLiteral("SKT") + name);
    if (!factory) {
        qCWarning(lcWidgets) << "BaseGraphic: no shape class" << name;
        return nullptr;
    }
    std::shared_ptr<BaseGraphic> graphic = factory();
    if (!graphic || !graphic->loadPropertyListRepresentation(form))
        return nullptr;
    return graphic;
}

void BaseGraphic::registerGraphicClass(const QString& name, Factory factory)
{
    factories().insert(name, std::move(factory));
}

QRectF SKTRectFromPoints(const QPointF& a, const QPointF& b)
{
    return QRectF(std::min(a.x(), b.x()), std::min(a.y(), b.y()), std::abs(b.x() - a.x()), std::abs(b.y() - a.y()));
}
