#include "lumwick/AKMainController.h"

#include "lumwick/AKBox.h"
#include "lumwick/AKListView.h"
#include "lumwick/AKStartPaneController.h"
#include "lumwick/DeviceExpert.h"
#include "lumwick/LumwickLog.h"
#include "platform/gui/Interface.h"

#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QShortcut>

using lumwick::localized;
using lumwick::lumwickLog;

namespace {

template <class Pane>
AKMainController::PaneFactory paneOf()
{
    return [] { return std::unique_ptr<AKPaneController>(new Pane); };
}

} // namespace

std::vector<AKMainController::PaneFactory> AKMainController::standardPanes(PaneFactory deviceSelection,
                                                                           PaneFactory bluetoothPairing)
{
    std::vector<PaneFactory> panes{paneOf<AKStartPaneController>()};
    if (deviceSelection)
        panes.push_back(std::move(deviceSelection));
    if (bluetoothPairing)
        panes.push_back(std::move(bluetoothPairing));
    panes.push_back(paneOf<AKFinalPaneController>());
    return panes;
}

AKMainController::AKMainController(std::shared_ptr<LumwickProtocol> owner, std::vector<PaneFactory> panes)
    : m_paneFactories(std::move(panes)), m_owner(std::move(owner))
{
    m_confirmCancel = [this] {
        return QMessageBox::question(m_wizardWindow, localized(QStringLiteral("kWindowTitle")),
                                     localized(QStringLiteral("kCancelWizard")))
            == QMessageBox::Yes;
    };
}

AKMainController::~AKMainController()
{
    // The panes' views live in the window: the panes go first.
    m_currentPaneController = nullptr;
    m_paneControllers.clear();
    if (m_wizardWindow)
        m_wizardWindow->removeEventFilter(this);
    delete m_wizardWindow.data();
}

void AKMainController::awakeFromNib()
{
    platform::gui::registerWidgetClass(QStringLiteral("AKBox"), [](QWidget* parent) { return new AKBox(parent); });
    platform::gui::registerWidgetClass(QStringLiteral("AKListView"),
                                       [](QWidget* parent) { return new AKListView(parent); });
    QWidget* loaded = platform::gui::loadInterface(QString::fromLatin1(platform::gui::kLumwickBundle),
                                                   QStringLiteral("WizardMain"));
    m_wizardWindow = qobject_cast<QDialog*>(loaded);
    if (!m_wizardWindow) {
        lumwickLog(QStringLiteral("A problem occured while loading the nib %1").arg(QStringLiteral("WizardMain")));
        delete loaded;
        return;
    }
    m_box = platform::gui::outlet<AKBox>(m_wizardWindow, QStringLiteral("IBbox_"));
    m_logo = platform::gui::outlet<QLabel>(m_wizardWindow, QStringLiteral("IBlogo_"));
    m_paneTitle = platform::gui::outlet<QLabel>(m_wizardWindow, QStringLiteral("IBpaneTitle_"));
    m_nextPaneButton = platform::gui::outlet<QPushButton>(m_wizardWindow, QStringLiteral("nextPaneButton"));
    m_previousPaneButton = platform::gui::outlet<QPushButton>(m_wizardWindow, QStringLiteral("previousPaneButton"));
    if (m_nextPaneButton) {
        m_nextPaneButton->setDefault(true);
        connect(m_nextPaneButton, &QPushButton::clicked, this, [this] { goToNextPane(); });
    }
    if (m_previousPaneButton) {
        auto* back = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Left), m_wizardWindow);
        connect(back, &QShortcut::activated, m_previousPaneButton, &QPushButton::click);
        connect(m_previousPaneButton, &QPushButton::clicked, this, [this] { goToPreviousPane(); });
    }
    m_wizardWindow->installEventFilter(this);

    for (const PaneFactory& make : m_paneFactories) {
        std::unique_ptr<AKPaneController> pane = make ? make() : nullptr;
        if (!pane || !pane->initWithDefaultNib()) {
            lumwickLog(QStringLiteral("couldn't init paneController"));
            continue;
        }
        pane->setMainController(this);
        if (m_box)
            pane->wizardPaneView()->setParent(m_box);
        pane->wizardPaneView()->hide();
        m_paneControllers.push_back(std::move(pane));
    }
    m_wizardWindow->setWindowTitle(localized(QStringLiteral("kWindowTitle")));
    m_currentPaneController = nullptr;
    initInterface();
}

void AKMainController::initInterface()
{
    if (m_paneControllers.empty()) {
        lumwickLog(QStringLiteral("big trouble in little china!"));
        enableChangeToNextPane(false);
        setPreviousButtonEnabled(false);
        return;
    }
    m_currentPaneController = m_paneControllers.front().get();
    changeViewToNewCurrentPane(nullptr);
    enableChangeToNextPane(false);
    setPreviousButtonEnabled(false);
    if (m_nextPaneButton)
        m_nextPaneButton->setText(localized(QStringLiteral("kNextPane")));
    m_currentPaneController->startProcessing();
}

void AKMainController::doCustomize()
{
    if (!m_owner || !m_wizardWindow)
        return;
    const QImage logo = m_owner->getAssistantLogo();
    if (!logo.isNull() && m_logo)
        m_logo->setPixmap(QPixmap::fromImage(logo));
    const QString title = m_owner->getAssistantTitle();
    if (!title.isNull())
        m_wizardWindow->setWindowTitle(title);
}

int AKMainController::currentIndex() const
{
    for (size_t i = 0; i < m_paneControllers.size(); ++i)
        if (m_paneControllers[i].get() == m_currentPaneController)
            return int(i);
    return -1;
}

bool AKMainController::selectNextPaneControllerInDirection(int direction)
{
    if (direction != 1 && direction != -1) {
        lumwickLog(QStringLiteral("program bug: direction must be +/-1, it is %1").arg(direction));
        return false;
    }
    int index = currentIndex();
    do {
        index += direction;
        m_currentPaneController = index >= 0 && index < int(m_paneControllers.size())
            ? m_paneControllers[size_t(index)].get()
            : nullptr;
    } while (m_currentPaneController && m_currentPaneController->doSkipProcessing());
    return m_currentPaneController != nullptr;
}

void AKMainController::changeViewToNewCurrentPane(QWidget* oldView)
{
    if (oldView)
        oldView->hide();
    if (QWidget* view = m_currentPaneController->wizardPaneView()) {
        if (m_box)
            view->setGeometry(m_box->whiteRect());
        view->show();
    }
    setPaneTitleForCurrentPane();
}

void AKMainController::setPaneTitleForCurrentPane()
{
    if (m_paneTitle && m_currentPaneController)
        m_paneTitle->setText(m_currentPaneController->localizedPaneName());
}

void AKMainController::goToNextPane()
{
    AKPaneController* leaving = m_currentPaneController;
    if (!leaving)
        return;   // no pane, or the wizard already ended
    leaving->stopProcessing();
    if (selectNextPaneControllerInDirection(1)) {
        changeViewToNewCurrentPane(leaving->wizardPaneView());
        m_currentPaneController->prepareForDisplay();
        m_currentPaneController->startProcessing();
        return;
    }
    const QVariantMap result = m_deviceExpert ? m_deviceExpert->getPropertiesDictionary() : QVariantMap();
    if (m_owner)
        m_owner->assistantDidEndWithPairing(result);
    if (m_wizardWindow)
        m_wizardWindow->close();
}

void AKMainController::goToPreviousPane()
{
    AKPaneController* leaving = m_currentPaneController;
    if (!leaving)
        return;
    leaving->stopProcessing();
    if (selectNextPaneControllerInDirection(-1)) {
        changeViewToNewCurrentPane(leaving->wizardPaneView());
        m_currentPaneController->prepareForDisplay();
        m_currentPaneController->startProcessing();
        return;
    }
    lumwickLog(QStringLiteral("No previous pane wants control"));
    m_currentPaneController = leaving;
}

void AKMainController::enableChangeToNextPane(bool enable)
{
    if (m_nextPaneButton)
        m_nextPaneButton->setEnabled(enable);
}

void AKMainController::setNextButtonEnabled(bool enable, const QString& titleKey)
{
    if (m_nextPaneButton)
        m_nextPaneButton->setText(localized(titleKey));
    enableChangeToNextPane(enable);
}

void AKMainController::setPreviousButtonEnabled(bool enable)
{
    if (m_previousPaneButton)
        m_previousPaneButton->setEnabled(enable);
}

bool AKMainController::isValid(const QVariantMap& properties)
{
    return m_owner && m_owner->isValid(properties);
}

QImage AKMainController::getStatusIcon(int)
{
    return {};
}

void AKMainController::setDevice(std::shared_ptr<void>)
{
    lumwickLog(QStringLiteral("Device not used in AKMainController"));
}

std::shared_ptr<void> AKMainController::device() const
{
    lumwickLog(QStringLiteral("Device not used in AKMainController"));
    return nullptr;
}

QString AKMainController::getUniqueSerialPortNameWithBaseString(const QString& base)
{
    if (auto* names = dynamic_cast<QVWizardSerialPortNames*>(m_owner.get()))
        return names->getUniqueSerialPortNameWithBaseString(base);
    return base;
}

bool AKMainController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_wizardWindow && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        if (m_confirmCancel && m_confirmCancel())
            m_wizardWindow->close();
        return true;
    }
    return QObject::eventFilter(watched, event);
}
