#pragma once

#include <QString>

class QAction;
class QMenu;

// A folder path on the phone shown as a menu: one item per path component,
// the deepest folder first and the phone (the path's first component) last.
namespace pathmenu {

inline constexpr int kIconSize = 16;

// Rebuilds the menu from a path such as "Phone/Folder/Sub": every item is a
// copy of the menu's first item titled with its component, the phone item
// with the phone icon, the others with the folder icon. Empty components are
// skipped, so "/Phone/Folder" reads as "Phone/Folder".
void setPath(QMenu* menu, const QString& path);

// The path on the phone down to the item: "/" for the phone item, else
// "/" and the titles from below the phone down to the item ("/Folder/Sub").
// An item not in the menu gives all titles but the phone's.
QString pathUntil(const QMenu* menu, const QAction* item);

} // namespace pathmenu
