#include "organizer/tables/QVElemTableView.h"

#include "platform/Localization.h"
#include "platform/PropertyList.h"
#include "platform/UserDefaults.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QUndoCommand>

#include <algorithm>
#include <cmath>

namespace {

// A snapshot step: undoing or redoing applies the kept state and keeps the
// state it replaced for the opposite step. The first redo (the push) does
// nothing: the change it stands for happens right after.
class ElemTableStateCommand : public QUndoCommand {
public:
    ElemTableStateCommand(QVElemTableView& table, QVElemTableState state, const QString& name)
        : QUndoCommand(name)
        , table_(table)
        , state_(std::move(state))
    {
    }
    void undo() override { state_ = table_.restoreLastState(state_); }
    void redo() override
    {
        if (pushed_)
            state_ = table_.restoreLastState(state_);
        pushed_ = true;
    }

private:
    QVElemTableView& table_;
    QVElemTableState state_;
    bool pushed_ = false;
};

// The step of one field edit, the same way.
class ElemTableDataCommand : public QUndoCommand {
public:
    ElemTableDataCommand(QVElemTableView& table, QVariant elem, QVariant data, int property, const QString& name)
        : QUndoCommand(name)
        , table_(table)
        , elem_(std::move(elem))
        , data_(std::move(data))
        , property_(property)
    {
    }
    void undo() override { data_ = table_.restoreElemData(elem_, data_, property_); }
    void redo() override
    {
        if (pushed_)
            data_ = table_.restoreElemData(elem_, data_, property_);
        pushed_ = true;
    }

private:
    QVElemTableView& table_;
    QVariant elem_;
    QVariant data_;
    int property_;
    bool pushed_ = false;
};

const QString kUndoCutKey = QStringLiteral("undoCut");
const QString kUndoChangeKey = QStringLiteral("undoChange");

} // namespace

QVElemTableView::QVElemTableView(QWidget* parent)
    : DataTableView(parent)
    , undoStack_(new QUndoStack(this))
{
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::CopyAction);
    setAcceptDrops(true);
    QHeaderView* header = horizontalHeader();
    header->setSectionsMovable(true);
    connect(header, &QHeaderView::sectionResized, this, [this] { saveColumnLayout(); });
    connect(header, &QHeaderView::sectionMoved, this, [this] { saveColumnLayout(); });
}

QVElemTableView::~QVElemTableView()
{
    // The steps refer to the table: they go first.
    undoStack_->clear();
}

QString QVElemTableView::autosaveKey() const
{
    return autosaveName_.isEmpty() ? QString() : QLatin1String(kAutosaveKeyPrefix) + autosaveName_;
}

void QVElemTableView::setAutosaveName(const QString& name)
{
    autosaveName_ = name.isEmpty() ? QString() : QString::fromLatin1(kAutosaveFormat).arg(name);
    restoreColumnLayout();
}

void QVElemTableView::restoreColumnLayout()
{
    const QString key = autosaveKey();
    if (key.isEmpty())
        return;
    auto& defaults = platform::UserDefaults::standard();
    const QVariant stored = defaults.object(key);
    if (!stored.isValid())
        return;
    // A layout that cannot be read, or that was made for other columns, is
    // thrown away: the table keeps the layout it was made with.
    restoringLayout_ = true;
    const QByteArray saved = horizontalHeader()->saveState();
    const bool readable = stored.typeId() == QMetaType::QByteArray
        && horizontalHeader()->restoreState(stored.toByteArray())
        && horizontalHeader()->count() == numberOfColumns();
    if (!readable) {
        horizontalHeader()->restoreState(saved);
        defaults.remove(key);
    }
    restoringLayout_ = false;
}

void QVElemTableView::saveColumnLayout()
{
    if (!autosaveColumns_ || restoringLayout_ || autosaveName_.isEmpty())
        return;
    platform::UserDefaults::standard().setObject(autosaveKey(), horizontalHeader()->saveState());
}

void QVElemTableView::draggedImageEnded(Qt::DropAction action)
{
    // Queued: the controller works once the drag session is over; a table
    // gone by then drops the call.
    if (action == Qt::MoveAction) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (controller_)
                    controller_->deleteItemsFromIndexSet(controller_->indexSetForDrag());
            },
            Qt::QueuedConnection);
    } else {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (controller_)
                    controller_->dragFinished();
            },
            Qt::QueuedConnection);
    }
}

int QVElemTableView::visibleColumnSize() const
{
    int total = 0;
    for (int column = 0; column < numberOfColumns(); ++column)
        total += columnWidth(column);
    return total;
}

void QVElemTableView::optimizeHeaders()
{
    // A hidden table has no width to fit into: the fitting waits for the
    // table to be shown, or its widths would be crushed (and saved).
    if (!isVisible() || viewport()->width() <= 0) {
        fitWhenShown_ = true;
        return;
    }
    fitWhenShown_ = false;
    const int columns = numberOfColumns();
    if (columns == 0)
        return;
    const double available = visibleWidth() - kFitMargin;
    const double total = visibleColumnSize();
    if (total == available)
        return;
    std::vector<double> widths;
    for (int column = 0; column < columns; ++column)
        widths.push_back(columnWidth(column));

    if (total > available) {
        // Shrinks from the last column towards the first, each by 1 % of
        // what it has above its minimum, until the columns fit.
        double sum = total;
        bool fits = false;
        for (int pass = 0; pass < kMaxFitPasses && !fits; ++pass) {
            for (int column = columns - 1; column >= 0; --column) {
                const double minimum = columnMinWidth(column);
                if (widths[column] > minimum) {
                    const double shrunk = std::max(minimum, widths[column] - (widths[column] - minimum) * 0.01);
                    sum -= widths[column] - shrunk;
                    widths[column] = shrunk;
                }
                if (available > sum) {
                    fits = true;
                    break;
                }
            }
        }
        for (int column = 0; column < columns; ++column)
            setColumnWidth(column, int(std::floor(widths[column])));
        return;
    }
    const int extra = int(std::lround(double(frameWidth() - total) / columns));
    for (int column = 0; column < columns; ++column)
        setColumnWidth(column, std::min(columnMaxWidth(column), int(widths[column]) + extra));
}

void QVElemTableView::fitIfPending()
{
    if (!fitWhenShown_ || fitQueued_)
        return;
    // After the layout has given the table its size.
    fitQueued_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            fitQueued_ = false;
            if (fitWhenShown_)
                optimizeHeaders();
        },
        Qt::QueuedConnection);
}

void QVElemTableView::showEvent(QShowEvent* event)
{
    DataTableView::showEvent(event);
    fitIfPending();
}

void QVElemTableView::resizeEvent(QResizeEvent* event)
{
    DataTableView::resizeEvent(event);
    fitIfPending();
}

void QVElemTableView::setPBTypes(const QStringList& types, bool isEditable)
{
    pbTypes_ = types;
    isEditable_ = isEditable;
}

void QVElemTableView::keepEvent(const QInputEvent* event)
{
    lastEvent_.reset(event ? event->clone() : nullptr);
}

void QVElemTableView::mousePressEvent(QMouseEvent* event)
{
    keepEvent(event);
    DataTableView::mousePressEvent(event);
}

void QVElemTableView::keyPressEvent(QKeyEvent* event)
{
    keepEvent(event);
    auto runIfValid = [&](EditCommand command, auto&& action) {
        if (validateMenuItem(command))
            action();
        event->accept();
    };
    // Ctrl+Z and Ctrl+Shift+Z whatever the platform's key scheme says.
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const bool isZ = event->key() == Qt::Key_Z;
    if (event->matches(QKeySequence::Undo) || (isZ && modifiers == Qt::ControlModifier)) {
        undoStack_->undo();
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::Redo) || (isZ && modifiers == (Qt::ControlModifier | Qt::ShiftModifier))) {
        undoStack_->redo();
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::Copy))
        return runIfValid(EditCommand::Copy, [this] { copy(); });
    if (event->matches(QKeySequence::Cut))
        return runIfValid(EditCommand::Cut, [this] { cut(); });
    if (event->matches(QKeySequence::Paste))
        return runIfValid(EditCommand::Paste, [this] { paste(); });

    bool handled = false;
    switch (event->key()) {
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
        if (controller_)
            controller_->deleteKeyPressed(*this);
        handled = true;
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        handled = controller_ && controller_->pressEnterKey(*this);
        break;
    default:
        break;
    }
    if (handled) {
        event->accept();
        return;
    }
    DataTableView::keyPressEvent(event);
}

void QVElemTableView::deleteItems()
{
    if (controller_)
        controller_->deleteKeyPressed(*this);
}

void QVElemTableView::copy()
{
    if (controller_)
        controller_->copyItems(*this);
}

void QVElemTableView::paste()
{
    if (!controller_)
        return;
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (!data)
        return;
    const auto type = std::find_if(pbTypes_.begin(), pbTypes_.end(),
                                   [data](const QString& candidate) { return data->hasFormat(candidate); });
    if (type == pbTypes_.end())
        return;
    const QByteArray bytes = data->data(*type);
    QVariantList items;
    QString error;
    const QVariant list = bytes.isEmpty() ? QVariant() : platform::plist::read(bytes, &error);
    if (list.isValid() && error.isEmpty())
        items = list.typeId() == QMetaType::QVariantList ? list.toList() : QVariantList{list};
    else if (!bytes.isEmpty())
        items = QVariantList{bytes};
    else
        return;
    registerUndoState(controller_->getCurrentState(), platform::localizedString(kUndoCutKey));
    controller_->pasteItems(items, *type, 0);
}

void QVElemTableView::cut()
{
    if (!controller_)
        return;
    registerUndoState(controller_->getCurrentState(), platform::localizedString(kUndoCutKey));
    copy();
    controller_->performDelete();
}

bool QVElemTableView::pasteboardHasExpense() const
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (!data)
        return false;
    return std::any_of(pbTypes_.begin(), pbTypes_.end(),
                       [data](const QString& type) { return data->hasFormat(type); });
}

bool QVElemTableView::validateMenuItem(EditCommand command) const
{
    switch (command) {
    case EditCommand::Delete:
    case EditCommand::Cut:
        return isEditable_ && selectedItemsCount() > 0;
    case EditCommand::Copy:
        return selectedItemsCount() > 0;
    case EditCommand::Paste:
        return isEditable_ && pasteboardHasExpense();
    case EditCommand::SelectAll:
        return numberOfRows() > 0;
    case EditCommand::Other:
        break;
    }
    return false;
}

void QVElemTableView::registerUndoState(const QVElemTableState& state, const QString& actionName)
{
    undoStack_->push(new ElemTableStateCommand(*this, state, actionName));
}

QVElemTableState QVElemTableView::restoreLastState(const QVElemTableState& state)
{
    if (!controller_)
        return state;
    QVElemTableState current = controller_->getCurrentState();
    controller_->setStateFromDictionary(state);
    return current;
}

QVariant QVElemTableView::restoreElemData(const QVariant& elem, const QVariant& data, int property)
{
    if (!controller_)
        return data;
    const QVariant current = controller_->getCurrentElemData(elem, data, property);
    controller_->setElemData(elem, data, property);
    controller_->updateContent();
    controller_->trickleRequired();
    return current;
}

void QVElemTableView::registerUndoElemData(const QVariant& elem, const QVariant& data, int property)
{
    undoStack_->push(new ElemTableDataCommand(*this, elem, data, property, platform::localizedString(kUndoChangeKey)));
}
