#include "widgets/WidgetClasses.h"

#include "platform/gui/Interface.h"
#include "widgets/AboutTextView.h"
#include "widgets/AnimatingTabView.h"
#include "widgets/AppLaunchButton.h"
#include "widgets/BasisOverlayFrame.h"
#include "widgets/BasisOverlayView.h"
#include "widgets/BetterSplitView.h"
#include "widgets/BlackToolWindow.h"
#include "widgets/ButtonPathPopup.h"
#include "widgets/ButtonPopup.h"
#include "widgets/CanMovedView.h"
#include "widgets/CenterButton.h"
#include "widgets/CollapsibleBox.h"
#include "widgets/FooterToolBarView.h"
#include "widgets/HyperLinkButton.h"
#include "widgets/MirroredImageView.h"
#include "widgets/MirroredText.h"
#include "widgets/MirrovanceWindow.h"
#include "widgets/NSCollapsButton.h"
#include "widgets/NSGreyButton.h"
#include "widgets/NSScaledImageButton.h"
#include "widgets/NSToolbarImageButton.h"
#include "widgets/NSWindowResizeView.h"
#include "widgets/OneLineSplitView.h"
#include "widgets/OverlayProgressBar.h"
#include "widgets/PathPopup.h"
#include "widgets/PdfPageView.h"
#include "widgets/PhoneButtonCell.h"
#include "widgets/PhoneButtonOnBlackCell.h"
#include "widgets/PolishedMetallPanel.h"
#include "widgets/PolishedMetallWindow.h"
#include "widgets/ProgressCycle.h"
#include "widgets/PulsingCenterButton.h"
#include "widgets/QVLargeSpinProgress.h"
#include "widgets/ResizerButtonView.h"
#include "widgets/SelectToolViewList.h"
#include "widgets/WhiteButton.h"

namespace {
template <class T>
void add(const char* name)
{
    platform::gui::registerWidgetClass(QLatin1String(name), [](QWidget* parent) { return new T(parent); });
}
} // namespace

void registerWidgetClasses()
{
    // A bar from a form starts with every setting cleared; the form gives them.
    platform::gui::registerWidgetClass(QStringLiteral("FooterToolBarView"), [](QWidget* parent) {
        return new FooterToolBarView(parent, FooterToolBarView::Origin::FromInterface);
    });
    add<BasisOverlayView>("BasisOverlayView");
    add<BasisOverlayFrame>("BasisOverlayFrame");
    add<OverlayProgressBar>("OverlayProgressBar");
    add<ProgressCycle>("ProgressCycle");
    add<BlackToolWindow>("BlackToolWindow");
    add<NSScaledImageButton>("NSScaledImageButton");
    add<NSToolbarImageButton>("NSToolbarImageButton");
    add<MirroredText>("MirroredText");
    add<MirroredImageView>("MirroredImageView");
    add<WhiteButton>("WhiteButton");
    add<NSGreyButton>("NSGreyButton");
    add<MirrovanceWindow>("MirrovanceWindow");
    add<QVLargeSpinProgress>("QVLargeSpinProgress");
    add<SelectToolViewList>("SelectToolViewList");
    add<PolishedMetallWindow>("PolishedMetallWindow");
    add<PolishedMetallPanel>("PolishedMetallPanel");
    add<CanMovedView>("CanMovedView");
    add<CenterButton>("CenterButton");
    add<PulsingCenterButton>("PulsingCenterButton");
    add<PhoneButtonCell>("PhoneButtonCell");
    add<PhoneButtonOnBlackCell>("PhoneButtonOnBlackCell");
    add<CollapsibleBox>("CollapsibleBox");
    add<NSCollapsButton>("NSCollapsButton");
    add<NSWindowResizeView>("NSWindowResizeView");
    add<BetterSplitView>("BetterSplitView");
    add<OneLineSplitView>("OneLineSplitView");
    add<ResizerButtonView>("ResizerButtonView");
    add<ButtonPopup>("ButtonPopup");
    add<ButtonPathPopup>("ButtonPathPopup");
    add<PathPopup>("PathPopup");
    add<AppLaunchButton>("AppLaunchButton");
    add<HyperLinkButton>("HyperLinkButton");
    add<AnimatingTabView>("AnimatingTabView");
    add<AboutTextView>("AboutTextView");
    add<PdfPageView>("PdfPageView");
}
