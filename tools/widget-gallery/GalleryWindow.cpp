#include "GalleryWindow.h"

#include "platform/gui/Interface.h"
#include "widgets/BasisOverlayView.h"
#include "widgets/BlackToolWindow.h"
#include "widgets/NSScaledImageButton.h"
#include "widgets/OverlayProgressBar.h"
#include "widgets/ProgressCycle.h"
#include "widgets/QVLargeSpinProgress.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

using platform::gui::outlet;

namespace {
const QString kBundle = QLatin1String(platform::gui::kProgramBundle);
}

GalleryWindow::GalleryWindow(QWidget* parent)
    : QWidget(parent)
    , progressTimer_([this] { reportProgress(); })
{
    form_ = platform::gui::loadInterface(kBundle, QStringLiteral("WidgetGallery"), this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(form_);
    setWindowTitle(form_->windowTitle());
    resize(form_->size());

    allowRemove_ = outlet<QCheckBox>(form_, QStringLiteral("allowRemove"));
    lastAction_ = outlet<QLabel>(form_, QStringLiteral("lastAction"));
    for (NSScaledImageButton* button : form_->findChildren<NSScaledImageButton*>()) {
        button->setTarget(this);
        button->ValidateButton();
    }
    if (allowRemove_)
        connect(allowRemove_, &QCheckBox::toggled, this, [this] { ValidateScaledImageButtons(this); });

    // Busy overlay over the target frame.
    busyOverlay_.reset(qobject_cast<BasisOverlayView*>(platform::gui::loadInterface(kBundle, QStringLiteral("BasisOverlay"))));
    if (busyOverlay_) {
        busyBar_ = outlet<OverlayProgressBar>(busyOverlay_.get(), QStringLiteral("progressBar"));
        busyMessage_ = outlet<QLabel>(busyOverlay_.get(), QStringLiteral("message"));
    }
    if (auto* show = outlet<QPushButton>(form_, QStringLiteral("showBusy")))
        connect(show, &QPushButton::clicked, this, [this] { showBusyOverlay(); });
    if (auto* hide = outlet<QPushButton>(form_, QStringLiteral("hideBusy")))
        connect(hide, &QPushButton::clicked, this, [this] {
            progressTimer_.stop();
            if (busyOverlay_)
                busyOverlay_->SetToOverlayView(nullptr);
        });
    auto* clickCount = outlet<QLabel>(form_, QStringLiteral("clickCount"));
    if (auto* below = outlet<QPushButton>(form_, QStringLiteral("clickBelow")); below && clickCount)
        connect(below, &QPushButton::clicked, this, [clickCount, n = 0]() mutable {
            clickCount->setText(tr("Clicks: %1").arg(++n));
        });

    // Circular progress: the slider drives the red ring, the idle ring turns.
    auto* red = outlet<ProgressCycle>(form_, QStringLiteral("cycleRed"));
    if (auto* slider = outlet<QSlider>(form_, QStringLiteral("cycleSlider")); slider && red)
        connect(slider, &QSlider::valueChanged, red, [red](int value) { red->setDoubleValue(value); });
    if (auto* idle = outlet<ProgressCycle>(form_, QStringLiteral("cycleIdle")))
        idle->startAnimation();

    if (auto* open = outlet<QPushButton>(form_, QStringLiteral("openDarkWindow")))
        connect(open, &QPushButton::clicked, this, [this] {
            if (!darkWindow_)
                darkWindow_ = qobject_cast<BlackToolWindow*>(platform::gui::loadInterface(kBundle, QStringLiteral("BlackToolWindow"), this));
            if (darkWindow_) {
                darkWindow_->move(mapToGlobal(QPoint(width() - darkWindow_->width() - 30, 40)));
                darkWindow_->show();
            }
        });
    if (auto* open = outlet<QPushButton>(form_, QStringLiteral("openMainWindowWidgets")))
        connect(open, &QPushButton::clicked, this, [this] {
            if (!mirrovanceWindow_) {
                mirrovanceWindow_ = platform::gui::loadInterface(kBundle, QStringLiteral("MirrovanceWindow"), this);
                if (auto* spinner = outlet<QVLargeSpinProgress>(mirrovanceWindow_, QStringLiteral("largeSpinner")))
                    spinner->startAnimation();
            }
            mirrovanceWindow_->move(mapToGlobal(QPoint(40, 40)));
            mirrovanceWindow_->show();
        });
}

GalleryWindow::~GalleryWindow() = default;

bool GalleryWindow::validateScaledImageButton(NSScaledImageButton& button)
{
    if (button.actionName() == QLatin1String("removeItem"))
        return items_ > 0 && allowRemove_ && allowRemove_->isChecked();
    return true;
}

void GalleryWindow::addItem()
{
    ++items_;
    noteAction(tr("Added: %1 items").arg(items_));
}

void GalleryWindow::removeItem()
{
    items_ = std::max(0, items_ - 1);
    noteAction(tr("Removed: %1 items").arg(items_));
}

void GalleryWindow::syncNow()
{
    noteAction(tr("Sync started"));
    showBusyOverlay();
}

void GalleryWindow::emptyTrash()
{
    noteAction(tr("Trash emptied"));
}

void GalleryWindow::noteAction(const QString& text)
{
    if (lastAction_)
        lastAction_->setText(text);
    ValidateScaledImageButtons(this);
}

void GalleryWindow::showBusyOverlay()
{
    auto* target = outlet<QWidget>(form_, QStringLiteral("overlayTarget"));
    if (!busyOverlay_ || !target)
        return;
    if (busyBar_) {
        busyBar_->setMinValue(0);
        busyBar_->setMaxValue(100);
        busyBar_->setDoubleValue(0);
    }
    if (busyMessage_)
        busyMessage_->setText(tr("Copying 12 contacts…"));
    if (!busyOverlay_->IsInOverlay()) {
        busyOverlay_->StayForSeconds(0);
        busyOverlay_->SetToOverlayView(target);
    }
    progressTimer_.start(0.1, true);
}

void GalleryWindow::reportProgress()
{
    if (!busyBar_ || !busyOverlay_)
        return;
    const double value = busyBar_->doubleValue() + 2;
    busyBar_->setDoubleValue(value);
    busyOverlay_->AddStaySeconds(1);
    if (value >= busyBar_->maxValue()) {
        progressTimer_.stop();
        if (busyMessage_)
            busyMessage_->setText(tr("Done"));
        busyOverlay_->StayForSeconds(1);
    }
}
