#include "app/DeviceWindowShell.h"

#include "app/DeviceInspector.h"
#include "app/TarnexController.h"
#include "app/TarnexKeys.h"
#include "app/TarnexWindow.h"

#include "devicewindow/DeviceWindowKeys.h"
#include "devicewindow/DeviceWindowMakers.h"
#include "foundation/LogReport.h"
#include "organizer/contacts/OrganizerContactsViewCenter.h"
#include "platform/Localization.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace devicewindowshell {

namespace {

QString shellText(const char* key)
{
    return platform::localizedString(QLatin1String(key));
}

} // namespace

QDialog* makeDebuggingPanel(QWidget* window)
{
    using namespace tarnexkeys;
    auto* panel = new QDialog(window, Qt::Sheet);
    panel->setObjectName(QStringLiteral("sendMailSheet"));
    panel->setWindowModality(Qt::WindowModal);
    panel->setWindowTitle(shellText(kSendDebuggingInfoTitle));
    auto* layout = new QVBoxLayout(panel);
    auto* text = new QLabel(shellText(kSendDebuggingInfoMsg), panel);
    text->setWordWrap(true);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    layout->addWidget(text);
    auto* buttons = new QDialogButtonBox(panel);
    QPushButton* mail = buttons->addButton(shellText(kSendWithMail), QDialogButtonBox::ActionRole);
    mail->setObjectName(QStringLiteral("sendWithMail"));
    QPushButton* folder = buttons->addButton(shellText(kShowReportFolder), QDialogButtonBox::ActionRole);
    folder->setObjectName(QStringLiteral("tellFinderToShow"));
    QPushButton* ok = buttons->addButton(shellText(kOK), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("sendMailOK"));
    ok->setDefault(true);
    layout->addWidget(buttons);
    // Without a mail program the folder is shown, to attach the report by hand.
    QObject::connect(mail, &QPushButton::clicked, panel, [] {
        if (!QVSendLogFileReport(1))
            QVSendLogFileReport(0);
    });
    QObject::connect(folder, &QPushButton::clicked, panel, [] { QVSendLogFileReport(0); });
    QObject::connect(ok, &QPushButton::clicked, panel, [panel] { panel->done(1); });
    return panel;
}

void install()
{
    devicewindowmakers::Makers& makers = devicewindowmakers::makers();
    makers.deviceInspector = [](const QVariantMap& entry, const QVariantMap& row,
                                const std::optional<QVariantMap>& general, QWidget* window) -> QWidget* {
        auto* inspector = new DeviceInspector(window);
        inspector->setAttribute(Qt::WA_DeleteOnClose);
        inspector->setDeviceDict(entry, row, general);
        inspector->windowDidLoad();
        return inspector;
    };
    makers.debuggingPanel = [](QWidget* window) { return makeDebuggingPanel(window); };
    OrganizerContactsViewCenter::install();
    makers.connectionLost = [](const QString& phoneName) {
        TarnexController* main = TarnexController::sTarnexController();
        if (!main)
            return;
        main->switchToNamedPane(QLatin1String(tarnexkeys::kSelectKnownDevice), -1);
        main->setMessageText(
            shellText(devicewindowkeys::kConnectionLostFormat).replace(QLatin1String("%@"), phoneName));
        if (QWidget* window = main->mainWindow()) {
            window->show();
            window->raise();
            window->activateWindow();
        }
    };
}

} // namespace devicewindowshell
