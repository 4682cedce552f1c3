#include "organizer/tables/OrganizerTableView.h"

#include "organizer/tables/OrganizerViewProtocol.h"

#include "foundation/NamedLog.h"
#include "phone/DZDataManager.h"
#include "phone/MFDevice.h"
#include "phone/OrganizerArchive.h"
#include "platform/Localization.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "platform/gui/Animation.h"
#include "syncmodel/QVSyncElemList.h"
#include "widgets/ScaledImageButtonValidation.h"
#include "widgets/SelectToolViewList.h"

#include <QBrush>
#include <QEvent>
#include <QLineEdit>
#include <QRegularExpression>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QString kElemMarkerDelete = QStringLiteral("ElemMarker_Delete");
const QString kElemMarkerChanged = QStringLiteral("ElemMarker_Changed");
const QString kElemMarkerOnDevice = QStringLiteral("ElemMarker_OnDevice");
const QString kMaxIsKey = QStringLiteral("max_is");
const QString kCapacityProblemKey = QStringLiteral("Capacity problem");
const QString kTooManyItemsKey = QStringLiteral("tooManyItems");
const QString kUndoDeleteKey = QStringLiteral("undoDelete");
const QString kShouldUpdateInfoKey = QStringLiteral("ShouldUpdateInfo");
const QString kActiveKey = QStringLiteral("Active");
const QString kPropertyKey = QStringLiteral("Property");

// The calendar's tasks and events lists report 6 (and 5); the panes know the
// calendar as 1.
int paneProperty(int property)
{
    return property == 6 || property == 5 ? 1 : property;
}

QColor markColor(int red, int green, int blue)
{
    return QColor(red, green, blue);
}

// A localized format with its numbers: "%d", "%ld", "%i" and "%@" in turn,
// or Qt's "%1" forms when it has none of those.
QString organizerFormatNumbers(const QString& format, const QList<qint64>& numbers)
{
    static const QRegularExpression placeholder(QStringLiteral("%(?:l?d|i|@)"));
    QString text;
    qsizetype from = 0;
    qsizetype used = 0;
    for (auto match = placeholder.globalMatch(format); match.hasNext();) {
        const QRegularExpressionMatch found = match.next();
        text += format.mid(from, found.capturedStart() - from);
        text += used < numbers.size() ? QString::number(numbers.at(used)) : found.captured();
        ++used;
        from = found.capturedEnd();
    }
    if (used == 0) {
        QString arged = format;
        for (qint64 number : numbers)
            arged = arged.contains(QLatin1Char('%')) ? arged.arg(number) : arged;
        return arged;
    }
    return text + format.mid(from);
}

} // namespace

OrganizerTableView::OrganizerTableView(QWidget* parent)
    : ToolView(parent)
    , optimizeTimer_([this] {
        if (itemsView_)
            itemsView_->optimizeHeaders();
    })
{
}

OrganizerTableView::~OrganizerTableView()
{
    platform::NotificationCenter::defaultCenter().removeObserver(this);
    if (awoken_)
        QVLOG(qvlog::kConn, QStringLiteral("[%1 dealloc] removed observers").arg(className_));
    if (watchedWindow_)
        watchedWindow_->removeEventFilter(this);
    if (itemsView_) {
        itemsView_->setController(nullptr);
        itemsView_->setDataSource(nullptr);
    }
}

void OrganizerTableView::setItemsView(QVElemTableView* table)
{
    if (itemsView_ && itemsView_ != table) {
        itemsView_->setController(nullptr);
        itemsView_->setDataSource(nullptr);
    }
    itemsView_ = table;
    if (table) {
        table->setController(this);
        table->setDataSource(this);
    }
}

void OrganizerTableView::setSearchField(QLineEdit* field)
{
    if (searchField_)
        disconnect(searchField_, nullptr, this, nullptr);
    searchField_ = field;
    if (field)
        connect(field, &QLineEdit::textChanged, this, [this] { searchContentChanged(); });
}

QString OrganizerTableView::defaultsName() const
{
    return QString::fromLatin1(metaObject()->className());
}

void OrganizerTableView::awakeFromNib()
{
    if (!itemsView_) {
        auto* table = new QVElemTableView(this);
        if (!layout()) {
            auto* box = new QVBoxLayout(this);
            box->setContentsMargins(0, 0, 0, 0);
        }
        layout()->addWidget(table);
        setItemsView(table);
    }
    className_ = defaultsName();
    syncElemsList_ = nullptr;
    backupSelection_.clear();
    hasBackupSelection_ = false;
    indexSetForDrag_.clear();
    pasteboardChangeCount_ = 0;
    sortDescending_ = true;

    itemsView_->setAutosaveName(className_);
    itemsView_->setAutosaveTableColumns(true);
    optimizeTimer_.start(kOptimizeHeadersDelay);

    auto& defaults = platform::UserDefaults::standard();
    const QString column = defaults.string(className_ + kDefaultColumnSuffix);
    lastColumn_ = !column.isEmpty() && itemsView_->columnWithIdentifier(column) >= 0 ? column : QString();
    sortDescending_ = defaults.boolValue(className_ + kDefaultSortDescendingSuffix);

    // The merge notification comes from whichever list the archive holds at
    // the time, so it is observed from any sender and sorted out on arrival.
    auto& center = platform::NotificationCenter::defaultCenter();
    center.removeObserver(this);
    center.addObserver(this, kSyncElemListActive, nullptr,
                       [this](const platform::Notification& notification) { selectionManager(notification); });
    center.addObserver(this, kOrganizerDataUpdate, nullptr,
                       [this](const platform::Notification& notification) { organizerSyncDone(notification); });
    watchWindow();
    awoken_ = true;
    QVLOG(qvlog::kConn, QStringLiteral("[%1 awakeFromNib] adding observers").arg(className_));
}

void OrganizerTableView::watchWindow()
{
    QWidget* current = window();
    if (current == watchedWindow_)
        return;
    if (watchedWindow_)
        watchedWindow_->removeEventFilter(this);
    watchedWindow_ = current;
    if (current)
        current->installEventFilter(this);
}

bool OrganizerTableView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == watchedWindow_ && event->type() == QEvent::Close)
        windowWillClose(watchedWindow_);
    return ToolView::eventFilter(watched, event);
}

void OrganizerTableView::organizerSyncDone(const platform::Notification& notification)
{
    const QVariant property = notification.userInfo.value(kOrganizerDataUpdatePropertyKey);
    if (property.isValid() && property.toInt() == property_) {
        clearUndoSteps();
        fetchSyncElemsList();
        if (organizerView_)
            organizerView_->reloadData();
        reloadData();
    }
    ValidateScaledImageButtons(this);
}

void OrganizerTableView::windowWillClose(QWidget* closing)
{
    if (closing != window() || lastColumn_.isEmpty())
        return;
    auto& defaults = platform::UserDefaults::standard();
    const QString name = className_.isEmpty() ? defaultsName() : className_;
    defaults.setObject(name + kDefaultColumnSuffix, lastColumn_);
    defaults.setObject(name + kDefaultSortDescendingSuffix, sortDescending_);
}

void OrganizerTableView::changedSelectionQVElemTableView(DataTableView& table)
{
    if (&table == itemsView_.data())
        selectionQVElemTableChanged();
}

void OrganizerTableView::selectionManager(const platform::Notification& notification)
{
    // Only the lists of this pane's phone count, and of them only the one of
    // the pane's property.
    OrganizerArchive* archive = getMFDevice() ? getMFDevice()->archive() : nullptr;
    bool ours = notification.sender && notification.sender == static_cast<const void*>(syncElemsList());
    for (int type = 0; archive && !ours && type < OrganizerArchive::kTypes; ++type)
        ours = notification.sender == static_cast<const void*>(archive->storage(type));
    if (!ours)
        return;
    const QVariantMap& info = notification.userInfo;
    if (info.contains(kPropertyKey) && paneProperty(info.value(kPropertyKey).toInt()) != property_)
        return;
    if (info.isEmpty() || info.value(kActiveKey).toInt() == 0) {
        restoreSelection();
    } else {
        // The merge adds and removes items: an undo step taken before it
        // would take those changes back behind the phone's and desktop's back.
        clearUndoSteps();
        backupSelection();
    }
}

void OrganizerTableView::setup(DeviceWindowController* controller, MFDevice* device,
                               OrganizerViewProtocol* organizer)
{
    ToolView::setup(controller, device);
    setMFDevice(device);
    organizerView_ = organizer;
    fetchSyncElemsList();
    watchWindow();
}

QVSyncElemList* OrganizerTableView::syncElemsList() const
{
    // The archive replaces and frees its lists (a new read, a closed
    // session), so a pane on a phone asks it each time.
    if (MFDevice* device = getMFDevice()) {
        OrganizerArchive* archive = device->archive();
        return archive ? archive->storage(property_) : nullptr;
    }
    return syncElemsList_;
}

QVSyncElemList* OrganizerTableView::fetchSyncElemsList()
{
    QVSyncElemList* list = syncElemsList();
    if (list != seenList_) {
        // Undo steps hold the old list's items: none of them fits the new one.
        seenList_ = list;
        clearUndoSteps();
    }
    return list;
}

void OrganizerTableView::clearUndoSteps()
{
    if (itemsView_)
        itemsView_->undoManager()->clear();
}

void OrganizerTableView::updateContent()
{
    fetchSyncElemsList();
    if (syncElemsList() && !lastColumn_.isEmpty())
        syncElemsList()->sortBy(sortCodeForColumnSelector(lastColumn_), sortDescending_);
    reloadData();
}

void OrganizerTableView::updateHeaderAndContent()
{
    updateContent();
    applySortIndicator();
}

void OrganizerTableView::applySortIndicator()
{
    if (!itemsView_)
        return;
    const int column = itemsView_->columnWithIdentifier(lastColumn_);
    itemsView_->setHighlightedTableColumn(column);
    if (column >= 0)
        itemsView_->setIndicatorImage(column, sortDescending_);
    else
        itemsView_->clearIndicatorImage();
}

void OrganizerTableView::updateBottomLineWithTextItem(const QString& key)
{
    const int count = syncElemsList() ? syncElemsList()->count() : 0;
    QString text = organizerFormatNumbers(platform::localizedString(key), {count});
    const bool limited = maxDeviceItems_ != kUnknownCapacity;
    if (limited)
        text += organizerFormatNumbers(platform::localizedString(kMaxIsKey), {maxDeviceItems_});
    if (organizerView_)
        organizerView_->setFooterText(text);

    if (!limited)
        return;
    if (!hasWarnedTooManyItems_ && count > maxDeviceItems_) {
        hasWarnedTooManyItems_ = true;
        displayErrorText(1, platform::localizedString(kCapacityProblemKey),
                         organizerFormatNumbers(platform::localizedString(kTooManyItemsKey),
                                                {count, maxDeviceItems_}));
    } else if (hasWarnedTooManyItems_ && count <= maxDeviceItems_) {
        hasWarnedTooManyItems_ = false;
    }
}

void OrganizerTableView::displayErrorText(int kind, const QString& title, const QString& text)
{
    if (DeviceWindowController* controller = windowController())
        controller->displayErrorText(kind, title, text);
}

void OrganizerTableView::activate()
{
    if (itemsView_)
        itemsView_->setFocus(Qt::OtherFocusReason);
    show();
    watchWindow();
    fetchSyncElemsList();
    reloadData();
    notifyAboutActivation();
}

void OrganizerTableView::notifyAboutActivation()
{
    platform::NotificationCenter::defaultCenter().post(kActivatedOrganizerView, this,
                                                       {{kPropertyKey, property_}});
}

void OrganizerTableView::deactivate()
{
    hide();
}

void OrganizerTableView::reloadData()
{
    if (syncElemsList())
        syncElemsList()->recalcUsableItems();
}

void OrganizerTableView::sortAndUpdate()
{
    if (syncElemsList())
        syncElemsList()->sort();
    reloadData();
}

void OrganizerTableView::pasteItems(const QVariantList& items, const QString& type, int level)
{
    (void)items, (void)type, (void)level;
}

QString OrganizerTableView::stateInfo() const
{
    const QString uri = singleSelectedItemURI();
    return uri.isNull() ? QStringLiteral("") : uri;
}

void OrganizerTableView::processStateInfo(const QString& rest)
{
    const QString uri = rest.section(QLatin1Char('\t'), 0, 0);
    if (!uri.isEmpty())
        selectFromURI(uri);
}

OrganizerTableView::Elem OrganizerTableView::elemAtRow(int row) const
{
    return syncElemsList() ? syncElemsList()->objectAtIndex_cs(row) : nullptr;
}

QString OrganizerTableView::singleSelectedItemURI() const
{
    const Elem elem = elemAtRow(theSelectedItem());
    return elem ? elem->sourceURI() : QString();
}

void OrganizerTableView::selectFromURI(const QString& uri)
{
    if (!syncElemsList() || !itemsView_)
        return;
    const int row = syncElemsList()->indexOfObjectWithURI_cs(uri);
    if (row >= 0)
        itemsView_->selectRowIndexes({row}, false);
}

int OrganizerTableView::theSelectedItem() const
{
    if (!itemsView_)
        return -1;
    const QList<int> rows = itemsView_->selectedRowIndexes();
    return rows.size() == 1 ? rows.first() : -1;
}

bool OrganizerTableView::hasSelection() const
{
    return itemsView_ && itemsView_->numberOfSelectedRows() > 0;
}

QStringList OrganizerTableView::getSelectionURIsArray() const
{
    QStringList uris;
    if (!itemsView_)
        return uris;
    const QList<int> rows = itemsView_->selectedRowIndexes();
    for (auto row = rows.crbegin(); row != rows.crend(); ++row) {
        if (const Elem elem = elemAtRow(*row))
            uris.append(elem->sourceURI());
    }
    return uris;
}

void OrganizerTableView::setSelectionURIsArray(const QStringList& uris)
{
    if (!itemsView_)
        return;
    itemsView_->deselectAllRows();
    if (!syncElemsList())
        return;
    QList<int> rows;
    for (const QString& uri : uris) {
        const Elem elem = syncElemsList()->objectForURI(uri);
        const int row = elem ? syncElemsList()->indexOfObject_cs(elem) : -1;
        if (row >= 0)
            rows.append(row);
    }
    if (rows.isEmpty())
        return;
    itemsView_->selectRowIndexes(rows, true);
    showContact(rows.first());
}

void OrganizerTableView::selectItem(const Elem& elem)
{
    if (!syncElemsList() || !itemsView_ || !elem)
        return;
    const int row = syncElemsList()->indexOfObject_cs(elem);
    if (row >= 0)
        itemsView_->selectRowIndexes({row}, true);
}

std::vector<OrganizerTableView::Elem> OrganizerTableView::getSelectionElemsArray() const
{
    std::vector<Elem> elems;
    if (!itemsView_)
        return elems;
    const QList<int> rows = itemsView_->selectedRowIndexes();
    for (auto row = rows.crbegin(); row != rows.crend(); ++row) {
        if (const Elem elem = elemAtRow(*row))
            elems.push_back(elem);
    }
    return elems;
}

void OrganizerTableView::setSelectionElemsArray(const std::vector<Elem>& elems)
{
    if (!itemsView_)
        return;
    itemsView_->deselectAllRows();
    if (!syncElemsList())
        return;
    QList<int> rows;
    for (const Elem& elem : elems) {
        const int row = elem ? syncElemsList()->indexOfObject_cs(elem) : -1;
        if (row >= 0)
            rows.append(row);
    }
    itemsView_->selectRowIndexes(rows, true);
}

void OrganizerTableView::backupSelection()
{
    backupSelection_ = getSelectionElemsArray();
    hasBackupSelection_ = true;
}

void OrganizerTableView::restoreSelection()
{
    if (hasBackupSelection_)
        setSelectionElemsArray(backupSelection_);
}

quint32 OrganizerTableView::sortCodeForColumnSelector(const QString& identifier)
{
    (void)identifier;
    return kSortCodeDefault;
}

bool OrganizerTableView::deleteRefusedBySyncDirection() const
{
    MFDevice* device = getMFDevice();
    return syncElemsList() && syncElemsList()->isSyncEngineList() && device
        && !device->wantsSyncChangesFromEngine(property_);
}

void OrganizerTableView::deleteKeyPressed(QVElemTableView& table)
{
    (void)table;
    if (isHistoryDevice() || !itemsView_) {
        platform::gui::beep();
        return;
    }
    // A delete that deletes nothing leaves no undo step.
    if (hasSelection() && !deleteRefusedBySyncDirection())
        itemsView_->registerUndoState(getCurrentState(), platform::localizedString(kUndoDeleteKey));
    performDelete();
    if (syncElemsList())
        syncElemsList()->trickleIfNeeded();
}

void OrganizerTableView::performDelete()
{
    if (isHistoryDevice() || deleteRefusedBySyncDirection()) {
        platform::gui::beep();
        return;
    }
    if (itemsView_)
        performDeleteFromIndexSet(itemsView_->selectedRowIndexes());
}

void OrganizerTableView::performDeleteFromIndexSet(const QList<int>& rows)
{
    if (!syncElemsList())
        return;
    const std::vector<Elem> selection = getSelectionElemsArray();
    // Highest row first, so the rows still to come keep their items.
    QList<int> ordered = rows;
    std::sort(ordered.begin(), ordered.end(), std::greater<int>());
    ordered.erase(std::unique(ordered.begin(), ordered.end()), ordered.end());
    for (int row : ordered) {
        if (const Elem elem = syncElemsList()->objectAtIndex_cs(row))
            syncElemsList()->deleteItemByUser(elem);
    }
    reloadData();
    setSelectionElemsArray(selection);
}

void OrganizerTableView::deleteItemsFromIndexSet(const QList<int>& rows)
{
    // The rows a drag took to the trash; the drag's rows go either way.
    if (isHistoryDevice() || deleteRefusedBySyncDirection()) {
        platform::gui::beep();
    } else if (itemsView_ && syncElemsList()) {
        itemsView_->registerUndoState(getCurrentStateWithIndexSet(rows), platform::localizedString(kUndoDeleteKey));
        performDeleteFromIndexSet(rows);
        syncElemsList()->trickleIfNeeded();
    }
    indexSetForDrag_.clear();
}

void OrganizerTableView::removeSearchData()
{
    if (!searchField_)
        return;
    const QSignalBlocker quiet(searchField_);
    searchField_->clear();
    if (syncElemsList())
        syncElemsList()->constrainToSearchString(QString());
}

void OrganizerTableView::searchContentChanged()
{
    if (!searchField_ || !syncElemsList())
        return;
    if (syncElemsList()->constrainToSearchString(searchField_->text()))
        reloadData();
}

void OrganizerTableView::withUndoSetElemData(const QVariant& elem, const QVariant& data, int property)
{
    const QVariant current = getCurrentElemData(elem, data, property);
    if (itemsView_)
        itemsView_->registerUndoElemData(elem, current, property);
    setElemData(elem, data, property);
    updateContent();
    if (syncElemsList())
        syncElemsList()->trickleIfNeeded();
}

QVElemTableState OrganizerTableView::getCurrentStateWithDeleteArray(const std::vector<Elem>& selection) const
{
    QVElemTableState state;
    if (syncElemsList()) {
        state.list = syncElemsList()->getCurrentState();
        state.hasList = true;
        state.listObject = syncElemsList();
    }
    state.selection = selection;
    for (const Elem& elem : selection) {
        if (elem && !elem->isDeleted())
            state.deleteFlags.push_back(elem);
    }
    return state;
}

QVElemTableState OrganizerTableView::getCurrentStateWithIndexSet(const QList<int>& rows) const
{
    QList<int> ordered = rows;
    std::sort(ordered.begin(), ordered.end(), std::greater<int>());
    std::vector<Elem> selection;
    for (int row : ordered) {
        if (const Elem elem = elemAtRow(row))
            selection.push_back(elem);
    }
    return getCurrentStateWithDeleteArray(selection);
}

QVElemTableState OrganizerTableView::getCurrentState()
{
    return getCurrentStateWithDeleteArray(getSelectionElemsArray());
}

void OrganizerTableView::setStateFromDictionary(const QVElemTableState& state)
{
    // A snapshot of a list the archive has replaced since is not applied to
    // the new one.
    QVSyncElemList* list = syncElemsList();
    if (list && state.hasList && state.listObject == list) {
        // Items live before the snapshot is applied and deleted or gone after
        // it (a redone delete, an undone paste) are deleted on the desktop too.
        std::vector<Elem> live;
        for (int index = 0; index < list->count(); ++index) {
            const Elem elem = list->objectAtIndex(index);
            if (elem && !elem->isDeleted())
                live.push_back(elem);
        }
        list->setStateFromDictionary(state.list);
        for (const Elem& elem : live) {
            if (elem->isDeleted() || list->indexOfObject(elem) < 0)
                list->tellSyncEngineAboutDeletion(elem, false);
        }
        reloadData();
        searchContentChanged();
        for (const Elem& elem : state.deleteFlags) {
            if (elem && elem->isDeleted()) {
                elem->setUndeleted();
                syncElemsList()->tellSyncEngineAboutNewElem(elem, false);
            }
        }
    }
    setSelectionFromStateDictionary(state);
}

void OrganizerTableView::setSelectionFromStateDictionary(const QVElemTableState& state)
{
    setSelectionElemsArray(state.selection);
}

QVariant OrganizerTableView::getCurrentElemData(const QVariant& elem, const QVariant& data, int property)
{
    return syncElemsList() ? QVariant(syncElemsList()->getCurrentElemData(elem, data, property)) : QVariant();
}

void OrganizerTableView::setElemData(const QVariant& elem, const QVariant& data, int property)
{
    if (syncElemsList())
        syncElemsList()->setElemData(elem, data, property);
}

void OrganizerTableView::trickleRequired()
{
    if (syncElemsList())
        syncElemsList()->trickleIfNeeded();
}

QString OrganizerTableView::getOnPhoneTypeStr(const Elem& elem) const
{
    if (!elem)
        return {};
    if (elem->isDeleted())
        return platform::localizedString(kElemMarkerDelete);
    if (syncElemsList() && syncElemsList()->isSyncEngineList() && syncElemsList()->isElemOutDated(elem))
        return QStringLiteral("");
    if (elem->isChanged() && elem->isOnDevice())
        return platform::localizedString(kElemMarkerChanged);
    if (!elem->isOnDevice())
        return QStringLiteral("");
    return platform::localizedString(kElemMarkerOnDevice);
}

std::optional<QColor> OrganizerTableView::getOnPhoneTypeBackColor(const Elem& elem) const
{
    if (!elem)
        return std::nullopt;
    if (elem->isDeleted())
        return markColor(255, kMarkTone, kMarkTone);
    if (deleteRefusedBySyncDirection())
        return markColor(255, 255, kMarkTone);
    if (syncElemsList() && syncElemsList()->isElemOutDated(elem))
        return markColor(255, 255, kMarkTone);
    if (elem->isChanged() && elem->isOnDevice())
        return markColor(kMarkTone, kMarkTone, 255);
    if (!elem->isOnDevice())
        return markColor(kMarkTone, 255, kMarkTone);
    return std::nullopt;
}

int OrganizerTableView::numberOfRowsInTableView(DataTableView& table)
{
    return &table == itemsView_.data() && syncElemsList() ? syncElemsList()->count_cs() : 0;
}

QVariant OrganizerTableView::objectValueForTableColumn(DataTableView& table, const QString& column, int row)
{
    (void)table, (void)column, (void)row;
    return {};
}

QVariant OrganizerTableView::willDisplayCell(DataTableView& table, const QString& column, int row, int role)
{
    (void)column;
    if (role != Qt::BackgroundRole || &table != itemsView_.data() || table.isRowSelected(row))
        return {};
    const std::optional<QColor> color = getOnPhoneTypeBackColor(elemAtRow(row));
    return color ? QVariant(QBrush(*color)) : QVariant();
}

void OrganizerTableView::didClickTableColumn(DataTableView& table, const QString& column)
{
    if (&table != itemsView_.data())
        return;
    std::vector<Elem> saved;
    if (column != lastColumn_) {
        sortDescending_ = true;
        itemsView_->clearIndicatorImage();
        lastColumn_ = column;
        itemsView_->setHighlightedTableColumn(itemsView_->columnWithIdentifier(column));
        saved = getSelectionElemsArray();
        if (syncElemsList())
            syncElemsList()->sortBy(sortCodeForColumnSelector(column), sortDescending_);
    } else {
        sortDescending_ = !sortDescending_;
        saved = getSelectionElemsArray();
        if (syncElemsList())
            syncElemsList()->reverse();
    }
    finishColumnClick(saved);
}

void OrganizerTableView::finishColumnClick(const std::vector<Elem>& savedSelection)
{
    searchContentChanged();
    setSelectionElemsArray(savedSelection);
    applySortIndicator();
    if (itemsView_)
        itemsView_->reloadData();
}

QMimeData* OrganizerTableView::writeRowsWithIndexes(DataTableView& table, const QList<int>& rows)
{
    if (&table != itemsView_.data())
        return nullptr;
    QMimeData* data = mimeDataForDraggedRows(rows);
    if (data) {
        // The items, not their rows: the list may be merged, searched or
        // sorted while the drag runs.
        indexSetForDrag_.clear();
        for (int row : rows) {
            if (const Elem elem = elemAtRow(row))
                indexSetForDrag_.push_back(elem);
        }
    }
    return data;
}

QList<int> OrganizerTableView::indexSetForDrag() const
{
    QList<int> rows;
    QVSyncElemList* list = syncElemsList();
    for (const Elem& elem : indexSetForDrag_) {
        const int row = list ? list->indexOfObject_cs(elem) : -1;
        if (row >= 0)
            rows.append(row);
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

int OrganizerTableView::organizerStatus() const
{
    auto* manager = dynamic_cast<DZDataManager*>(dataManager());
    return manager ? manager->statusOfOrganizerType(property_) : 0;
}

void OrganizerTableView::drawSlaveWithFrame(QPainter& painter, const QRect& frame, QWidget* view,
                                            const QVariant& context)
{
    (void)view, (void)context;
    switch (organizerStatus()) {
    case 1:
        drawOutOfDateMarkInList(painter, QRectF(frame), frame.height());
        break;
    case 2:
        drawPreviewMarkInList(painter, QRectF(frame), frame.height());
        break;
    default:
        break;
    }
}

bool OrganizerTableView::doSlaveTrackingslaveContext(const QVariant& context)
{
    (void)context;
    return organizerStatus() == 1;
}

QRect OrganizerTableView::getSlaveWithFrame(const QRect& rowFrame, SelectToolViewList& list, const QVariant& context)
{
    (void)list, (void)context;
    return QRect(rowFrame.x() + rowFrame.width() - kSlaveSize, rowFrame.y() + rowFrame.height() - kSlaveBottom,
                 kSlaveSize, kSlaveSize);
}

void OrganizerTableView::enterSlaveTracking(const QRect& rowFrame, SelectToolViewList& list, const QVariant& context)
{
    (void)context;
    if (!organizerView_)
        return;
    const QPoint origin = list.viewport()->mapTo(list.window(), rowFrame.topLeft());
    organizerView_->displayUpdateInfo(QPoint(origin.x() + 4, origin.y() + 36),
                                      platform::localizedString(kShouldUpdateInfoKey));
}

void OrganizerTableView::leaveSlaveTracking(SelectToolViewList& list, const QVariant& context)
{
    (void)list, (void)context;
    if (organizerView_)
        organizerView_->hideUpdateInfo();
}
