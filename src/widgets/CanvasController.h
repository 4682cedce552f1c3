#pragma once

class BaseGraphic;
class QUndoStack;

// The canvas view controller that owns drawing objects: it keeps the undo
// stack of its document and redraws a shape's area on request.
class CanvasController {
public:
    virtual ~CanvasController() = default;
    // The undo stack of the controller's document; null when it has none.
    virtual QUndoStack* undoStack() = 0;
    // Redraws the area the shape covers.
    virtual void invalidateGraphic(BaseGraphic& graphic) = 0;
};
