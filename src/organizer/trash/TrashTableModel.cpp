#include "organizer/trash/TrashTableModel.h"

#include "organizer/trash/TrashDrag.h"
#include "organizer/trash/TrashKeys.h"
#include "organizer/trash/TrashManager.h"
#include "platform/gui/Images.h"

#include <QMimeData>
#include <QUrl>

#include <algorithm>
#include <unordered_map>
#include <vector>

namespace {

QImage typeImage(bool conflict)
{
    static const QImage images[2] = {
        platform::gui::image(QStringLiteral("program"), QLatin1String(trashkeys::kImageTrash))
            .scaled(TrashTableModel::kIconSide, TrashTableModel::kIconSide, Qt::KeepAspectRatio,
                    Qt::SmoothTransformation),
        platform::gui::image(QStringLiteral("program"), QLatin1String(trashkeys::kImagePayAttention))
            .scaled(TrashTableModel::kIconSide, TrashTableModel::kIconSide, Qt::KeepAspectRatio,
                    Qt::SmoothTransformation),
    };
    return images[conflict ? 1 : 0];
}

} // namespace

TrashTableModel::TrashTableModel(TrashManager& store, QObject* parent) : QAbstractTableModel(parent), _store(store)
{
}

QString TrashTableModel::columnIdentifier(int column)
{
    static const char* const kIdentifiers[] = {trashkeys::kColumnTitle, trashkeys::kColumnType, trashkeys::kColumnDate,
                                               trashkeys::kColumnPhone};
    return column >= 0 && column < ColumnCount ? QLatin1String(kIdentifiers[column]) : QString();
}

TrashElemPtr TrashTableModel::elemAt(int row) const
{
    return _store.objectAtIndex(row);
}

void TrashTableModel::reload()
{
    beginResetModel();
    sortStore();
    endResetModel();
}

int TrashTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : _store.count();
}

int TrashTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TrashTableModel::data(const QModelIndex& index, int role) const
{
    const TrashElemPtr elem = elemAt(index.row());
    if (!elem)
        return {};
    switch (index.column()) {
    case Title:
        if (role == Qt::DisplayRole)
            return elem->getTitleForList();
        if (role == Qt::DecorationRole)
            return elem->getItemIcon();
        break;
    case Type:
        if (role == Qt::DecorationRole)
            return typeImage(elem->isConflict());
        if (role == Qt::ToolTipRole || role == Qt::AccessibleTextRole)
            return elem->isConflict() ? tr("Lost a conflict") : tr("Deleted");
        break;
    case Date:
        if (role == Qt::DisplayRole)
            return elem->formattedDate();
        break;
    case Phone:
        if (role == Qt::DisplayRole)
            return elem->deviceName();
        if (role == Qt::DecorationRole)
            return elem->getPhoneIcon().scaled(kIconSide, kIconSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        break;
    default:
        break;
    }
    return {};
}

QVariant TrashTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case Title:
        return tr("Item");
    case Type:
        return tr("Type");
    case Date:
        return tr("Trashed");
    case Phone:
        return tr("Phone");
    default:
        return {};
    }
}

Qt::ItemFlags TrashTableModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
}

void TrashTableModel::sort(int column, Qt::SortOrder order)
{
    _sortColumn = column;
    _sortOrder = order;
    reload();
}

void TrashTableModel::sortStore()
{
    if (_sortColumn < 0 || _sortColumn >= ColumnCount)
        return;
    // Each entry's key once: titles of ten thousand contacts are not cheap.
    const QString key = columnIdentifier(_sortColumn);
    std::vector<std::pair<QVariant, TrashElemPtr>> keyed;
    keyed.reserve(_store.elems().size());
    for (const TrashElemPtr& elem : _store.elems())
        keyed.emplace_back(elem->valueForKey(key), elem);
    const bool descending = _sortOrder == Qt::DescendingOrder;
    std::stable_sort(keyed.begin(), keyed.end(), [descending](const auto& a, const auto& b) {
        const QPartialOrdering order = QVariant::compare(a.first, b.first);
        if (a.first.typeId() == QMetaType::QString && b.first.typeId() == QMetaType::QString) {
            const int c = a.first.toString().localeAwareCompare(b.first.toString());
            return descending ? c > 0 : c < 0;
        }
        return descending ? order == QPartialOrdering::Greater : order == QPartialOrdering::Less;
    });
    QList<TrashElemPtr> sorted;
    sorted.reserve(qsizetype(keyed.size()));
    for (auto& [value, elem] : keyed)
        sorted.append(std::move(elem));
    std::unordered_map<const TrashElem*, int> position;
    for (int i = 0; i < sorted.size(); ++i)
        position[sorted.at(i).get()] = i;
    _store.sortList(
        [&position](const TrashElemPtr& a, const TrashElemPtr& b) { return position[a.get()] < position[b.get()]; });
}

QStringList TrashTableModel::mimeTypes() const
{
    return {QStringLiteral("text/uri-list"), QLatin1String(trashkeys::kOrganizerPboardType),
            QStringLiteral("text/plain")};
}

QMimeData* TrashTableModel::mimeData(const QModelIndexList& indexes) const
{
    QList<int> rows;
    for (const QModelIndex& index : indexes) {
        if (!rows.contains(index.row()))
            rows.append(index.row());
    }
    std::sort(rows.begin(), rows.end());
    QList<TrashElemPtr> elems;
    for (int row : rows) {
        if (TrashElemPtr elem = elemAt(row))
            elems.append(elem);
    }
    const QString path = trashdrag::writeFile(elems, trashdrag::dragFolder());
    if (path.isEmpty())
        return nullptr;
    auto* data = new QMimeData;
    data->setUrls({QUrl::fromLocalFile(path)});
    data->setData(QLatin1String(trashkeys::kOrganizerPboardType), QByteArray(trashkeys::kContactsPboardText));
    data->setText(QLatin1String(trashkeys::kContactsPboardText));
    return data;
}
