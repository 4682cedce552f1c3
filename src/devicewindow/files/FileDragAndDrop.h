#pragma once

#include "platform/Clock.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class DZDataManager;
class DZDirectoryEntry;
class QMimeData;

// The file browser's drag and drop: which dropped desktop files a view may
// take, the phone paths a drag carries, the copies from the phone that a
// drag onto a desktop folder asks for, and the temporary copies that a drag
// out hands to the desktop as file URLs. Names from the phone are made safe
// before they become desktop paths and never leave their folder. Temporary
// drag folders go some time after their drag ended, and all that is left of
// them when the program quits. Main thread only.
class FileDragAndDrop : public QObject {
    Q_OBJECT

public:
    // The pasteboard type of the phone paths of a drag.
    static inline const QString kPhonePathsType = QStringLiteral("application/x-marvesto-phone-paths");
    // How long a drag's temporary copies stay after the drag ended: the
    // desktop may still be reading them.
    static constexpr double kDragFolderGrace = 60.0;

    explicit FileDragAndDrop(DZDataManager* manager, QObject* parent = nullptr);
    ~FileDragAndDrop() override;

    // Suffixes compared without case; the filter is a list of suffixes or
    // one "/"-separated text.
    static QStringList filterList(const QString& slashSeparated);
    bool availableFiles(const QStringList& paths, const QStringList& filter) const;
    QStringList filterFiles(const QStringList& paths, const QStringList& filter) const;

    // Posts a copy from the phone into destination for each entry; answers
    // the names under which they will arrive.
    QStringList namesOfPromisedFilesDroppedAtDestination(const QString& destination,
                                                         const std::vector<std::shared_ptr<DZDirectoryEntry>>& items);
    QString getDragHandyPath(const std::shared_ptr<DZDirectoryEntry>& node) const;
    void fillPasteBoard(const QStringList& phonePaths, QMimeData* pasteboard, QObject* owner) const;
    static QStringList phonePathsOf(const QMimeData* pasteboard);

    // Copies local files (with the names they shall have) into a new
    // temporary drag folder; answers the copies' paths (empty on failure,
    // leaving nothing behind).
    QStringList makeDragCopies(const QList<QPair<QString, QString>>& fileAndName);
    // The drag of the last makeDragCopies ended.
    void dragEnded();
    // The folder below which the drag folders are made.
    static QString dragRoot();
    // Removes every drag folder of this process (the program's quit).
    static void removeAllDragCopies();

private:
    void removeExpired();

    DZDataManager* manager_;
    struct DragFolder {
        QString path;
        double expires = -1;   // on the clock's scale; -1 while dragging
    };
    std::vector<DragFolder> folders_;
    platform::Timer sweep_;
};
