#include "devicewindow/MobileFinderView.h"

#include "devicewindow/DeviceWindowController.h"
#include "devicewindow/files/FileDragAndDrop.h"

#include "foundation/QuorNSStringPathExtensions.h"
#include "foundation/SafeFileName.h"
#include "jobs/QVAction.h"
#include "phone/DZDataManager.h"
#include "phone/DZDirectory.h"
#include "phone/DZTreeNames.h"
#include "phone/MFDevice.h"
#include "phone/PhoneFolders.h"
#include "platform/Localization.h"
#include "platform/RunLoop.h"
#include "platform/gui/Images.h"
#include "widgets/BetterSplitView.h"
#include "widgets/ButtonPathPopup.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QDrag>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QSplitter>
#include <QStyle>
#include <QTemporaryDir>
#include <QUrl>
#include <QVBoxLayout>

#include <QTemporaryFile>
#include <QThreadPool>

#include <atomic>
#include <utility>

namespace {

// The tree hands its drags and drops to the view.
class MobileFinderTree : public QTreeWidget {
public:
    explicit MobileFinderTree(MobileFinderView* view) : QTreeWidget(view), view_(view)
    {
        setAcceptDrops(true);
        setDragEnabled(true);
        setDragDropMode(QAbstractItemView::DragDrop);
        setDefaultDropAction(Qt::CopyAction);
    }

protected:
    QStringList mimeTypes() const override
    {
        return {QStringLiteral("text/uri-list"), FileDragAndDrop::kPhonePathsType};
    }
    QMimeData* mimeData(const QList<QTreeWidgetItem*>& items) const override
    {
        Q_UNUSED(items);
        return view_ ? view_->mimeDataForSelection() : nullptr;
    }
    // Only ever a copy: the files a drag hands out are the phone's and its
    // mirror's, which no drop target may move away, and the rows stay.
    void startDrag(Qt::DropActions supportedActions) override
    {
        Q_UNUSED(supportedActions);
        if (!view_ || selectedItems().isEmpty())
            return;
        QPointer<QDrag> drag = new QDrag(this);
        drag->setMimeData(view_->mimeDataForSelection());
        if (QTreeWidgetItem* item = currentItem())
            drag->setPixmap(item->icon(0).pixmap(32, 32));
        drag->exec(Qt::CopyAction, Qt::CopyAction);
        if (drag)
            drag->deleteLater();
    }
    void dragEnterEvent(QDragEnterEvent* event) override
    {
        if (event->source() == this || !view_ || !view_->acceptsDrop(event->mimeData())) {
            event->ignore();
            return;
        }
        event->setDropAction(Qt::CopyAction);
        event->accept();
    }
    void dragMoveEvent(QDragMoveEvent* event) override
    {
        if (event->source() == this || !view_ || !view_->acceptsDrop(event->mimeData())) {
            event->ignore();
            return;
        }
        event->setDropAction(Qt::CopyAction);
        event->accept();
    }
    void dropEvent(QDropEvent* event) override
    {
        if (!view_ || event->source() == this) {
            event->ignore();
            return;
        }
        QString folder = view_->currentFolder();
        if (QTreeWidgetItem* item = itemAt(event->position().toPoint())) {
            const QString path = item->data(0, MobileFinderView::kPathRole).toString();
            if (item->data(0, Qt::UserRole + 3).toBool()) {
                folder = path;
            } else {
                const qsizetype cut = path.lastIndexOf(QLatin1Char('/'));
                folder = cut <= 0 ? QStringLiteral("/") : path.left(cut);
            }
        }
        view_->dropFiles(event->mimeData(), folder);
        event->setDropAction(Qt::CopyAction);
        event->accept();
    }

private:
    QPointer<MobileFinderView> view_;
};

constexpr int kMobileFinderIsFolderRole = Qt::UserRole + 3;

QString mobileFinderParentPath(const QString& path)
{
    const qsizetype cut = path.lastIndexOf(QLatin1Char('/'));
    return cut <= 0 ? QStringLiteral("/") : path.left(cut);
}

// Worker thread: copies a local file (a history snapshot's) into a hidden
// temporary file beside the target and puts it into place only when whole:
// over an existing file only when that was confirmed, else under a free name.
// Gives up as soon as stop is set. No partial file is ever left. Answers the
// path the copy got, empty on failure.
QString mobileFinderCopyWhole(const QString& from, const QString& to, bool replace, const std::atomic<bool>& stop)
{
    constexpr qint64 kSlice = 1 << 20;
    QFile in(from);
    QTemporaryFile out(QFileInfo(to).dir().filePath(QStringLiteral(".marvesto-copy-XXXXXX")));
    if (!in.open(QIODevice::ReadOnly) || !out.open())
        return QString();
    out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                       | QFileDevice::ReadOther);
    while (!in.atEnd()) {
        if (stop.load())
            return QString();
        const QByteArray buffer = in.read(kSlice);
        if (buffer.isEmpty() && in.error() != QFileDevice::NoError)
            return QString();
        if (out.write(buffer) != buffer.size())
            return QString();
    }
    if (in.error() != QFileDevice::NoError || !out.flush() || stop.load())
        return QString();
    const QString placed = FileDragAndDrop::putIntoPlace(out.fileName(), to, replace);
    if (!placed.isEmpty())
        out.setAutoRemove(false); // its name is gone: it is the copy now
    return placed;
}

} // namespace

MobileFinderView::MobileFinderView(QWidget* parent)
    : ToolView(parent)
    , refillTimer_([this] { refillDirtyFolders(); })
    , reloadTimer_([this] { reloadData(true); })
{
    setObjectName(QStringLiteral("MobileFinderView"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* split = new BetterSplitView(this);
    split->setObjectName(QStringLiteral("finderSplit"));
    split->setOrientation(Qt::Vertical);
    split->setChildrenCollapsible(false);
    outer->addWidget(split);

    auto* top = new QWidget(split);
    auto* layout = new QVBoxLayout(top);
    auto* bar = new QHBoxLayout;
    pathPopup_ = new ButtonPathPopup(top);
    pathPopup_->setObjectName(QStringLiteral("finderPath"));
    pathPopup_->setAccessibleName(tr("Folder path"));
    pathPopup_->awakeFromNib();
    bar->addWidget(pathPopup_);
    bar->addStretch(1);
    const auto addButton = [this, top, bar](const char* name, const QString& text, std::function<void()> action) {
        auto* button = new QPushButton(text, top);
        button->setObjectName(QLatin1String(name));
        button->setAccessibleName(text);
        connect(button, &QPushButton::clicked, this, std::move(action));
        bar->addWidget(button);
        buttons_.insert(QLatin1String(name), button);
    };
    addButton("copyToComputer", tr("Copy to Computer"), [this] {
        const QString folder = askers_.chooseComputerFolder ? askers_.chooseComputerFolder()
                                                            : QFileDialog::getExistingDirectory(this, tr("Copy to"));
        if (!folder.isEmpty())
            copySelectionToComputer(folder);
    });
    addButton("addFiles", tr("Add Files"), [this] {
        const QStringList files = askers_.chooseFilesToAdd ? askers_.chooseFilesToAdd()
                                                           : QFileDialog::getOpenFileNames(this, tr("Add Files"));
        if (!files.isEmpty())
            addFiles(files);
    });
    addButton("newFolder", tr("New Folder"), [this] {
        const QString name = askers_.chooseFolderName
                                 ? askers_.chooseFolderName()
                                 : QInputDialog::getText(this, tr("New Folder"), tr("Name of the new folder:"),
                                                         QLineEdit::Normal, tr("untitled folder"));
        if (!name.trimmed().isEmpty())
            newFolder(name.trimmed());
    });
    addButton("delete", tr("Delete"), [this] { deleteSelection(); });
    addButton("reload", tr("Reload"), [this] { reload(); });
    layout->addLayout(bar);

    auto* sides = new QSplitter(Qt::Horizontal, top);
    smartFolders_ = new QListWidget(sides);
    smartFolders_->setObjectName(QStringLiteral("smartFolders"));
    smartFolders_->setAccessibleName(tr("Special folders"));
    smartFolders_->setMaximumWidth(200);
    tree_ = new MobileFinderTree(this);
    sides->addWidget(tree_);
    tree_->setObjectName(QStringLiteral("finderTree"));
    tree_->setAccessibleName(tr("Phone files"));
    tree_->setColumnCount(4);
    tree_->setHeaderLabels({tr("Name"), tr("Size"), tr("Date"), tr("State")});
    tree_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tree_->setUniformRowHeights(true);
    tree_->header()->setSectionResizeMode(kNameColumn, QHeaderView::Stretch);
    tree_->header()->setStretchLastSection(false);
    for (int column : {kSizeColumn, kDateColumn, kStateColumn})
        tree_->header()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    tree_->installEventFilter(this);
    sides->setStretchFactor(0, 0);
    sides->setStretchFactor(1, 1);
    sides->setSizes({150, 500});
    layout->addWidget(sides, 1);
    message_ = new QLabel(top);
    message_->setObjectName(QStringLiteral("finderMessage"));
    message_->setWordWrap(true);
    layout->addWidget(message_);
    split->addWidget(top);
    auto* place = new ActionMasterPlace(split);
    split->addWidget(place);
    split->setDelegate(place);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 0);
    setActionPlace(place);

    connect(tree_, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
        if (!filling_)
            openFolder(item->data(0, kPathRole).toString());
    });
    connect(tree_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        if (item->data(0, kMobileFinderIsFolderRole).toBool())
            openFolder(item->data(0, kPathRole).toString());
    });
    connect(tree_, &QTreeWidget::currentItemChanged, this, [this] { updatePath(); });
    connect(tree_, &QTreeWidget::itemSelectionChanged, this, [this] { updateButtons(); });
    connect(smartFolders_, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        openFolder(item->data(kSmartFolderRole).toString());
    });
    connect(smartFolders_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        openFolder(item->data(kSmartFolderRole).toString());
    });
    if (QMenu* menu = pathPopup_->pathMenu())
        connect(menu, &QMenu::triggered, this, [this](QAction* action) {
            const QString path = pathPopup_->getPathUntil(action);
            if (!path.isEmpty())
                openFolder(path);
        });
    updateButtons();
}

MobileFinderView::~MobileFinderView()
{
    // Copies from an archive still being made give up and leave nothing.
    stopCopies_->store(true);
    stopListening();
}

void MobileFinderView::setup(DeviceWindowController* controller)
{
    setup(controller, getMFDevice());
}

void MobileFinderView::setup(DeviceWindowController* controller, MFDevice* device)
{
    ToolView::setup(controller, device);
    setMFDevice(device);
}

void MobileFinderView::setMFDevice(MFDevice* device)
{
    const bool changed = device != getMFDevice() || manager() != listenedManager_;
    ToolView::setMFDevice(device);
    if (!changed && listenedManager_)
        return;
    stopListening();
    listenToManager();
    listingsAsked_.clear();
    failedListings_.clear();
    updateSmartFolders();
    reloadData(false);
}

DZDataManager* MobileFinderView::manager() const
{
    MFDevice* device = getMFDevice();
    return device ? dynamic_cast<DZDataManager*>(device->dataManager()) : nullptr;
}

void MobileFinderView::listenToManager()
{
    DZDataManager* data = manager();
    if (!data)
        return;
    listenedManager_ = data;
    QPointer<MobileFinderView> self(this);
    data->listenForDirectoryEntryUpdateNotifications(this, [self](const platform::Notification& note) {
        if (!self)
            return;
        const auto entry =
            note.userInfo.value(dztree::kEntryUpdateNotification).value<std::shared_ptr<DZDirectoryEntry>>();
        if (entry)
            self->entryChanged(entry);
    });
}

void MobileFinderView::stopListening()
{
    if (listenedManager_)
        listenedManager_->stopListenForDirectoryEntryUpdateNotifications(this);
    listenedManager_ = nullptr;
}

bool MobileFinderView::canChangePhone() const
{
    // Without a window (the view alone) the phone it was given counts.
    return getMFDevice() && !isHistory() && manager() && (!windowController() || hasDevice());
}

void MobileFinderView::updateSmartFolders()
{
    if (!smartFolders_)
        return;
    smartFolders_->clear();
    MFDevice* device = getMFDevice();
    if (!device)
        return;
    struct Smart {
        const char* key;
        const char* title;
    };
    static const Smart kinds[] = {
        {PhoneFolders::kPicturesFolder, QT_TR_NOOP("Pictures")},
        {PhoneFolders::kCameraPhotos, QT_TR_NOOP("Camera")},
        {PhoneFolders::kSoundsFolder, QT_TR_NOOP("Sounds")},
        {PhoneFolders::kVideosFolder, QT_TR_NOOP("Videos")},
        {PhoneFolders::kRingtonesFolder, QT_TR_NOOP("Ringtones")},
        {PhoneFolders::kThemesFolder, QT_TR_NOOP("Themes")},
    };
    QSet<QString> shown;
    for (const Smart& kind : kinds) {
        QString path = device->phoneFolders().getSpecialFolderPath(QLatin1String(kind.key), false, true, false);
        if (path.isEmpty())
            continue;
        if (!path.startsWith(QLatin1Char('/')))
            path.prepend(QLatin1Char('/'));
        while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
            path.chop(1);
        if (shown.contains(path))
            continue;
        shown.insert(path);
        auto* item = new QListWidgetItem(tr(kind.title), smartFolders_);
        item->setData(kSmartFolderRole, path);
        item->setToolTip(path);
    }
}

std::shared_ptr<DZDirectoryEntry> MobileFinderView::entryForItem(const QTreeWidgetItem* item) const
{
    DZDataManager* data = manager();
    if (!item || !data)
        return nullptr;
    return data->getEntry(item->data(0, kPathRole).toString());
}

QTreeWidgetItem* MobileFinderView::itemForPath(const QString& phonePath) const
{
    return items_.value(phonePath, nullptr);
}

void MobileFinderView::forgetItem(QTreeWidgetItem* item)
{
    for (int index = 0; index < item->childCount(); ++index)
        forgetItem(item->child(index));
    items_.remove(item->data(0, kPathRole).toString());
}

void MobileFinderView::reloadData(bool all)
{
    if (!tree_)
        return;
    reloadTimer_.stop();
    QStringList open;
    for (auto it = items_.cbegin(); it != items_.cend(); ++it)
        if (it.value()->isExpanded())
            open.append(it.key());
    const QString current = tree_->currentItem() ? tree_->currentItem()->data(0, kPathRole).toString() : QString();
    filling_ = true;
    tree_->clear();
    items_.clear();
    DZDataManager* data = manager();
    const auto root = data ? data->root() : nullptr;
    if (root) {
        fillChildren(nullptr, root);
        std::sort(open.begin(), open.end(), [](const QString& a, const QString& b) { return a.size() < b.size(); });
        for (const QString& path : std::as_const(open))
            if (QTreeWidgetItem* item = itemForPath(path)) {
                if (auto entry = data->getEntry(path))
                    fillChildren(item, entry);
                item->setExpanded(true);
            }
        if (QTreeWidgetItem* item = itemForPath(current))
            tree_->setCurrentItem(item);
    }
    filling_ = false;
    if (root && !isHistory()) {
        if (root->status() != dztree::kUpToDate || all)
            openFolder(root->fullExternalPath());
        if (all)
            for (const QString& path : std::as_const(open))
                if (auto entry = data->getEntry(path))
                    if (entry->isDirectory()) {
                        entry->setOutOfDate();
                        openFolder(path);
                    }
    }
    updatePath();
    updateButtons();
}

void MobileFinderView::reload()
{
    // A burst of reload requests becomes one.
    reloadTimer_.start(kReloadDelay);
}

QTreeWidgetItem* MobileFinderView::makeItem(QTreeWidgetItem* parent, const std::shared_ptr<DZDirectoryEntry>& entry)
{
    // Unplaced: the caller puts it at its row.
    Q_UNUSED(parent);
    auto* item = new QTreeWidgetItem;
    const QString path = entry->fullExternalPath();
    item->setData(0, kPathRole, path);
    item->setData(0, kMobileFinderIsFolderRole, entry->isDirectory());
    items_.insert(path, item);
    fillItem(item, entry);
    return item;
}

void MobileFinderView::fillItem(QTreeWidgetItem* item, const std::shared_ptr<DZDirectoryEntry>& entry)
{
    const QString path = entry->fullExternalPath();
    // Shown as the phone sent it.
    item->setText(kNameColumn, entry->name());
    const QImage icon = entry->iconImageOfSize(16);
    item->setIcon(kNameColumn, icon.isNull() ? style()->standardIcon(entry->isDirectory() ? QStyle::SP_DirIcon
                                                                                          : QStyle::SP_FileIcon)
                                             : QIcon(QPixmap::fromImage(icon)));
    item->setText(kSizeColumn, entry->isFile() ? entry->displayableSize() : QString());
    item->setTextAlignment(kSizeColumn, Qt::AlignRight | Qt::AlignVCenter);
    item->setText(kDateColumn, entry->hasRecord() ? entry->formattedModificationDate() : QString());
    QString state;
    QIcon stateIcon;
    if (failedListings_.contains(path)) {
        state = platform::localizedString(kListingFailedKey);
        item->setToolTip(kStateColumn, platform::localizedString(kCouldNotGetDirKey).arg(entry->name()));
    } else if (entry->status() == dztree::kUpdating || entry->hasActionsInProgress()) {
        state = tr("Updating");
        stateIcon = QIcon(QPixmap::fromImage(platform::gui::image(QStringLiteral("program"), QStringLiteral("Updating"))));
        item->setToolTip(kStateColumn, QString());
    } else if (entry->status() == dztree::kOutOfDate && entry->isDirectory() && !isHistory()) {
        state = tr("Not read yet");
        stateIcon = QIcon(QPixmap::fromImage(platform::gui::image(QStringLiteral("program"), QStringLiteral("OutOffDate"))));
        item->setToolTip(kStateColumn, QString());
    }
    item->setText(kStateColumn, state);
    item->setIcon(kStateColumn, stateIcon);
    const bool grey = entry->isSpeculative() || entry->isGhostFile() || entry->status() == dztree::kRemoved;
    for (int column = 0; column < 4; ++column)
        item->setForeground(column, grey ? palette().brush(QPalette::Disabled, QPalette::Text)
                                         : palette().brush(QPalette::Active, QPalette::Text));
    if (entry->isDirectory())
        item->setChildIndicatorPolicy(entry->status() == dztree::kUpToDate && entry->numberOfEntries() == 0
                                          ? QTreeWidgetItem::DontShowIndicatorWhenChildless
                                          : QTreeWidgetItem::ShowIndicator);
    else
        item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

void MobileFinderView::fillChildren(QTreeWidgetItem* parent, const std::shared_ptr<DZDirectoryEntry>& folder)
{
    if (!folder || !folder->isDirectory())
        return;
    const QList<std::shared_ptr<DZDirectoryEntry>> entries = folder->entriesNoUpdate();
    QHash<QString, std::shared_ptr<DZDirectoryEntry>> wanted;
    for (const auto& entry : entries)
        wanted.insert(entry->fullExternalPath(), entry);
    const int count = parent ? parent->childCount() : tree_->topLevelItemCount();
    for (int index = count - 1; index >= 0; --index) {
        QTreeWidgetItem* child = parent ? parent->child(index) : tree_->topLevelItem(index);
        if (!wanted.contains(child->data(0, kPathRole).toString())) {
            forgetItem(child);
            delete child;
        }
    }
    int row = 0;
    for (const auto& entry : entries) {
        const QString path = entry->fullExternalPath();
        QTreeWidgetItem* item = itemForPath(path);
        if (item && item->parent() != parent) {
            forgetItem(item);
            delete item;
            item = nullptr;
        }
        if (!item) {
            item = makeItem(parent, entry);
            if (parent)
                parent->insertChild(row, item);
            else
                tree_->insertTopLevelItem(row, item);
        } else {
            fillItem(item, entry);
            const int at = parent ? parent->indexOfChild(item) : tree_->indexOfTopLevelItem(item);
            if (at != row) {
                const bool expanded = item->isExpanded();
                if (parent) {
                    parent->takeChild(at);
                    parent->insertChild(row, item);
                } else {
                    tree_->takeTopLevelItem(at);
                    tree_->insertTopLevelItem(row, item);
                }
                item->setExpanded(expanded);
            }
        }
        if (item->isExpanded())
            fillChildren(item, entry);
        ++row;
    }
}

void MobileFinderView::entryChanged(const std::shared_ptr<DZDirectoryEntry>& entry)
{
    DZDataManager* data = manager();
    if (!data || !tree_)
        return;
    const QString path = entry->fullExternalPath();
    // The outcome of a listing this view asked for.
    if (listingsAsked_.contains(path) && entry->isDirectory() && !entry->hasActionsInProgress()
        && entry->status() != dztree::kUpdating) {
        listingsAsked_.remove(path);
        const bool deleting = pendingDeletes_.remove(path);
        if (entry->status() != dztree::kUpToDate || entry->isGhostFile()) {
            failedListings_.insert(path);
            showMessage(platform::localizedString(kCouldNotGetDirKey).arg(entry->name()));
        } else {
            failedListings_.remove(path);
            if (deleting)
                showInQueue(entry->deleteEntry());
        }
    }
    filling_ = true;
    const auto root = data->root();
    if (entry == root) {
        fillChildren(nullptr, root);
    } else if (data->getEntry(path) != entry) {
        // Gone from the tree: its row goes and its folder is shown anew.
        if (QTreeWidgetItem* item = itemForPath(path)) {
            forgetItem(item);
            delete item;
        }
    } else if (QTreeWidgetItem* item = itemForPath(path)) {
        fillItem(item, entry);
        if (entry->isDirectory() && item->isExpanded())
            fillChildren(item, entry);
    } else if (auto parent = entry->parent()) {
        // New entries come in bursts (a listing): their folder is filled
        // once on the next pass of the loop.
        dirtyFolders_.insert(parent->fullExternalPath());
        if (!refillTimer_.isActive())
            refillTimer_.start(0);
    }
    filling_ = false;
    updateButtons();
}

void MobileFinderView::refillDirtyFolders()
{
    DZDataManager* data = manager();
    const QSet<QString> folders = std::exchange(dirtyFolders_, {});
    if (!data || !tree_)
        return;
    filling_ = true;
    for (const QString& path : folders) {
        const auto folder = data->getEntry(path);
        if (!folder)
            continue;
        if (folder == data->root())
            fillChildren(nullptr, folder);
        else if (QTreeWidgetItem* item = itemForPath(path); item && item->isExpanded())
            fillChildren(item, folder);
    }
    filling_ = false;
    updateButtons();
}

bool MobileFinderView::openFolder(const QString& phonePath)
{
    DZDataManager* data = manager();
    if (!data || phonePath.isEmpty())
        return false;
    const auto entry = data->getEntry(phonePath);
    if (!entry || !entry->isDirectory())
        return false;
    const QString path = entry->fullExternalPath();
    filling_ = true;
    if (entry != data->root()) {
        // Every folder on the way is shown and open.
        QStringList chain;
        for (auto up = entry; up && up != data->root(); up = up->parent())
            chain.prepend(up->fullExternalPath());
        QTreeWidgetItem* parentItem = nullptr;
        fillChildren(nullptr, data->root());
        for (const QString& step : std::as_const(chain)) {
            QTreeWidgetItem* item = itemForPath(step);
            if (!item)
                break;
            item->setExpanded(true);
            if (auto stepEntry = data->getEntry(step))
                fillChildren(item, stepEntry);
            parentItem = item;
        }
        if (parentItem && parentItem->data(0, kPathRole).toString() == path) {
            tree_->setCurrentItem(parentItem);
            tree_->scrollToItem(parentItem);
        }
    }
    filling_ = false;
    if (!isHistory() && entry->status() != dztree::kUpToDate) {
        failedListings_.remove(path);
        listingsAsked_.insert(path);
        // An equal listing already queued or running takes this one in.
        const auto listing = entry->update();
        showInQueue(listing);
        if (!listing && !entry->hasActionsInProgress()) {
            listingsAsked_.remove(path);
            failedListings_.insert(path);
            showMessage(platform::localizedString(kCouldNotGetDirKey).arg(entry->name()));
        }
        if (QTreeWidgetItem* item = itemForPath(path))
            fillItem(item, entry);
    }
    updatePath();
    updateButtons();
    return true;
}

bool MobileFinderView::goUp()
{
    QTreeWidgetItem* item = tree_->currentItem();
    if (!item)
        return false;
    QTreeWidgetItem* up = item->parent();
    if (item->data(0, kMobileFinderIsFolderRole).toBool() && item->isExpanded()) {
        item->setExpanded(false);
        return true;
    }
    if (!up)
        return false;
    up->setExpanded(false);
    tree_->setCurrentItem(up);
    return true;
}

QString MobileFinderView::currentFolder() const
{
    QTreeWidgetItem* item = tree_ ? tree_->currentItem() : nullptr;
    if (!item)
        return QStringLiteral("/");
    const QString path = item->data(0, kPathRole).toString();
    return item->data(0, kMobileFinderIsFolderRole).toBool() ? path : mobileFinderParentPath(path);
}

std::vector<std::shared_ptr<DZDirectoryEntry>> MobileFinderView::selectedEntries() const
{
    std::vector<std::shared_ptr<DZDirectoryEntry>> made;
    if (!tree_)
        return made;
    for (QTreeWidgetItem* item : tree_->selectedItems())
        if (auto entry = entryForItem(item))
            made.push_back(entry);
    return made;
}

void MobileFinderView::showMessage(const QString& text)
{
    lastMessage_ = text;
    if (message_)
        message_->setText(text);
}

bool MobileFinderView::copySelectionToComputer(const QString& folder)
{
    return copyToComputer(selectedEntries(), folder) > 0;
}

int MobileFinderView::copyToComputer(const std::vector<std::shared_ptr<DZDirectoryEntry>>& entries,
                                     const QString& folder)
{
    DZDataManager* data = manager();
    const QFileInfo target(folder);
    if (!data || !target.isDir()) {
        showMessage(tr("The folder \"%1\" cannot be written to.").arg(folder));
        return 0;
    }
    const QString dir = target.absoluteFilePath();
    int posted = 0;
    for (const auto& entry : entries) {
        if (!entry)
            continue;
        const QString safe = safeFileNameFromDescription(entry->name());
        const QString local = QDir(dir).filePath(safe);
        // A name that would land outside the chosen folder is never used.
        if (QFileInfo(local).absolutePath() != dir) {
            showMessage(tr("\"%1\" cannot be copied under its name.").arg(entry->name()));
            continue;
        }
        bool overwrite = false;
        if (QFileInfo::exists(local)) {
            const bool yes = askers_.confirmOverwrite ? askers_.confirmOverwrite(local)
                                                      : (windowController() && windowController()->askOverwrite());
            if (!yes)
                continue;
            overwrite = true;
        }
        if (isHistory()) {
            // A snapshot's files are on this computer already.
            const QString source = entry->getMirrorPath();
            if (!entry->isFile() || source.isEmpty() || !QFileInfo(source).isFile()) {
                showMessage(tr("\"%1\" is not in this archive.").arg(entry->name()));
                continue;
            }
            copyFromArchive(source, local, overwrite);
            ++posted;
            continue;
        }
        FileDragAndDrop* dnd = getFileDragAndDrop();
        if (!dnd) {
            // A view without a window keeps its own helper.
            if (!ownDragAndDrop_)
                ownDragAndDrop_ = std::make_unique<FileDragAndDrop>(data);
            dnd = ownDragAndDrop_.get();
        }
        const auto job = dnd->copyToComputer(entry, dir, overwrite);
        if (job) {
            showInQueue(job);
            ++posted;
        }
    }
    return posted;
}

void MobileFinderView::copyFromArchive(const QString& source, const QString& target, bool overwrite)
{
    ++archiveCopies_;
    const QPointer<MobileFinderView> self(this);
    const auto stop = stopCopies_;
    QThreadPool::globalInstance()->start([self, stop, source, target, overwrite] {
        const QString placed = mobileFinderCopyWhole(source, target, overwrite, *stop);
        platform::runloop::performOnMainThread([self, target, placed] {
            if (!self)
                return;
            --self->archiveCopies_;
            if (placed.isEmpty())
                self->showMessage(tr("\"%1\" could not be copied.").arg(QFileInfo(target).fileName()));
            else if (placed != target)
                self->showMessage(tr("\"%1\" was copied as \"%2\": a file of its name appeared meanwhile.")
                                      .arg(QFileInfo(target).fileName(), QFileInfo(placed).fileName()));
        });
    });
}

int MobileFinderView::pendingRenameCount() const
{
    FileDragAndDrop* dnd = getFileDragAndDrop();
    return (dnd ? dnd->pendingRenameCount() : 0) + (ownDragAndDrop_ ? ownDragAndDrop_->pendingRenameCount() : 0);
}

void MobileFinderView::showInQueue(const std::shared_ptr<QVAction>& job)
{
    if (!job)
        return;
    // A job no pipe took has ended already: the queue shows no row for it,
    // so its reason is said here.
    if (job->hasEnded()) {
        const QString reason = job->feedBackErrorString();
        showMessage(reason.isEmpty() ? tr("The phone did not take the job.") : reason);
        return;
    }
    if (windowController())
        addFeedBackToMaster(job);
}

std::shared_ptr<DZDirectoryEntry> MobileFinderView::targetFolderEntry(const QString& phoneFolder) const
{
    DZDataManager* data = manager();
    if (!data)
        return nullptr;
    auto entry = data->getEntry(phoneFolder.isEmpty() ? currentFolder() : phoneFolder);
    return entry && entry->isDirectory() ? entry : nullptr;
}

int MobileFinderView::addFiles(const QStringList& localPaths, const QString& phoneFolder)
{
    if (!canChangePhone()) {
        showMessage(tr("Files cannot be added to an archive."));
        return 0;
    }
    const auto folder = targetFolderEntry(phoneFolder);
    if (!folder) {
        showMessage(tr("Choose a folder on the phone first."));
        return 0;
    }
    DZDataManager* data = manager();
    int posted = 0;
    QStringList refused;
    for (const QString& path : localPaths) {
        const QFileInfo source(path);
        if (!source.exists() || !DeviceWindowController::isAllowedFileForMobile(path)) {
            refused.append(source.fileName());
            continue;
        }
        if (source.isDir() && !data->fileJobs().copyFolderToMobile) {
            showMessage(tr("This phone takes no folders: \"%1\" was not copied.").arg(source.fileName()));
            continue;
        }
        if (auto existing = folder->entryWithName(source.fileName()); existing && !existing->isSpeculative()) {
            const bool yes = askers_.confirmOverwrite ? askers_.confirmOverwrite(existing->fullExternalPath())
                                                      : (windowController() && windowController()->askOverwrite());
            if (!yes)
                continue;
        }
        if (const auto job = folder->copyToMobile(source.absoluteFilePath())) {
            showInQueue(job);
            ++posted;
        }
    }
    if (!refused.isEmpty())
        showMessage(tr("Not copied to the phone: %1").arg(refused.join(QStringLiteral(", "))));
    return posted;
}

bool MobileFinderView::newFolder(const QString& name)
{
    if (!canChangePhone() || name.isEmpty())
        return false;
    const auto folder = targetFolderEntry(QString());
    if (!folder)
        return false;
    const auto job = folder->makeFolder(name);
    showInQueue(job);
    return bool(job);
}

bool MobileFinderView::deleteSelection()
{
    if (!canChangePhone())
        return false;
    const auto entries = selectedEntries();
    if (entries.empty())
        return false;
    const bool yes = askers_.confirmDelete ? askers_.confirmDelete(int(entries.size()))
                                           : (windowController() && windowController()->askDelete());
    if (!yes)
        return false;
    bool posted = false;
    for (const auto& entry : entries) {
        if (entry->isDirectory() && entry->status() != dztree::kUpToDate) {
            // A folder is deleted with what it holds: it is listed first.
            const QString path = entry->fullExternalPath();
            pendingDeletes_.insert(path);
            listingsAsked_.insert(path);
            const auto listing = entry->update();
            showInQueue(listing);
            if (listing || entry->hasActionsInProgress()) {
                posted = true;
                continue;
            }
            pendingDeletes_.remove(path);
            listingsAsked_.remove(path);
            continue;
        }
        const auto job = entry->deleteEntry();
        showInQueue(job);
        posted = bool(job) || posted;
    }
    return posted;
}

QPushButton* MobileFinderView::actionButton(const QString& name) const
{
    return buttons_.value(name);
}

void MobileFinderView::updateButtons()
{
    const bool modify = canChangePhone();
    const bool selection = tree_ && !tree_->selectedItems().isEmpty();
    const auto set = [this](const char* name, bool visible, bool enabled) {
        if (QPushButton* button = buttons_.value(QLatin1String(name))) {
            button->setVisible(visible);
            button->setEnabled(enabled);
        }
    };
    set("copyToComputer", true, selection);
    set("addFiles", !isHistory(), modify);
    set("newFolder", !isHistory(), modify);
    set("delete", !isHistory(), modify && selection);
    set("reload", !isHistory(), modify);
}

void MobileFinderView::updatePath()
{
    if (!pathPopup_)
        return;
    const QString folder = currentFolder();
    pathPopup_->setPath(folder);
    const QString last = lastPathComponent(folder);
    pathPopup_->setText(last.isEmpty() || folder == QLatin1String("/") ? tr("Phone") : last);
    pathPopup_->setToolTip(folder);
}

void MobileFinderView::activate()
{
    // A history window may have moved to another snapshot meanwhile.
    if (isHistory())
        reloadData(false);
    if (tree_)
        tree_->setFocus(Qt::OtherFocusReason);
    if (DZDataManager* data = manager(); data && data->root() && data->root()->status() != dztree::kUpToDate
                                          && !isHistory())
        openFolder(data->root()->fullExternalPath());
    updateButtons();
}

void MobileFinderView::deactivate()
{
    reloadTimer_.stop();
}

QString MobileFinderView::stateInfo() const
{
    return currentFolder();
}

void MobileFinderView::processStateInfo(const QString& rest)
{
    const QString path = rest.section(QLatin1Char('\t'), 0, 0);
    if (!path.isEmpty())
        openFolder(path);
}

bool MobileFinderView::acceptsDrop(const QMimeData* data) const
{
    if (!data || !data->hasUrls() || !canChangePhone())
        return false;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            return true;
    return false;
}

bool MobileFinderView::dropFiles(const QMimeData* data, const QString& phoneFolder)
{
    if (!data)
        return false;
    if (!canChangePhone()) {
        showMessage(tr("Files cannot be added to an archive."));
        return false;
    }
    QStringList paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    return addFiles(paths, phoneFolder) > 0;
}

QMimeData* MobileFinderView::mimeDataForSelection() const
{
    auto* mime = new QMimeData;
    QStringList phonePaths;
    QList<QUrl> urls;
    for (const auto& entry : selectedEntries()) {
        phonePaths.append(entry->fullExternalPath());
        // Files whose copy is on this computer go out as files too.
        const QString local = entry->isFile() ? entry->getMirrorPath() : QString();
        if (!local.isEmpty() && QFileInfo(local).isFile())
            urls.append(QUrl::fromLocalFile(local));
    }
    if (FileDragAndDrop* dnd = getFileDragAndDrop())
        dnd->fillPasteBoard(phonePaths, mime, nullptr);
    else
        mime->setData(FileDragAndDrop::kPhonePathsType, phonePaths.join(QLatin1Char('\n')).toUtf8());
    if (!urls.isEmpty())
        mime->setUrls(urls);
    return mime;
}

void MobileFinderView::copyToClipboard()
{
    QApplication::clipboard()->setMimeData(mimeDataForSelection());
}

void MobileFinderView::copyFromClipboard()
{
    const QMimeData* data = QApplication::clipboard()->mimeData();
    if (!data)
        return;
    // Phone paths from this window's own copy: into a folder chosen now.
    const QStringList phonePaths = FileDragAndDrop::phonePathsOf(data);
    if (!phonePaths.isEmpty() && !data->hasUrls())
        return;
    dropFiles(data, currentFolder());
}

void MobileFinderView::keyPressEvent(QKeyEvent* event)
{
    if (!eventFilter(tree_, event))
        ToolView::keyPressEvent(event);
}

bool MobileFinderView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != tree_ || event->type() != QEvent::KeyPress)
        return ToolView::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    if (key->matches(QKeySequence::Copy)) {
        copyToClipboard();
        return true;
    }
    if (key->matches(QKeySequence::Paste)) {
        copyFromClipboard();
        return true;
    }
    if (key->key() == Qt::Key_N && mods == (Qt::ControlModifier | Qt::ShiftModifier)) {
        if (QPushButton* button = buttons_.value(QStringLiteral("newFolder")); button && button->isEnabled())
            button->click();
        return true;
    }
    if (mods != Qt::NoModifier)
        return false;
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (QTreeWidgetItem* item = tree_->currentItem(); item && item->data(0, kMobileFinderIsFolderRole).toBool()) {
            openFolder(item->data(0, kPathRole).toString());
            return true;
        }
        return false;
    case Qt::Key_Backspace: return goUp();
    case Qt::Key_Delete: deleteSelection(); return true;
    case Qt::Key_F5: reload(); return true;
    default: return false;
    }
}
