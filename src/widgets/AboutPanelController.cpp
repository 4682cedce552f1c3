#include "widgets/AboutPanelController.h"

#include "platform/Bundle.h"
#include "platform/NotificationCenter.h"
#include "platform/gui/ApplicationActivity.h"
#include "platform/gui/Interface.h"
#include "widgets/AboutTextView.h"
#include "widgets/NSFancyPanel.h"
#include "widgets/WidgetsLog.h"

#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QScrollBar>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QVBoxLayout>

namespace {

AboutPanelController::MainWindowProvider& mainWindowProvider()
{
    static AboutPanelController::MainWindowProvider provider;
    return provider;
}

QString credits(const char* name)
{
    QFile file(QStringLiteral(":/credits/%1.html").arg(QLatin1String(name)));
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcWidgets) << "AboutPanelController: no credits" << name;
        return {};
    }
    return QString::fromUtf8(file.readAll());
}

} // namespace

void AboutPanelController::setMainWindowProvider(MainWindowProvider provider)
{
    mainWindowProvider() = std::move(provider);
}

AboutPanelController& AboutPanelController::sharedInstance()
{
    static AboutPanelController* controller = new AboutPanelController();
    return *controller;
}

AboutPanelController::AboutPanelController()
    : scrollingTimer_([this] { scrollOneUnit(); })
    , buildVersion_(QCoreApplication::applicationVersion())
{
    createPanelToDisplay();
    displayVersionInfo();
    loadTextToScroll();
    watchForNotificationsWhichShouldHidePanel();
}

AboutPanelController::~AboutPanelController()
{
    platform::NotificationCenter::defaultCenter().removeObserver(this);
    delete panelToDisplay_;
}

void AboutPanelController::createPanelToDisplay()
{
    panelToDisplay_ = new NSFancyPanel();
    panelToDisplay_->setObjectName(QStringLiteral("aboutPanel"));
    panelToDisplay_->setAccessibleName(QObject::tr("About"));
    panelToDisplay_->setDelegate(this);
    QWidget* content = platform::gui::loadInterface(QLatin1String(platform::gui::kProgramBundle),
                                                    QStringLiteral("AboutPanel"), panelToDisplay_);
    auto* layout = new QVBoxLayout(panelToDisplay_);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(content);
    panelToDisplay_->setFixedSize(content->size().expandedTo(content->minimumSizeHint()));
    textView_ = platform::gui::outlet<AboutTextView>(content, QStringLiteral("textView"));
    versionField_ = platform::gui::outlet<QLabel>(content, QStringLiteral("versionField"));
    shortInfoField_ = platform::gui::outlet<QLabel>(content, QStringLiteral("shortInfoField"));
}

void AboutPanelController::displayVersionInfo()
{
    const QString shortVersion = platform::bundle::applicationVersion();
    if (shortInfoField_ && !shortVersion.isEmpty())
        shortInfoField_->setText(shortVersion);
    if (versionField_ && !buildVersion_.isEmpty())
        versionField_->setText(QStringLiteral("Version ") + buildVersion_);
}

QString AboutPanelController::versionLine(const QString& buildVersion)
{
    return QStringLiteral("Version %1").arg(buildVersion.isEmpty() ? QStringLiteral("???") : buildVersion);
}

void AboutPanelController::loadTextToScroll()
{
    if (!textView_)
        return;
    textView_->clear();
    QTextCursor cursor(textView_->document());
    cursor.insertHtml(credits("Credits1"));
    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    centred.setTopMargin(6);
    centred.setBottomMargin(6);
    cursor.insertBlock(centred);
    QTextCharFormat version;
    version.setFontWeight(QFont::Bold);
    version.setFontPointSize(kVersionFontSize);
    version.setForeground(QColor(230, 230, 230));
    cursor.insertText(versionLine(buildVersion_), version);
    cursor.insertBlock(centred, QTextCharFormat());
    cursor.insertHtml(credits("Credits2"));
    // The text scrolls fully out before it starts again.
    cursor.insertText(QString(kTrailingNewlines, QLatin1Char('\n')));
    textView_->moveCursor(QTextCursor::Start);
}

void AboutPanelController::watchForNotificationsWhichShouldHidePanel()
{
    platform::NotificationCenter::defaultCenter().addObserver(
        this, QLatin1String(platform::gui::kApplicationWillResignActive), nullptr,
        [this](const platform::Notification&) { hidePanel(); });
}

void AboutPanelController::orderFrontStandardAboutPanel()
{
    setShowsScroller(false);
    showPanel();
}

void AboutPanelController::showPanel()
{
    if (!panelToDisplay_) {
        // The window it was a sheet on is gone, and the panel with it.
        createPanelToDisplay();
        displayVersionInfo();
        loadTextToScroll();
    }
    setScrollAmount(0);
    startScrollingAnimation();
    QWidget* window = mainWindowProvider() ? mainWindowProvider()() : nullptr;
    if (window && panelToDisplay_->parentWidget() != window)
        panelToDisplay_->setParent(window, panelToDisplay_->windowFlags());
    if (window)
        panelToDisplay_->move(window->mapToGlobal(QPoint((window->width() - panelToDisplay_->width()) / 2, 0)));
    QObject::disconnect(panelToDisplay_, &QDialog::finished, nullptr, nullptr);
    QObject::connect(panelToDisplay_, &QDialog::finished, panelToDisplay_,
                     [this](int code) { didEndAboutSheet(code); });
    panelToDisplay_->open();
    setScrollAmount(0); // also after the show, which lays the text out anew
    panelToDisplay_->activateWindow();
    panelToDisplay_->setFocus(Qt::OtherFocusReason);
}

void AboutPanelController::hidePanel()
{
    stopScrollingAnimation();
    if (panelToDisplay_ && panelToDisplay_->isVisible())
        panelToDisplay_->done(1);
}

void AboutPanelController::didEndAboutSheet(int)
{
    if (panelToDisplay_)
        panelToDisplay_->hide();
}

bool AboutPanelController::isPanelVisible() const
{
    return panelToDisplay_ && panelToDisplay_->isVisible();
}

void AboutPanelController::setShowsScroller(bool shows)
{
    if (textView_)
        textView_->setVerticalScrollBarPolicy(shows ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
}

void AboutPanelController::startScrollingAnimation()
{
    if (!scrollingTimer_.isActive())
        scrollingTimer_.start(kScrollInterval, true);
}

void AboutPanelController::stopScrollingAnimation()
{
    scrollingTimer_.stop();
}

int AboutPanelController::scrollAmount() const
{
    return textView_ ? textView_->verticalScrollBar()->value() : 0;
}

void AboutPanelController::scrollOneUnit()
{
    const int y = scrollAmount();
    setScrollAmount(y + 1);
    if (scrollAmount() == y)
        setScrollAmount(0); // the end: from the top again
}

void AboutPanelController::setScrollAmount(int y)
{
    if (!textView_)
        return;
    textView_->verticalScrollBar()->setValue(y);
    // The panel is see-through: what lies behind the text is drawn again too.
    if (panelToDisplay_)
        panelToDisplay_->update(QRect(textView_->mapTo(panelToDisplay_, QPoint()), textView_->size()));
}

bool AboutPanelController::handlesKeyDown(QKeyEvent&, NSFancyPanel&)
{
    hidePanel();
    return true;
}

bool AboutPanelController::handlesMouseDown(QMouseEvent&, NSFancyPanel&)
{
    hidePanel();
    return true;
}

void AboutPanelController::panelDidResignMain(NSFancyPanel&)
{
    hidePanel();
}
