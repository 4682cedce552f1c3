#include "app/HistoryPhoneSheet.h"

#include "app/AppLog.h"

#include "app/MatrixDeviceSelectionController.h"
#include "app/TarnexController.h"
#include "app/TarnexWindow.h"

#include "device/qvDeviceDB.h"
#include "devicewindow/DeviceWindowController.h"
#include "devicewindow/DeviceWindowKeys.h"
#include "foundation/FormattingUtil.h"
#include "phone/DeviceEntryMakers.h"
#include "platform/Localization.h"
#include "platform/Paths.h"
#include "platform/RunLoop.h"
#include "widgets/TarnexAlertSheet.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPointer>
#include <QThreadPool>

namespace {

std::function<QString()>& historyPhoneFolderChooser()
{
    static std::function<QString()> chooser;
    return chooser;
}

QString historyPhoneText(const char* key)
{
    return platform::localizedString(QLatin1String(key));
}

} // namespace

QString HistoryPhoneSheet::archiveOf(const QVariantMap& entry)
{
    if (!DeviceWindowController::deviceHasHistory(entry))
        return QString();
    const std::shared_ptr<qvDeviceDB> db = qvDeviceDB::sharedDeviceDB();
    if (!db)
        return QString();
    const QVariantMap row = db->getDictForDeviceByID(entry.value(deviceentry::kDeviceID));
    const QString mirror = DeviceWindowController::removeBadChars(FormattingUtil::makeMirrorFileName(
        row.value(QStringLiteral("Dorvanti.Model")).toString(), entry.value(deviceentry::kSerialNo).toString()));
    const QString path = QDir(platform::paths::applicationSupportDirectory())
                             .filePath(QLatin1String(devicewindowkeys::kMirrorsFolder) + QLatin1Char('/') + mirror);
    // Only a folder of its own is ever moved.
    return QFileInfo(path).isDir() ? QFileInfo(path).canonicalFilePath() : QString();
}

HistoryPhoneSheet::Answer HistoryPhoneSheet::answerOf(int returnCode)
{
    switch (returnCode) {
    case TarnexAlertSheet::kAlternateReturn: return Answer::MoveTo;
    case TarnexAlertSheet::kOtherReturn: return Answer::MoveToTrash;
    default: return Answer::Keep;
    }
}

bool HistoryPhoneSheet::apply(Answer answer, const QString& archive, const QString& folder)
{
    if (archive.isEmpty())
        return false;
    switch (answer) {
    case Answer::Keep: return false;
    case Answer::MoveTo:
        // No folder chosen: the archive stays.
        return !folder.isEmpty() && MatrixDeviceSelectionController::saveArchiveTo(archive, folder);
    case Answer::MoveToTrash: return MatrixDeviceSelectionController::saveArchiveTo(archive, QString());
    }
    return false;
}

void HistoryPhoneSheet::ask(TarnexController& host, const QString& archive, const QString& phoneName,
                            std::function<void(Answer, bool)> done)
{
    QPointer<TarnexController> guard(&host);
    host.beginAlertSheet(
        historyPhoneText(kTitle).arg(phoneName), historyPhoneText(kKeep), historyPhoneText(kMoveTo),
        historyPhoneText(kMoveToTrash),
        [guard, archive, done](int code) {
            const Answer answer = answerOf(code);
            QString folder;
            if (answer == Answer::MoveTo) {
                auto& chooser = historyPhoneFolderChooser();
                folder = chooser ? chooser()
                                 : QFileDialog::getExistingDirectory(guard ? static_cast<QWidget*>(guard->mainWindow()) : nullptr,
                                                                     historyPhoneText(kChooseFolder));
            }
            if (answer == Answer::Keep || (answer == Answer::MoveTo && folder.isEmpty())) {
                if (done)
                    done(answer, false);
                return;
            }
            // A move onto another disk copies the whole archive: it runs on
            // a worker under the busy overlay, never on the event loop.
            if (guard)
                guard->doShowBusyOverlay(true, 0, nullptr);
            QThreadPool::globalInstance()->start([guard, archive, done, answer, folder] {
                const bool moved = apply(answer, archive, folder);
                platform::runloop::performOnMainThread([guard, archive, done, answer, moved] {
                    if (guard)
                        guard->doCloseBusyOverlayImmediatly();
                    if (!moved) {
                        // Nothing was lost: the archive is where it was, and
                        // the user is told so.
                        qCWarning(lcApp) << "The archive could not be moved:" << archive;
                        if (guard)
                            guard->beginAlertSheet(
                                historyPhoneText(kMoveFailed), historyPhoneText("OK"), QString(), QString(), [](int) {},
                                QString());
                    }
                    if (done)
                        done(answer, moved);
                });
            });
        },
        historyPhoneText(kMessage));
}

void HistoryPhoneSheet::setFolderChooser(std::function<QString()> chooser)
{
    historyPhoneFolderChooser() = std::move(chooser);
}
