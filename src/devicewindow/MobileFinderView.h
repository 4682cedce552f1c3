#pragma once

#include "devicewindow/ToolView.h"

#include "platform/Clock.h"
#include "widgets/ButtonPathPopup.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include <QHash>
#include <QPointer>
#include <QSet>
#include <QTreeWidget>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class ButtonPathPopup;
class DZDataManager;
class DZDirectoryEntry;
class FileDragAndDrop;
class QLabel;
class QListWidget;
class QPushButton;
class QVAction;

// The file browser center: the phone's folders and files as a tree (name,
// size, date, state) kept in step with the phone's data manager, the phone's
// special folders in a side list, a path pop-up, and the file actions: copy
// to the computer (a chosen folder, a drag out, the clipboard), add files (a
// file dialog, a drop, the clipboard), new folder, delete and reload. Every
// action is a file job in the window's queue. A history window shows the
// chosen snapshot and offers only the copy to the computer. Names from the
// phone are shown as sent; the ones that become desktop paths are made safe.
class MobileFinderView : public ToolView {
    Q_OBJECT

public:
    enum Column { kNameColumn = 0, kSizeColumn, kDateColumn, kStateColumn };
    static constexpr double kReloadDelay = 0.34;
    static constexpr int kPathRole = Qt::UserRole + 1;
    static constexpr int kSmartFolderRole = Qt::UserRole + 2;
    static inline const QString kListingFailedKey = QStringLiteral("-21881");
    static inline const QString kCouldNotGetDirKey = QStringLiteral("CouldNotGetDir");

    explicit MobileFinderView(QWidget* parent = nullptr);
    ~MobileFinderView() override;

    void setup(DeviceWindowController* controller);
    void setup(DeviceWindowController* controller, MFDevice* device) override;
    void setMFDevice(MFDevice* device) override;
    // The special folders the phone's settings name (Pictures, Sounds, ...).
    void updateSmartFolders();
    // Rebuilds the rows from the tree; all: also lists the open folders anew.
    void reloadData(bool all);

    // ToolView
    void activate() override;
    void deactivate() override;
    QString stateInfo() const override;
    void processStateInfo(const QString& rest) override;
    void establishConnectionToTimeTunnel() override { reloadData(false); }

    // The actions. Each answers whether it posted (or refused with a
    // message, see lastMessage()).
    // Opens a folder: expands its row and lists it when not up to date.
    bool openFolder(const QString& phonePath);
    bool goUp();
    bool copySelectionToComputer(const QString& folder);
    // Copies entries into a desktop folder under their safe names; an
    // existing file is replaced only after the overwrite question.
    int copyToComputer(const std::vector<std::shared_ptr<DZDirectoryEntry>>& entries, const QString& folder);
    // Local files into a phone folder (the current one when empty).
    int addFiles(const QStringList& localPaths, const QString& phoneFolder = QString());
    bool newFolder(const QString& name);
    bool deleteSelection();
    // Rebuilds and relists the current folder after kReloadDelay.
    void reload();

    // What the view shows.
    QTreeWidget* tree() const { return tree_; }
    QListWidget* smartFolderList() const { return smartFolders_; }
    ButtonPathPopup* pathPopup() const { return pathPopup_; }
    QPushButton* actionButton(const QString& name) const;
    QTreeWidgetItem* itemForPath(const QString& phonePath) const;
    QString currentFolder() const;
    std::vector<std::shared_ptr<DZDirectoryEntry>> selectedEntries() const;
    QString lastMessage() const { return lastMessage_; }
    bool canChangePhone() const;
    bool reloadPending() const { return reloadTimer_.isActive(); }
    // Copies still to be renamed to their safe names.
    int pendingRenameCount() const;
    // Copies out of an archive (a history window's) still being made.
    int archiveCopiesInProgress() const { return archiveCopies_; }

    // How the view asks (dialogs by default; tests answer themselves).
    struct Askers {
        std::function<bool(int count)> confirmDelete;
        std::function<bool(const QString& existing)> confirmOverwrite;
        std::function<QString()> chooseComputerFolder;
        std::function<QStringList()> chooseFilesToAdd;
        std::function<QString()> chooseFolderName;
    };
    void setAskers(Askers askers) { askers_ = std::move(askers); }

    // The drag out and the drop in (also called by the tree's own drag
    // events).
    bool acceptsDrop(const QMimeData* data) const;
    bool dropFiles(const QMimeData* data, const QString& phoneFolder);
    QMimeData* mimeDataForSelection() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    DZDataManager* manager() const;
    std::shared_ptr<DZDirectoryEntry> entryForItem(const QTreeWidgetItem* item) const;
    void entryChanged(const std::shared_ptr<DZDirectoryEntry>& entry);
    void fillItem(QTreeWidgetItem* item, const std::shared_ptr<DZDirectoryEntry>& entry);
    void fillChildren(QTreeWidgetItem* parent, const std::shared_ptr<DZDirectoryEntry>& folder);
    QTreeWidgetItem* makeItem(QTreeWidgetItem* parent, const std::shared_ptr<DZDirectoryEntry>& entry);
    void forgetItem(QTreeWidgetItem* item);
    void listenToManager();
    void stopListening();
    void updatePath();
    void updateButtons();
    void showMessage(const QString& text);
    void copyFromClipboard();
    void copyToClipboard();
    std::shared_ptr<DZDirectoryEntry> targetFolderEntry(const QString& phoneFolder) const;

    // A posted job becomes a row of the window's queue.
    void showInQueue(const std::shared_ptr<QVAction>& job);
    // Entries whose folder is listed first, then deleted.
    QSet<QString> pendingDeletes_;

    std::unique_ptr<FileDragAndDrop> ownDragAndDrop_;
    // A history window's copies: made on a worker, reported in the message line.
    void copyFromArchive(const QString& source, const QString& target, bool overwrite);
    std::shared_ptr<std::atomic<bool>> stopCopies_ = std::make_shared<std::atomic<bool>>(false);
    int archiveCopies_ = 0;
    void refillDirtyFolders();
    QSet<QString> dirtyFolders_;
    platform::Timer refillTimer_;
    QPointer<QTreeWidget> tree_;
    QPointer<QListWidget> smartFolders_;
    QPointer<ButtonPathPopup> pathPopup_;
    QPointer<QLabel> message_;
    QHash<QString, QPointer<QPushButton>> buttons_;
    QHash<QString, QTreeWidgetItem*> items_;
    QSet<QString> listingsAsked_;
    QSet<QString> failedListings_;
    DZDataManager* listenedManager_ = nullptr;
    Askers askers_;
    QString lastMessage_;
    platform::Timer reloadTimer_;
    bool filling_ = false;
};
