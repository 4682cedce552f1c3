#include "app/TarnexWizardSheet.h"

#include "app/TarnexController.h"

#include "lumwick/BluetoothPairingController.h"
#include "lumwick/DeviceExpert.h"
#include "lumwick/DeviceSelectionController.h"
#include "platform/Localization.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QShortcut>
#include <QVBoxLayout>

namespace {

QString wizardSheetText(const char* key)
{
    return platform::localizedString(QLatin1String(key));
}

} // namespace

TarnexWizardSheet::TarnexWizardSheet(TarnexController& host, QWidget* window)
    : QObject(&host)
    , host_(host)
{
    build(window);
    selection_ = std::make_unique<DeviceSelectionController>();
    selection_->initWithDefaultNib();
    pairing_ = std::make_unique<BluetoothPairingController>();
    pairing_->initWithDefaultNib();
    for (AKPaneController* pane : {static_cast<AKPaneController*>(selection_.get()),
                                   static_cast<AKPaneController*>(pairing_.get())}) {
        pane->setMainController(&host_);
        if (QWidget* view = pane->wizardPaneView()) {
            view->setParent(sheetPanelView_);
            sheetPanelView_->layout()->addWidget(view);
            view->hide();
        }
    }
}

TarnexWizardSheet::~TarnexWizardSheet()
{
    ended_ = nullptr;
    // The host goes first: the panes stop without telling it.
    selection_->setMainController(nullptr);
    pairing_->setMainController(nullptr);
    if (step_ != kNone && sheetPanelView_)
        stopPanes();
    delete sheetWindow_.data();
}

void TarnexWizardSheet::build(QWidget* window)
{
    auto* sheet = new QDialog(window, Qt::Sheet);
    sheetWindow_ = sheet;
    sheet->setObjectName(QStringLiteral("sheetWindow"));
    sheet->setWindowModality(Qt::WindowModal);
    sheet->setWindowTitle(wizardSheetText("TeachInTitle"));
    sheet->resize(600, 440);
    auto* layout = new QVBoxLayout(sheet);
    sheetPanelView_ = new QWidget(sheet);
    sheetPanelView_->setObjectName(QStringLiteral("sheetPanelView"));
    auto* panel = new QVBoxLayout(sheetPanelView_);
    panel->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(sheetPanelView_, 1);
    auto* buttons = new QHBoxLayout;
    sheetCancelButton_ = new QPushButton(wizardSheetText("Cancel"), sheet);
    sheetCancelButton_->setObjectName(QStringLiteral("sheetCancelButton"));
    sheetCancelButton_->setAutoDefault(false);
    buttons->addWidget(sheetCancelButton_);
    buttons->addStretch(1);
    sheetPrevPaneButton_ = new QPushButton(wizardSheetText("kPrevious"), sheet);
    sheetPrevPaneButton_->setObjectName(QStringLiteral("sheetPrevPaneButton"));
    sheetPrevPaneButton_->setAutoDefault(false);
    sheetNextPaneButton_ = new QPushButton(wizardSheetText("kNext"), sheet);
    sheetNextPaneButton_->setObjectName(QStringLiteral("sheetNextPaneButton"));
    sheetNextPaneButton_->setDefault(true);
    buttons->addWidget(sheetPrevPaneButton_);
    buttons->addWidget(sheetNextPaneButton_);
    layout->addLayout(buttons);
    connect(sheetNextPaneButton_, &QPushButton::clicked, this, [this] { host_.sheetNextPressed(); });
    connect(sheetPrevPaneButton_, &QPushButton::clicked, this, [this] { host_.sheetPrevPressed(); });
    connect(sheetCancelButton_, &QPushButton::clicked, this, [this] { cancelPressed(); });
    auto* next = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Right), sheet);
    connect(next, &QShortcut::activated, this, [this] {
        if (sheetNextPaneButton_->isEnabled())
            host_.sheetNextPressed();
    });
    auto* previous = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Left), sheet);
    connect(previous, &QShortcut::activated, this, [this] {
        if (sheetPrevPaneButton_->isEnabled())
            host_.sheetPrevPressed();
    });
    // Escape (the dialog's reject) is Cancel.
    connect(sheet, &QDialog::rejected, this, [this] {
        if (!ending_)
            cancelPressed();
    });
}

bool TarnexWizardSheet::isShowing() const
{
    return step_ != kNone;
}

AKPaneController* TarnexWizardSheet::currentPane() const
{
    if (step_ == kSelection)
        return selection_.get();
    if (step_ == kPairing)
        return pairing_.get();
    return nullptr;
}

void TarnexWizardSheet::begin(Ended ended)
{
    ended_ = std::move(ended);
    // The panes hand their experts to the host, which makes each the phone
    // object: the one before the sheet comes back when no phone is chosen.
    phoneBefore_ = host_.phoneObject();
    show(kSelection);
    sheetWindow_->open();
}

void TarnexWizardSheet::show(Step step)
{
    step_ = step;
    selection_->wizardPaneView()->setVisible(step == kSelection);
    pairing_->wizardPaneView()->setVisible(step == kPairing);
    sheetPrevPaneButton_->setEnabled(step == kPairing);
    setNextEnabled(false);
    AKPaneController* pane = currentPane();
    pane->prepareForDisplay();
    pane->startProcessing();
    if (step == kPairing && !pairing_->pairingSuccessful())
        setNextEnabled(false);
}

void TarnexWizardSheet::setNextEnabled(bool enabled)
{
    // On the pairing pane Next waits for the pairing itself.
    if (step_ == kPairing && !pairing_->pairingSuccessful())
        enabled = false;
    if (sheetNextPaneButton_)
        sheetNextPaneButton_->setEnabled(enabled);
}

void TarnexWizardSheet::nextPressed()
{
    AKPaneController* pane = currentPane();
    if (!pane || pane->handleNextButton())
        return;
    goToNextPane();
}

void TarnexWizardSheet::prevPressed()
{
    AKPaneController* pane = currentPane();
    if (!pane || pane->handlePreviousButton())
        return;
    if (step_ == kPairing) {
        if (pairing_->pairingInProgress())
            pairing_->cancelPairing();
        pairing_->stopProcessing();
        show(kSelection);
    }
}

void TarnexWizardSheet::goToNextPane()
{
    if (step_ == kSelection) {
        if (!selection_->canUseSelectedDevice())
            return;
        selection_->stopProcessing();
        if (pairing_->doSkipProcessing()) {
            step_ = kNone;
            end(1);
            return;
        }
        show(kPairing);
    } else if (step_ == kPairing) {
        if (!pairing_->pairingSuccessful())
            return;
        pairing_->stopProcessing();
        step_ = kNone;
        end(1);
    }
}

void TarnexWizardSheet::cancelPressed()
{
    stopPanes();
    step_ = kNone;
    end(0);
}

void TarnexWizardSheet::stopPanes()
{
    if (step_ == kSelection) {
        selection_->stopProcessing();
    } else if (step_ == kPairing) {
        if (pairing_->pairingInProgress())
            pairing_->cancelPairing();
        pairing_->stopProcessing();
    }
}

void TarnexWizardSheet::end(int code)
{
    if (ending_)
        return;
    ending_ = true;
    // Ending with a phone comes after the panes finished their work.
    if (step_ != kNone && code != 1)
        stopPanes();
    step_ = kNone;
    host_.didEndWizardSheet(sheetWindow_, code);
    ending_ = false;
    std::shared_ptr<DeviceExpert> chosen;
    if (code == 1) {
        chosen = host_.deviceExpert();
        if (chosen && !chosen->isSupportedDevice())
            chosen = nullptr;
    }
    if (!chosen)
        host_.setPhoneObject(phoneBefore_);
    phoneBefore_.reset();
    if (Ended ended = std::exchange(ended_, nullptr))
        ended(chosen);
}

// The main window controller's side of the sheet.

TarnexWizardSheet* TarnexController::wizardSheet()
{
    if (!wizardSheet_)
        wizardSheet_ = new TarnexWizardSheet(*this, mainWindow());
    return wizardSheet_;
}

bool TarnexController::isWizardSheetShowing() const
{
    return wizardSheet_ && wizardSheet_->isShowing();
}

QDialog* TarnexController::sheetWindow() const
{
    return wizardSheet_ ? wizardSheet_->sheetWindow() : nullptr;
}

void TarnexController::didEndWizardSheet(QDialog* sheet, int returnCode)
{
    QDialog* ended = sheet ? sheet : sheetWindow();
    if (!ended)
        return;
    if (ended->isVisible())
        ended->done(returnCode);
    ended->hide();
}
