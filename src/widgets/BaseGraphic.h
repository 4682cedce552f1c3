#pragma once

#include <QColor>
#include <QRectF>
#include <QString>
#include <QVariantMap>
#include <functional>
#include <memory>

class CanvasController;
class QPainter;

// A shape on a canvas: bounds, fill, stroke, eight resize knobs, undoable
// changes and a property-list form. Every change to a different value goes
// onto the owning controller's undo stack, has the controller redraw the
// shape and posts "SKTGraphicDidChange" (sender the shape). While the bounds
// are being manipulated (a drag), only the final bounds go on the stack, as
// one step. Shapes are held by shared pointer (undo steps keep weak ones).
class BaseGraphic : public std::enable_shared_from_this<BaseGraphic> {
public:
    static constexpr const char* kDidChangeNotification = "SKTGraphicDidChange";
    static constexpr double kHandleSize = 5.0;

    // Knobs, from upper left to lower right (y grows downwards).
    enum Knob {
        NoKnob = 0,
        UpperLeft = 1,
        UpperMiddle,
        UpperRight,
        MiddleLeft,
        MiddleRight,
        LowerLeft,
        LowerMiddle,
        LowerRight,
    };

    static std::shared_ptr<BaseGraphic> create();
    virtual ~BaseGraphic();
    BaseGraphic(const BaseGraphic&) = delete;
    BaseGraphic& operator=(const BaseGraphic&) = delete;
    // A new shape with the same settings and controller.
    virtual std::shared_ptr<BaseGraphic> copy() const;

    CanvasController* controller() const { return controller_; }
    void setController(CanvasController* controller) { controller_ = controller; }

    QRectF bounds() const { return bounds_; }
    void setBounds(const QRectF& bounds);
    void startBoundsManipulation();
    void stopBoundsManipulation();
    bool isManipulatingBounds() const { return manipulatingBounds_; }

    bool drawsFill() const { return drawsFill_; }
    void setDrawsFill(bool on);
    QColor fillColor() const { return fillColor_; }
    void setFillColor(const QColor& colour);
    bool drawsStroke() const { return drawsStroke_; }
    void setDrawsStroke(bool on);
    QColor strokeColor() const { return strokeColor_; }
    void setStrokeColor(const QColor& colour);
    double strokeLineWidth() const { return lineWidth_; }
    // A negative width stores 0 and turns the stroke off; any other turns it on.
    void setStrokeLineWidth(double width);

    // The bounds grown by what the stroke and the handles draw outside them.
    virtual QRectF drawingBounds() const;
    // The centre of a knob on the bounds.
    QPointF knobPoint(int knob) const;
    // The knob whose handle lies under the point, NoKnob when none.
    int knobUnderPoint(const QPointF& point) const;
    // Moves the knob's sides to the point; when the shape turns over, it is
    // flipped and the answer is the mirrored knob that now follows the point.
    int resizeByMovingKnob(int knob, const QPointF& point);
    // The shape and, when selected, its eight handles.
    virtual void draw(QPainter& painter, bool selected) const;
    static void drawHandleAtPoint(QPainter& painter, const QPointF& point);

    // "Class", "Bounds", "DrawsFill", "DrawsStroke", "FillColor",
    // "StrokeColor", "StrokeLineWidth".
    virtual QVariantMap propertyListRepresentation() const;
    // False (logged) for a form with unreadable or wrong-typed values; the
    // shape is then unchanged.
    virtual bool loadPropertyListRepresentation(const QVariantMap& form);
    // A new shape of the form's class; null (logged) for an unknown class or
    // a form that does not load.
    static std::shared_ptr<BaseGraphic> graphicWithPropertyListRepresentation(const QVariantMap& form);
    using Factory = std::function<std::shared_ptr<BaseGraphic>()>;
    static void registerGraphicClass(const QString& name, Factory factory);
    virtual QString graphicClassName() const { return QStringLiteral("BaseGraphic"); }

protected:
    BaseGraphic();
    // Tells the controller and the observers that the shape changed.
    void didChange();
    // Puts one undo step on the controller's stack: undo applies before,
    // redo applies after (both through the setters, so they notify).
    void registerUndo(const QString& text, std::function<void(BaseGraphic&)> undo,
                      std::function<void(BaseGraphic&)> redo);
    void copySettingsTo(BaseGraphic& other) const;
    // For changes that register their own undo step.
    void setBoundsWithoutUndo(const QRectF& bounds);

private:
    friend class GraphicUndoCommand;
    // Sets the field and registers the step when the value differs.
    template <class T>
    void change(T BaseGraphic::*field, const T& value, const QString& text);

    CanvasController* controller_ = nullptr;
    QRectF bounds_{0, 0, 1, 1};
    QRectF origBounds_;
    double lineWidth_ = 1.0;
    QColor fillColor_ = Qt::white;
    QColor strokeColor_ = Qt::black;
    bool drawsFill_ = false;
    bool drawsStroke_ = true;
    bool manipulatingBounds_ = false;
};

// The rectangle spanned by two points (origin the smaller coordinates).
QRectF SKTRectFromPoints(const QPointF& a, const QPointF& b);
