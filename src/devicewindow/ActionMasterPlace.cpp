#include "devicewindow/ActionMasterPlace.h"

#include "devicewindow/queue/ActionMasterHdlr.h"

#include "widgets/BetterSplitView.h"

#include <QEvent>
#include <QHeaderView>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

#include <cmath>

ActionMasterPlace::ActionMasterPlace(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("actionMasterPlace"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    relayout_.setCallback([this] { adjustSubviews(); });
}

double ActionMasterPlace::calcHeadeHeight() const
{
    if (!headerTable_ || !headerTable_->model())
        return 1.0;
    const int rows = headerTable_->model()->rowCount();
    const double spacing = headerTable_->showGrid() ? 1.0 : 0.0;
    if (headerRowHeight_) {
        double sum = 0;
        for (int row = 0; row < rows; ++row)
            sum += headerRowHeight_(row);
        return rows * (spacing + 1) + 16 + sum;
    }
    return rows * (spacing + headerTable_->verticalHeader()->defaultSectionSize()) + 16;
}

QSplitter* ActionMasterPlace::getSplittView() const
{
    for (QWidget* up = parentWidget(); up; up = up->parentWidget())
        if (auto* split = qobject_cast<QSplitter*>(up))
            return split;
    return nullptr;
}

void ActionMasterPlace::setHeaderTable(QTableView* table, std::function<double(int)> heightOfRow)
{
    headerTable_ = table;
    headerRowHeight_ = std::move(heightOfRow);
    if (auto* split = qobject_cast<BetterSplitView*>(getSplittView()))
        split->setDelegate(this);
    watchSplit();
}

void ActionMasterPlace::watchSplit()
{
    QSplitter* split = getSplittView();
    if (split == watchedSplit_)
        return;
    if (watchedSplit_)
        watchedSplit_->removeEventFilter(this);
    watchedSplit_ = split;
    if (split)
        split->installEventFilter(this);
}

bool ActionMasterPlace::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == watchedSplit_ && event->type() == QEvent::Resize && isCollabsed())
        adjustSubviews();
    return QWidget::eventFilter(watched, event);
}

bool ActionMasterPlace::isCollabsed() const
{
    return actionMaster_ && collapsed_;
}

double ActionMasterPlace::topFrameHight() const
{
    QSplitter* split = getSplittView();
    if (!split || split->count() == 0)
        return 0;
    const double top = split->widget(0)->height();
    return isCollabsed() ? -top : top;
}

void ActionMasterPlace::collapseMaster()
{
    if (isCollabsed() || !actionMaster_)
        return;
    collapsed_ = true;
    actionMaster_->setLastWinPos(topFrameHight());
    setMaximumHeight(kHeaderHeight);
    relayout_.start(kRelayoutDelay);
}

void ActionMasterPlace::expandMaster()
{
    if (!isCollabsed())
        return;
    collapsed_ = false;
    actionMaster_->setLastWinPos(topFrameHight());
    setMaximumHeight(QWIDGETSIZE_MAX);
    if (QSplitter* split = getSplittView(); split && split->count() == 2) {
        const int total = split->orientation() == Qt::Vertical ? split->height() : split->width();
        const int top = int(std::ceil(calcHeadeHeight()));
        split->setSizes({top, std::max(0, total - top - split->handleWidth())});
    }
    relayout_.start(kRelayoutDelay);
}

void ActionMasterPlace::adjustSubviews()
{
    QSplitter* split = getSplittView();
    if (!split || split->count() != 2)
        return;
    const int total = split->height();
    const int divider = split->handleWidth();
    if (isCollabsed()) {
        split->setSizes({std::max(0, total - kHeaderHeight - divider), kHeaderHeight});
    } else {
        const QList<int> sizes = split->sizes();
        const int top = std::clamp(sizes.value(0), 0, std::max(0, total - divider));
        split->setSizes({top, std::max(0, total - top - divider)});
    }
}

void ActionMasterPlace::addActionMaster(ActionMasterHdlr* master)
{
    if (actionMaster_ || !master)
        return;
    master->setParent(this);
    actionMaster_ = master;
    layout()->addWidget(master);
    master->move(0, 0);
    master->resize(size());
    master->show();
    master->update();
    watchSplit();
    double remembered = master->lastWinPos();
    if (!std::isfinite(remembered))
        remembered = 0;   // no usable position: none
    if (remembered < 0 && !collapsed_)
        collapseMaster();
    else if (remembered > 0 && collapsed_)
        expandMaster();
    relayout_.start(kRelayoutDelay);
}

void ActionMasterPlace::removeActionMaster()
{
    if (!actionMaster_)
        return;
    actionMaster_->setLastWinPos(topFrameHight());
    layout()->removeWidget(actionMaster_);
    // Kept by the window until the next center places it.
    actionMaster_->hide();
    actionMaster_->setParent(window() != this ? window() : nullptr);
    actionMaster_ = nullptr;
}

std::optional<qreal> ActionMasterPlace::constrainMinCoordinate(BetterSplitView& split, qreal proposed, int index)
{
    if (index != 1)
        return proposed;
    return isCollabsed() ? split.height() - kHeaderHeight : calcHeadeHeight();
}

std::optional<qreal> ActionMasterPlace::constrainMaxCoordinate(BetterSplitView& split, qreal proposed, int index)
{
    if (index != 1)
        return proposed;
    return split.height() - kHeaderHeight;
}
