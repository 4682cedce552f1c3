#pragma once

#include "platform/Clock.h"
#include "widgets/AboutTextView.h"
#include "widgets/FancyPanelDelegate.h"
#include "widgets/NSFancyPanel.h"

#include <QLabel>
#include <QPointer>
#include <QString>
#include <QVariantMap>
#include <functional>

class QWidget;

// The program's About panel: a borderless sheet on the main window with the
// version fields and credits that scroll up by themselves, a point every
// 0.03 s, starting again from the top after the end. Any key, a left or
// right click on the panel, the program losing focus or the panel losing
// its active state hides it. The layout is the "AboutPanel" form; the
// credits are "Credits1", the version line, "Credits2".
class AboutPanelController : public FancyPanelDelegate {
public:
    static constexpr double kScrollInterval = 0.03;
    static constexpr int kTrailingNewlines = 12;
    static constexpr int kVersionFontSize = 14;

    // The window the sheet goes on, as the program gives it (may answer null:
    // the panel then shows on its own).
    using MainWindowProvider = std::function<QWidget*()>;
    static void setMainWindowProvider(MainWindowProvider provider);

    // Made on first use and kept until the program ends.
    static AboutPanelController& sharedInstance();

    AboutPanelController();
    ~AboutPanelController() override;
    AboutPanelController(const AboutPanelController&) = delete;
    AboutPanelController& operator=(const AboutPanelController&) = delete;

    // The standard About command: no scroller, then showPanel().
    void orderFrontStandardAboutPanel();
    // The variant with options shows nothing.
    void orderFrontStandardAboutPanelWithOptions(const QVariantMap&) { }
    void showPanel();
    void hidePanel();
    bool isPanelVisible() const;

    void setShowsScroller(bool shows);
    void startScrollingAnimation();
    void stopScrollingAnimation();
    bool isScrolling() const { return scrollingTimer_.isActive(); }
    void scrollOneUnit();
    void setScrollAmount(int y);
    int scrollAmount() const;

    // The version the credits and the version field name (the program's
    // version unless set); empty reads "???".
    void setBuildVersion(const QString& version) { buildVersion_ = version; }
    static QString versionLine(const QString& buildVersion);
    void displayVersionInfo();
    void loadTextToScroll();

    NSFancyPanel* panel() const { return panelToDisplay_; }
    AboutTextView* textView() const { return textView_; }
    QLabel* versionField() const { return versionField_; }
    QLabel* shortInfoField() const { return shortInfoField_; }

    bool handlesKeyDown(QKeyEvent& event, NSFancyPanel& panel) override;
    bool handlesMouseDown(QMouseEvent& event, NSFancyPanel& panel) override;
    void panelDidResignMain(NSFancyPanel& panel) override;

private:
    void createPanelToDisplay();
    void watchForNotificationsWhichShouldHidePanel();
    void didEndAboutSheet(int returnCode);

    QPointer<NSFancyPanel> panelToDisplay_;
    QPointer<AboutTextView> textView_;
    QPointer<QLabel> versionField_;
    QPointer<QLabel> shortInfoField_;
    platform::Timer scrollingTimer_;
    QString buildVersion_;
};
