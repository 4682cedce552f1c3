#include "widgets/SelectToolViewList.h"

#include "platform/gui/Images.h"
#include "platform/gui/Interface.h"
#include "widgets/SelectToolViewCell.h"
#include "widgets/SlaveDrawInfo.h"
#include "widgets/SlaveDrawTracking.h"
#include "widgets/SlaveDrawTrackingInfo.h"

#include <QAbstractListModel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

// The list is its own data source: rows straight from its triples.
class SelectToolViewList::Model : public QAbstractListModel {
public:
    explicit Model(SelectToolViewList* list) : QAbstractListModel(list), list_(list) { }
    void reset()
    {
        beginResetModel();
        endResetModel();
    }
    void rowsChanged() { Q_EMIT dataChanged(index(0), index(std::max(0, rowCount() - 1))); }
    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : list_->rowCount(); }
    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        if (!index.isValid())
            return Qt::NoItemFlags;
        return list_->shouldSelectRow(index.row()) ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::ItemIsEnabled;
    }
    QVariant data(const QModelIndex& index, int role) const override
    {
        const int row = index.row();
        if (!index.isValid() || row >= list_->rowCount())
            return {};
        switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
            return list_->labelOf(row);
        case Qt::DecorationRole: {
            const QVariant image = list_->rows_.at(row * 3);
            if (image.typeId() == QMetaType::QImage)
                return image;
            if (image.typeId() == QMetaType::QPixmap)
                return image.value<QPixmap>().toImage();
            return {};
        }
        case SelectToolViewCell::SeparatorRole:
            return list_->isSeparator(row);
        case SelectToolViewCell::OpacityRole:
            return list_->iconAlpha(row);
        case SelectToolViewCell::IdentifierRole:
            return list_->identifierOf(row);
        case Qt::SizeHintRole:
            return QSize(list_->viewport()->width(), list_->heightOfRow(row));
        default:
            return {};
        }
    }

private:
    SelectToolViewList* list_;
};

SelectToolViewList::SelectToolViewList(QWidget* parent)
    : QListView(parent)
    , model_(new Model(this))
    , cell_(new SelectToolViewCell(this))
    , pulsTimer_([this] { pulseIdleTimer(); })
{
    setModel(model_);
    setItemDelegate(cell_);
    cell_->setSlaveLookup([this](const QModelIndex& index) {
        const auto it = slaveDrawInfos_.constFind(identifierOf(index.row()));
        return it == slaveDrawInfos_.constEnd() ? SelectToolViewCell::Slave{}
                                                : SelectToolViewCell::Slave{it->slave, it->context};
    });
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(tr("Tools"));
    viewport()->setMouseTracking(true);
}

SelectToolViewList::~SelectToolViewList()
{
    if (watchedWindow_)
        watchedWindow_->removeEventFilter(this);
    pulsTimer_.stop();
    pulseAnimation_.stopAnimation();
}

bool SelectToolViewList::initSelectToolViewList(const QVariantList& triples)
{
    rows_ = triples;
    slaveDrawInfos_.clear();
    removeAllIdentSlaveTracking();
    pulsing_.clear();
    pulsTimer_.stop();
    model_->reset();
    updateTrackingRect();
    return true;
}

int SelectToolViewList::rowCount() const
{
    return int(rows_.size() / 3);
}

QString SelectToolViewList::labelOf(int row) const
{
    return row >= 0 && row < rowCount() ? rows_.at(row * 3 + 1).toString() : QString();
}

QString SelectToolViewList::identifierOf(int row) const
{
    return row >= 0 && row < rowCount() ? rows_.at(row * 3 + 2).toString() : QString();
}

bool SelectToolViewList::isSeparator(int row) const
{
    if (row < 0 || row >= rowCount())
        return false;
    const QVariant label = rows_.at(row * 3 + 1);
    return label.typeId() == QMetaType::QString && label.toString().isEmpty();
}

bool SelectToolViewList::shouldSelectRow(int row) const
{
    if (row < 0 || row >= rowCount())
        return false;
    const QVariant label = rows_.at(row * 3 + 1);
    return label.typeId() == QMetaType::QString && !label.toString().isEmpty();
}

void SelectToolViewList::setRowHeight(int height)
{
    rowHeight_ = std::max(1, height);
    model_->reset();
    updateTrackingRect();
}

int SelectToolViewList::heightOfRow(int row) const
{
    return isSeparator(row) ? kSeparatorHeight : rowHeight_;
}

int SelectToolViewList::selectedRow() const
{
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.first().row();
}

QString SelectToolViewList::getSelectedIdentify() const
{
    const int row = selectedRow();
    return row < 0 ? QString() : identifierOf(row);
}

int SelectToolViewList::rowOf(const QString& identifier) const
{
    for (int row = 0; row < rowCount(); ++row) {
        if (rows_.at(row * 3 + 2).toString() == identifier)
            return row;
    }
    return -1;
}

void SelectToolViewList::selectIdentify(const QString& identifier)
{
    if (const int row = rowOf(identifier); row >= 0)
        selectRow(row);
}

void SelectToolViewList::selectRow(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    const QModelIndex index = model_->index(row);
    selectionModel()->select(index, QItemSelectionModel::ClearAndSelect);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    scrollTo(index);
    viewport()->update();
}

QRect SelectToolViewList::frameForIdentify(const QString& identifier) const
{
    const int row = rowOf(identifier);
    return row < 0 ? QRect() : visualRect(model_->index(row));
}

void SelectToolViewList::userSelects(int row)
{
    if (!shouldSelectRow(row))
        return;
    selectRow(row);
    Q_EMIT action();
}

// Slaves.

void SelectToolViewList::watchSlave(QObject* object)
{
    if (!object || watchedSlaves_.contains(object))
        return;
    watchedSlaves_.insert(object);
    connect(object, &QObject::destroyed, this, [this, object] {
        watchedSlaves_.remove(object);
        forgetSlave(object);
    });
}

void SelectToolViewList::forgetSlave(QObject* object)
{
    slaveDrawInfos_.removeIf([object](const auto& entry) { return entry.value().owner == object; });
    trackingTagInfos_.removeIf([object](const auto& entry) { return entry.value().owner == object; });
    viewport()->update();
}

void SelectToolViewList::setIdentSlaveDrawInfo(SlaveDrawInfo* slave, const QVariant& context, const QString& identifier)
{
    if (!slave)
        return;
    QObject* owner = dynamic_cast<QObject*>(slave);
    slaveDrawInfos_.insert(identifier, {slave, context, owner});
    watchSlave(owner);
    viewport()->update();
}

void SelectToolViewList::setIdentSlaveTracking(SlaveDrawTracking* slave, const QVariant& context,
                                               const QString& identifier)
{
    if (!slave)
        return;
    removeIdentSlaveTracking(identifier);
    QObject* owner = dynamic_cast<QObject*>(slave);
    trackingTagInfos_.insert(identifier, {slave, context, owner, 0, {}, false});
    watchSlave(owner);
}

void SelectToolViewList::setIdentSlaveDrawTrackingInfo(SlaveDrawTrackingInfo* slave, const QVariant& context,
                                                       const QString& identifier)
{
    setIdentSlaveDrawInfo(slave, context, identifier);
    setIdentSlaveTracking(slave, context, identifier);
}

void SelectToolViewList::removeIdentSlaveDrawInfo(const QString& identifier)
{
    slaveDrawInfos_.remove(identifier);
    viewport()->update();
}

void SelectToolViewList::removeAllIdentSlaveDrawInfos()
{
    slaveDrawInfos_.clear();
    viewport()->update();
}

void SelectToolViewList::removeIdentSlaveTracking(const QString& identifier)
{
    const auto it = trackingTagInfos_.find(identifier);
    if (it == trackingTagInfos_.end())
        return;
    clearTrackingRect(*it);
    trackingTagInfos_.erase(it);
}

void SelectToolViewList::removeAllIdentSlaveTracking()
{
    for (Tracking& entry : trackingTagInfos_)
        clearTrackingRect(entry);
    trackingTagInfos_.clear();
}

void SelectToolViewList::clearTrackingRect(Tracking& entry)
{
    entry.tag = 0;
    entry.area = {};
    entry.inside = false;
}

void SelectToolViewList::updateTrackingRect()
{
    for (auto it = trackingTagInfos_.begin(); it != trackingTagInfos_.end(); ++it) {
        Tracking& entry = *it;
        clearTrackingRect(entry);
        if (isHidden() || !entry.slave->doSlaveTrackingslaveContext(entry.context))
            continue;
        const QRect row = frameForIdentify(it.key());
        entry.area = entry.slave->getSlaveWithFrame(row, *this, entry.context);
        entry.tag = ++lastTag_;
    }
}

std::optional<QRect> SelectToolViewList::trackingRect(const QString& identifier) const
{
    const auto it = trackingTagInfos_.constFind(identifier);
    if (it == trackingTagInfos_.constEnd() || it->tag == 0)
        return std::nullopt;
    return it->area;
}

void SelectToolViewList::trackPointer(const QPoint& position)
{
    // Calls may change the table: walk a copy of the keys.
    const QStringList identifiers = trackingTagInfos_.keys();
    for (const QString& identifier : identifiers) {
        auto it = trackingTagInfos_.find(identifier);
        if (it == trackingTagInfos_.end() || it->tag == 0)
            continue;
        const bool inside = it->area.contains(position);
        if (inside == it->inside)
            continue;
        it->inside = inside;
        SlaveDrawTracking* slave = it->slave;
        const QVariant context = it->context;
        if (inside)
            slave->enterSlaveTracking(frameForIdentify(identifier), *this, context);
        else
            slave->leaveSlaveTracking(*this, context);
    }
}

// Pulsing.

void SelectToolViewList::setAnimationItem(const QString& identifier, bool on)
{
    if (on) {
        pulsing_.insert(identifier);
        if (!pulsTimer_.isActive())
            pulsTimer_.start(kPulseInterval, true);
    } else {
        pulsing_.remove(identifier);
        if (pulsing_.isEmpty())
            pulsTimer_.stop();
    }
    viewport()->update();
}

bool SelectToolViewList::canPulse() const
{
    return isVisible();
}

void SelectToolViewList::pulseIdleTimer()
{
    if (!canPulse()) {
        pulsTimer_.stop();
        return;
    }
    pulsMod_ = !pulsMod_;
    pulseAnimation_.setAnimatedHistoryContainer(this);
}

void SelectToolViewList::setCurrentProgress(double progress)
{
    curAlpha_ = kLowestAlpha + kAlphaSwing * (pulsMod_ ? progress : 1.0 - progress);
    viewport()->update();
}

double SelectToolViewList::iconAlpha(int row) const
{
    return pulsing_.contains(identifierOf(row)) ? curAlpha_ : 1.0;
}

// Events.

void SelectToolViewList::setVisible(bool visible)
{
    QListView::setVisible(visible);
    updateTrackingRect();
}

void SelectToolViewList::paintEvent(QPaintEvent* event)
{
    const int row = selectedRow();
    if (row >= 0) {
        const QRect selected = visualRect(model_->index(row));
        if (!selected.isEmpty()) {
            QPainter painter(viewport());
            painter.drawImage(selected,
                              platform::gui::image(QLatin1String(platform::gui::kProgramBundle),
                                                   QStringLiteral("SelectToolViewColor")));
        }
    }
    QListView::paintEvent(event);
}

void SelectToolViewList::mousePressEvent(QMouseEvent* event)
{
    setFocus(Qt::MouseFocusReason);
    if (event->button() != Qt::LeftButton)
        return;
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid())
        userSelects(index.row());
}

void SelectToolViewList::mouseMoveEvent(QMouseEvent* event)
{
    trackPointer(event->position().toPoint());
}

void SelectToolViewList::mouseReleaseEvent(QMouseEvent*)
{
}

void SelectToolViewList::mouseDoubleClickEvent(QMouseEvent*)
{
}

void SelectToolViewList::keyPressEvent(QKeyEvent* event)
{
    const int count = rowCount();
    const int current = selectedRow();
    int target = -1;
    const auto scan = [this, count](int from, int step) {
        for (int row = from; row >= 0 && row < count; row += step) {
            if (shouldSelectRow(row))
                return row;
        }
        return -1;
    };
    switch (event->key()) {
    case Qt::Key_Up:
        target = scan(current < 0 ? count - 1 : current - 1, -1);
        break;
    case Qt::Key_Down:
        target = scan(current + 1, 1);
        break;
    case Qt::Key_Home:
        target = scan(0, 1);
        break;
    case Qt::Key_End:
        target = scan(count - 1, -1);
        break;
    default:
        event->ignore();
        return;
    }
    if (target >= 0 && target != current)
        userSelects(target);
}

void SelectToolViewList::resizeEvent(QResizeEvent* event)
{
    QListView::resizeEvent(event);
    updateTrackingRect();
}

void SelectToolViewList::scrollContentsBy(int dx, int dy)
{
    QListView::scrollContentsBy(dx, dy);
    updateTrackingRect();
}

void SelectToolViewList::showEvent(QShowEvent* event)
{
    QListView::showEvent(event);
    QWidget* top = window();
    if (top != this && top != watchedWindow_) {
        if (watchedWindow_)
            watchedWindow_->removeEventFilter(this);
        watchedWindow_ = top;
        top->installEventFilter(this);
    }
    // Rows laid out for the first time.
    updateTrackingRect();
    if (!pulsing_.isEmpty() && !pulsTimer_.isActive())
        pulsTimer_.start(kPulseInterval, true);
}

bool SelectToolViewList::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::Leave)
        trackPointer(QPoint(-(1 << 20), -(1 << 20))); // nowhere: every area is left
    return QListView::viewportEvent(event);
}

bool SelectToolViewList::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == watchedWindow_ && event->type() == QEvent::Close) {
        removeAllIdentSlaveDrawInfos();
        removeAllIdentSlaveTracking();
    }
    return QListView::eventFilter(watched, event);
}
