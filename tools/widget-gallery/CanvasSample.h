#pragma once

#include "widgets/CanvasController.h"

#include <QUndoStack>
#include <QWidget>
#include <memory>
#include <vector>

class BaseGraphic;
class FileItemImage;

// A small canvas for the drawing objects: two shapes and two file items.
// Click to select, drag a knob to resize (Ctrl+Z undoes the whole drag),
// double-click a file item to edit its name, Return ends the edit.
class CanvasSample : public QWidget, public CanvasController {
    Q_OBJECT
public:
    explicit CanvasSample(QWidget* parent = nullptr);
    ~CanvasSample() override;

    QUndoStack* undoStack() override { return &undo_; }
    void invalidateGraphic(BaseGraphic& graphic) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void endEditing();

    QUndoStack undo_;
    std::vector<std::shared_ptr<BaseGraphic>> graphics_;
    std::shared_ptr<BaseGraphic> selected_;
    std::shared_ptr<FileItemImage> editing_;
    int knob_ = 0;
};
