#pragma once

#include "devicewindow/ToolView.h"
#include "organizer/tables/QVElemTableView.h"
#include "organizer/tables/QVElemTableViewController.h"
#include "organizer/tables/TableDataSource.h"
#include "widgets/SlaveDrawTrackingInfo.h"

#include <QColor>
#include <QLineEdit>
#include <QList>
#include <QPointer>
#include <QStringList>

#include <optional>
#include <vector>

class OrganizerViewProtocol;
class QLineEdit;
class QVSyncElemList;

namespace platform {
struct Notification;
}

// The base of every organizer pane: binds the pane to one organizer property
// of one phone and shows that property's item list in its item table. It
// sorts, searches and selects, deletes with undo, marks changed and deleted
// rows, keeps the sort column in the user defaults, writes the item-count
// footer with the capacity warning and draws the pane's marks into its row of
// the organizer's tool switch. Edits never reach the phone directly: they
// change the item list, whose marks the next update job carries over.
//
// A subclass sets its property (setSyncProperty) and its item table and
// search field before awakeFromNib (a missing item table is made then), then
// fills the columns through objectValueForTableColumn.
class OrganizerTableView : public ToolView,
                           public QVElemTableViewController,
                           public TableDataSource,
                           public SlaveDrawTrackingInfo {
    Q_OBJECT

public:
    using Elem = std::shared_ptr<QVSyncElem>;

    // A capacity of 63999 means the phone names no limit.
    static constexpr int kUnknownCapacity = 63999;
    static constexpr double kOptimizeHeadersDelay = 0.23;
    static constexpr quint32 kSortCodeDefault = 0x64666C74;   // 'dflt'
    // Row colours: 0.871 is 222/255.
    static constexpr int kMarkTone = 222;
    // The hot rectangle of the tool-switch row.
    static constexpr int kSlaveSize = 18;
    static constexpr int kSlaveBottom = 20;

    static inline const QString kDefaultColumnSuffix = QStringLiteral("-DefaultColumn");
    static inline const QString kDefaultSortDescendingSuffix = QStringLiteral("-DefaultSortDescending");
    static inline const QString kSyncElemListActive = QStringLiteral("DZ-SyncElemListActive");
    static inline const QString kOrganizerDataUpdate = QStringLiteral("DZOrganizerDataUpdateNotification");
    static inline const QString kOrganizerDataUpdatePropertyKey =
        QStringLiteral("DZOrganizerDataUpdateNotificationPropertyKey");
    static inline const QString kActivatedOrganizerView = QStringLiteral("ActivatedOrganizerView");

    explicit OrganizerTableView(QWidget* parent = nullptr);
    ~OrganizerTableView() override;

    // Parts (set before awakeFromNib).
    QVElemTableView* itemsView() const { return itemsView_; }
    void setItemsView(QVElemTableView* table);
    QLineEdit* searchField() const { return searchField_; }
    void setSearchField(QLineEdit* field);
    OrganizerViewProtocol* organizerView() const { return organizerView_; }
    // The list of the pane's property the phone's archive holds now (the one
    // set by hand for a pane without phone).
    QVSyncElemList* syncElemsList() const;
    // The class name the user-default keys are made from (the pane's own).
    QString defaultsName() const;

    // Life.
    virtual void awakeFromNib();
    using ToolView::setup;
    virtual void setup(DeviceWindowController* controller, MFDevice* device, OrganizerViewProtocol* organizer);
    void activate() override;
    void deactivate() override;
    void notifyAboutActivation();
    virtual void organizerSyncDone(const platform::Notification& notification);
    // The pane's window closes: the sort column and direction are stored.
    virtual void windowWillClose(QWidget* window);
    // "DZ-SyncElemListActive": keeps the selection across a merge.
    void selectionManager(const platform::Notification& notification);

    int syncProperty() const { return property_; }
    bool isHistoryDevice() const { return isHistory(); }
    bool sortDescending() const { return sortDescending_; }
    // The identifier of the sort column; empty when none.
    QString lastColumn() const { return lastColumn_; }
    int maxDeviceItems() const { return maxDeviceItems_; }
    bool hasWarnedTooManyItems() const { return hasWarnedTooManyItems_; }
    int pasteboardChangeCount() const { return pasteboardChangeCount_; }
    void setPasteboardChangeCount(int count) { pasteboardChangeCount_ = count; }

    // Content.
    void updateContent() override;
    virtual void updateHeaderAndContent();
    // Footer: the localized format (one number) with the item count, the
    // capacity appended when known; the capacity warning once per overflow.
    void updateBottomLineWithTextItem(const QString& key);
    virtual void updateBottomLine() { }
    virtual void reloadData();
    void sortAndUpdate();
    // The list again from the phone's organizer archive; a list other than
    // the last one fetched drops the undo steps.
    QVSyncElemList* fetchSyncElemsList();
    // The item table's undo steps go: a merge or an update changed the list
    // underneath them.
    void clearUndoSteps();

    // Hooks of the subclasses.
    virtual void selectionQVElemTableChanged() { }
    virtual void showContact(int row) { (void)row; }
    virtual void UpdateUIItems(bool enabled) { (void)enabled; }
    virtual bool hasValidContent(const QStringList& fileNames) { return (void)fileNames, false; }
    virtual quint32 sortCodeForColumnSelector(const QString& identifier);
    // The data of a drag of the item table's rows; null: no drag.
    virtual QMimeData* mimeDataForDraggedRows(const QList<int>& rows) { return (void)rows, nullptr; }
    // The window controller's alert (informational kind 1).
    virtual void displayErrorText(int kind, const QString& title, const QString& text);

    // State info of the device window: the selected item's record id.
    QString stateInfo() const override;
    void processStateInfo(const QString& rest) override;

    // Selection.
    QString singleSelectedItemURI() const;
    void selectFromURI(const QString& uri);
    int theSelectedItem() const;
    bool hasSelection() const;
    // Highest selected row first; empty without selection.
    QStringList getSelectionURIsArray() const;
    void setSelectionURIsArray(const QStringList& uris);
    void selectItem(const Elem& elem);
    std::vector<Elem> getSelectionElemsArray() const;
    void setSelectionElemsArray(const std::vector<Elem>& elems);
    void backupSelection();
    void restoreSelection();
    void changedSelectionQVElemTableView(DataTableView& table);

    // Delete.
    void deleteKeyPressed(QVElemTableView& table) override;
    void performDelete() override;
    void performDeleteFromIndexSet(const QList<int>& rows);
    void deleteItemsFromIndexSet(const QList<int>& rows) override;
    void dragFinished() override { indexSetForDrag_.clear(); }
    // The rows the dragged items have now.
    QList<int> indexSetForDrag() const override;

    // Search.
    void removeSearchData();
    void searchContentChanged();

    // Undo snapshots and field edits.
    void withUndoSetElemData(const QVariant& elem, const QVariant& data, int property);
    QVElemTableState getCurrentStateWithDeleteArray(const std::vector<Elem>& selection) const;
    QVElemTableState getCurrentStateWithIndexSet(const QList<int>& rows) const;
    QVElemTableState getCurrentState() override;
    void setStateFromDictionary(const QVElemTableState& state) override;
    void setSelectionFromStateDictionary(const QVElemTableState& state);
    QVariant getCurrentElemData(const QVariant& elem, const QVariant& data, int property) override;
    void setElemData(const QVariant& elem, const QVariant& data, int property) override;
    void trickleRequired() override;

    // Edit hooks of the item table.
    void pasteItems(const QVariantList& items, const QString& type, int level) override;
    void copyItems(QVElemTableView& table) override { (void)table; }

    // Item state texts and row colours.
    QString getOnPhoneTypeStr(const Elem& elem) const;
    std::optional<QColor> getOnPhoneTypeBackColor(const Elem& elem) const;

    // Table data source.
    int numberOfRowsInTableView(DataTableView& table) override;
    QVariant objectValueForTableColumn(DataTableView& table, const QString& column, int row) override;
    // The item table's rows get the item's colour unless selected.
    QVariant willDisplayCell(DataTableView& table, const QString& column, int row, int role) override;
    void didClickTableColumn(DataTableView& table, const QString& column) override;
    void selectionDidChange(DataTableView& table) override { changedSelectionQVElemTableView(table); }
    QMimeData* writeRowsWithIndexes(DataTableView& table, const QList<int>& rows) override;

    // Tool-switch marks.
    void drawSlaveWithFrame(QPainter& painter, const QRect& frame, QWidget* view, const QVariant& context) override;
    bool doSlaveTrackingslaveContext(const QVariant& context) override;
    QRect getSlaveWithFrame(const QRect& rowFrame, SelectToolViewList& list, const QVariant& context) override;
    void enterSlaveTracking(const QRect& rowFrame, SelectToolViewList& list, const QVariant& context) override;
    void leaveSlaveTracking(SelectToolViewList& list, const QVariant& context) override;
    // The data manager's status of the property (0 without one).
    int organizerStatus() const;

protected:
    void setSyncProperty(int property) { property_ = property; }
    void setSyncElemsList(QVSyncElemList* list) { syncElemsList_ = list; }
    void setOrganizerView(OrganizerViewProtocol* organizer) { organizerView_ = organizer; }
    void setMaxDeviceItems(int max) { maxDeviceItems_ = max; }
    void setSortDescending(bool descending) { sortDescending_ = descending; }
    void setLastColumn(const QString& identifier) { lastColumn_ = identifier; }
    // The item shown in a row of the item table (the search view's), null
    // when none.
    Elem elemAtRow(int row) const;
    // Step 3 of a header click: the search again, the saved selection, the
    // sort indicator and the table's reload.
    void finishColumnClick(const std::vector<Elem>& savedSelection);
    // A delete the sync direction refuses: the desktop sync keeps the list
    // and the phone takes no changes from it for the property.
    bool deleteRefusedBySyncDirection() const;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void watchWindow();

private:
    void applySortIndicator();

    QPointer<QVElemTableView> itemsView_;
    QPointer<QLineEdit> searchField_;
    QVSyncElemList* syncElemsList_ = nullptr;
    // The list last fetched; only compared, never used.
    const QVSyncElemList* seenList_ = nullptr;
    QString lastColumn_;
    bool sortDescending_ = true;
    OrganizerViewProtocol* organizerView_ = nullptr;
    int property_ = 0;
    int pasteboardChangeCount_ = 0;
    std::vector<Elem> backupSelection_;
    bool hasBackupSelection_ = false;
    std::vector<Elem> indexSetForDrag_;
    int maxDeviceItems_ = kUnknownCapacity;
    bool hasWarnedTooManyItems_ = false;
    bool awoken_ = false;
    QPointer<QWidget> watchedWindow_;
    QString className_;
    platform::Timer optimizeTimer_;
};
