#include "platform/gui/TestArtifacts.h"

#include "platform/gui/GuiLog.h"

#include <QDir>
#include <QPixmap>
#include <QWidget>

namespace platform::gui {

QString saveGrab(QWidget* widget, const QString& name)
{
    if (!widget || name.isEmpty() || name.contains(u'/'))
        return {};
    QString folder = qEnvironmentVariable("MARVESTO_TEST_ARTIFACTS");
    if (folder.isEmpty())
        folder = QStringLiteral("build/test-artifacts");
    if (!QDir().mkpath(folder)) {
        qCWarning(lcGui) << "Cannot create the artifact folder" << folder;
        return {};
    }
    const QString path = QDir(folder).filePath(name + QStringLiteral(".png"));
    if (!widget->grab().save(path, "PNG")) {
        qCWarning(lcGui) << "Cannot write" << path;
        return {};
    }
    return path;
}

} // namespace platform::gui
