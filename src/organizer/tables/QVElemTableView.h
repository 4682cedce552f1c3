#pragma once

#include "organizer/tables/DataTableView.h"
#include "organizer/tables/QVElemTableViewController.h"

#include <QStringList>
#include <QUndoStack>

#include <memory>

class QEvent;
class QInputEvent;

// The table of an organizer pane's items. It turns keys, edit commands,
// clipboard actions and drags into requests to its controller, registers
// their undo on its own undo stack and keeps its column layout in the user
// defaults.
class QVElemTableView : public DataTableView {
    Q_OBJECT

public:
    // The layout key: "NSTableView Columns " + the name made with this format.
    static constexpr const char* kAutosaveFormat = "%1 Vers.1.5.1_1";
    static constexpr const char* kAutosaveKeyPrefix = "NSTableView Columns ";
    // Column fitting: at most this many shrinking passes; visible width less
    // this margin is the room.
    static constexpr int kMaxFitPasses = 1234;
    static constexpr int kFitMargin = 15;

    enum class EditCommand { Delete, Cut, Copy, Paste, SelectAll, Other };

    explicit QVElemTableView(QWidget* parent = nullptr);
    ~QVElemTableView() override;

    void setController(QVElemTableViewController* controller) { controller_ = controller; }
    QVElemTableViewController* controller() const { return controller_; }

    // Column layout as header state under "NSTableView Columns <name> Vers.1.5.1_1";
    // a stored layout that cannot be read is removed. Saved on every resize
    // or move of a column while autosave is on.
    void setAutosaveName(const QString& name);
    QString autosaveName() const { return autosaveName_; }
    QString autosaveKey() const;
    void setAutosaveTableColumns(bool on) { autosaveColumns_ = on; }
    bool autosaveTableColumns() const { return autosaveColumns_; }
    void saveColumnLayout();

    // The end of a drag: taken as a move (the trash), the controller is asked
    // to delete the dragged rows, else to finish the drag; both queued to run
    // after the drag session.
    void draggedImageEnded(Qt::DropAction action);
    Qt::DropActions draggingSourceOperationMask() const override { return Qt::CopyAction | Qt::MoveAction; }

    int visibleColumnSize() const;
    // Fits the columns into the visible width: shrinks them from the last one
    // towards their minimum, or shares the extra room up to their maximum.
    // A hidden table is fitted once it is shown.
    void optimizeHeaders();
    bool fitWhenShown() const { return fitWhenShown_; }

    // MIME types the table pastes, in order of preference.
    void setPBTypes(const QStringList& types, bool isEditable);
    QStringList pbTypes() const { return pbTypes_; }
    bool isEditable() const { return isEditable_; }
    // The last mouse press or key press that reached the table.
    const QInputEvent* lastEvent() const { return lastEvent_.get(); }
    int selectedItemsCount() const { return numberOfSelectedRows(); }

    // Edit commands.
    void deleteItems();   // the Delete command
    void copy();
    void paste();
    void cut();
    bool pasteboardHasExpense() const;
    bool validateMenuItem(EditCommand command) const;

    // Undo: registers a snapshot as the undo step of the next change.
    QUndoStack* undoManager() const { return undoStack_; }
    void registerUndoState(const QVElemTableState& state, const QString& actionName);
    // The undo step: applies the snapshot and answers the state it replaced.
    QVElemTableState restoreLastState(const QVElemTableState& state);
    // The undo step of a field edit: sets the data and answers the data it
    // replaced.
    QVariant restoreElemData(const QVariant& elem, const QVariant& data, int property);
    void registerUndoElemData(const QVariant& elem, const QVariant& data, int property);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void draggingEnded(Qt::DropAction action) override { draggedImageEnded(action); }
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void keepEvent(const QInputEvent* event);
    void restoreColumnLayout();
    void fitIfPending();

    QVElemTableViewController* controller_ = nullptr;
    std::unique_ptr<QInputEvent> lastEvent_;
    QStringList pbTypes_;
    bool isEditable_ = false;
    QString autosaveName_;
    bool autosaveColumns_ = false;
    bool restoringLayout_ = false;
    bool fitWhenShown_ = false;
    bool fitQueued_ = false;
    QUndoStack* undoStack_;
};
