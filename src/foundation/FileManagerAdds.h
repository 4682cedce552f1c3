#pragma once

#include <QDateTime>
#include <QImage>
#include <QString>
#include <QVariantMap>

// File-manager helpers. Finder labels (0-7) are kept in the extended
// attribute "user.marvesto.FinderInfo": 32 bytes laid out as the desktop
// platform's Finder information, the Finder flags big-endian at offset 8,
// the label in bits 1-3. A file system without extended attributes has
// label 0 everywhere.

namespace fileattr {
inline constexpr const char* kFinderInfoAttribute = "user.marvesto.FinderInfo";
// Keys of getAttributesOfItemAtPath().
inline constexpr const char* kFileSize = "NSFileSize";
inline constexpr const char* kFileModificationDate = "NSFileModificationDate";
inline constexpr const char* kFileType = "NSFileType";
inline constexpr const char* kFilePosixPermissions = "NSFilePosixPermissions";
inline constexpr const char* kFileTypeDirectory = "NSFileTypeDirectory";
inline constexpr const char* kFileTypeRegular = "NSFileTypeRegular";
inline constexpr const char* kFileTypeUnknown = "NSFileTypeUnknown";
} // namespace fileattr

int getFinderLabelColorOfPath(const QString& path);
// Replaces the label bits and clears the has-been-initialised flag (0x0100).
bool setFinderLabelColorOfPath(const QString& path, int finderLabel);

// Copies source into destFolder under its own name; with overwrite an
// existing target is removed first.
bool copyToPath(const QString& source, const QString& destFolder, bool overwriteFile);

qint64 getFileSize(const QString& path);           // 0 when unknown
QDateTime getModificationDate(const QString& path); // invalid when unknown

// name when nothing of that name is in folder, else "<base> (<n>).<ext>" for
// the first free n = 1, 2, ... (a name without extension gets a trailing ".").
QString generateTrashName(const QString& name, const QString& folder);

// Attributes of the item (symbolic links followed); empty when it is missing.
QVariantMap getAttributesOfItemAtPath(const QString& path);

// Copy (folders recursively; the destination must not exist), move, remove
// (folders recursively) and create one folder (attributes may carry
// NSFilePosixPermissions).
bool doCopyItemAtPath(const QString& source, const QString& destination);
bool doMoveItemAtPath(const QString& source, const QString& destination);
bool doRemoveItemAtPath(const QString& path);
bool doCreateDirectoryAtPath(const QString& path, const QVariantMap& attributes = {});

// Moves the item into the user's trash ($XDG_DATA_HOME/Trash, which is not
// created when missing) under a free name, with its .trashinfo record.
bool moveFileToUserTrash(const QString& path);

// The application known under a four-character creator code (see
// LaunchApplication.h): its icon and its name. Null for 0 or an unknown code.
QImage getAppIconForCreator(quint32 creator);
QString getAppNameForCreator(quint32 creator);

// Expands "~" and resolves symbolic links component by component (chains
// followed). Null for a null path.
QString resolveAliasPath(const QString& path);

// A folder's path through an alias (a symbolic link, chains followed): the
// final target's path when that is a folder; an existing folder, or a path
// where nothing is yet, answers itself. A plain file, a link to one and a
// broken link answer null: callers use the answer as a folder.
QString resolveAliasToDirectory(const QString& path);
