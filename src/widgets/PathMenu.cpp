#include "widgets/PathMenu.h"

#include "platform/gui/Images.h"
#include "platform/gui/Interface.h"

#include <QAction>
#include <QFileIconProvider>
#include <QIcon>
#include <QMenu>
#include <QPixmap>

namespace pathmenu {

namespace {

QIcon phoneIcon()
{
    const QImage image = platform::gui::image(QLatin1String(platform::gui::kProgramBundle),
                                              QStringLiteral("PhoneIcon"));
    return QIcon(
        QPixmap::fromImage(image.scaled(kIconSize, kIconSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
}

QIcon folderIcon()
{
    const QIcon system = QFileIconProvider().icon(QFileIconProvider::Folder);
    return QIcon(system.pixmap(kIconSize, kIconSize));
}

// What a copy of a menu item keeps besides its title and icon.
void copySettings(const QAction& from, QAction& to)
{
    to.setCheckable(from.isCheckable());
    to.setEnabled(from.isEnabled());
    to.setFont(from.font());
    to.setData(from.data());
    to.setToolTip(from.toolTip());
}

} // namespace

void setPath(QMenu* menu, const QString& path)
{
    if (!menu)
        return;
    const QIcon phone = phoneIcon();
    const QIcon folder = folderIcon();
    const QList<QAction*> old = menu->actions();
    QAction templateItem;
    if (!old.isEmpty())
        copySettings(*old.first(), templateItem);
    menu->clear();
    QStringList components = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    while (!components.isEmpty()) {
        const QString component = components.takeLast();
        auto* item = new QAction(component, menu);
        copySettings(templateItem, *item);
        item->setIcon(components.isEmpty() ? phone : folder);
        menu->addAction(item);
    }
}

QString pathUntil(const QMenu* menu, const QAction* item)
{
    if (!menu)
        return {};
    const QList<QAction*> items = menu->actions();
    if (!items.isEmpty() && item == items.last())
        return QStringLiteral("/");
    QString path;
    for (qsizetype index = items.size() - 2; index >= 0; --index) {
        path += QLatin1Char('/') + items.at(index)->text();
        if (items.at(index) == item)
            break;
    }
    return path;
}

} // namespace pathmenu
