#include "app/ProgramAppLauncher.h"

#include "foundation/FileManagerAdds.h"
#include "foundation/LaunchApplication.h"

#include <QApplication>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QIcon>
#include <QStyle>

namespace {
constexpr int kIconSide = 128;
} // namespace

int ProgramAppLauncher::launchAppAndMakeFront(quint32 creator)
{
    return LaunchAppAndMakeFront(creator);
}

QImage ProgramAppLauncher::appIconForCreator(quint32 creator)
{
    const QImage themed = getAppIconForCreator(creator);
    if (!themed.isNull())
        return themed;
    // A program the icon theme does not know still has the desktop's icon for
    // its file.
    const QString path = findApplicationForCreator(creator);
    if (path.isEmpty())
        return QImage();
    QIcon icon = QFileIconProvider().icon(QFileInfo(path));
    if (icon.isNull())
        icon = QApplication::style()->standardIcon(QStyle::SP_FileIcon);
    return icon.pixmap(kIconSide, kIconSide).toImage();
}

QString ProgramAppLauncher::appNameForCreator(quint32 creator)
{
    return getAppNameForCreator(creator);
}
