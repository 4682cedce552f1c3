#include "app/PreferenceWindow.h"

#include "app/PreferenceHandler.h"

#include "platform/Localization.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFormLayout>
#include <QLabel>
#include <QShortcut>
#include <QSpinBox>
#include <QStackedWidget>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

QString prefText(const char* format, const QString& identifier)
{
    return platform::localizedString(QString::fromLatin1(format).arg(identifier));
}

} // namespace

PreferenceWindow::PreferenceWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("preferenceWindow"));
    setWindowTitle(platform::localizedString(QStringLiteral("PrefWindowTitle")));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    toolbar_ = new QToolBar(this);
    layout->addWidget(toolbar_);
    tabView_ = new QStackedWidget(this);
    tabView_->setObjectName(QStringLiteral("prefTabView"));
    layout->addWidget(tabView_, 1);
    tabView_->addWidget(makeGeneralPage());
    tabView_->addWidget(makeUpdatePage());
    setupToolbar();
    selectTab(QLatin1String(PreferenceHandler::kGeneralItem));

    auto* next = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Tab), this);
    connect(next, &QShortcut::activated, this, [this] { selectNextTab(1); });
    auto* previous = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), this);
    connect(previous, &QShortcut::activated, this, [this] { selectNextTab(-1); });
    auto* previousAlt = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), this);
    connect(previousAlt, &QShortcut::activated, this, [this] { selectNextTab(-1); });
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
    refresh();
    setMinimumWidth(460);
}

void PreferenceWindow::setupToolbar()
{
    toolbar_->setObjectName(QLatin1String(PreferenceHandler::kToolbarIdentifier));
    toolbar_->setAccessibleName(platform::localizedString(QStringLiteral("PrefWindowTitle")));
    toolbar_->setMovable(false);
    toolbar_->setFloatable(false);
    toolbar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolbar_->setIconSize(QSize(32, 32));
    toolbar_->toggleViewAction()->setVisible(false);
    toolbar_->setContextMenuPolicy(Qt::PreventContextMenu);
    auto* group = new QActionGroup(this);
    group->setExclusive(true);
    PreferenceHandler& handler = PreferenceHandler::sharedPreferenceHandler();
    for (const QString& identifier : PreferenceHandler::toolbarDefaultItemIdentifiers()) {
        if (identifier == QLatin1String(PreferenceHandler::kSpaceItem)) {
            auto* space = new QWidget(toolbar_);
            space->setFixedWidth(16);
            toolbar_->addWidget(space);
            continue;
        }
        auto* item = new QAction(toolbar_);
        item->setObjectName(identifier);
        item->setData(identifier);
        item->setText(prefText(PreferenceHandler::kLabelKey, identifier));
        item->setIconText(item->text());
        item->setToolTip(prefText(PreferenceHandler::kToolTipKey, identifier));
        const QImage image = PreferenceHandler::toolbarItemImage(identifier);
        if (!image.isNull())
            item->setIcon(QIcon(QPixmap::fromImage(image)));
        item->setCheckable(PreferenceHandler::toolbarSelectableItemIdentifiers().contains(identifier));
        item->setEnabled(handler.validateToolbarItem(identifier));
        group->addAction(item);
        connect(item, &QAction::triggered, this,
                [identifier] { PreferenceHandler::sharedPreferenceHandler().switchToPrefPanel(identifier); });
        toolbar_->addAction(item);
        items_.insert(identifier, item);
    }
}

QWidget* PreferenceWindow::makeGeneralPage()
{
    auto* page = new QWidget(tabView_);
    page->setObjectName(QLatin1String(PreferenceHandler::kGeneralItem));
    auto* form = new QFormLayout(page);
    form->setContentsMargins(20, 16, 20, 16);
    form->setRowWrapPolicy(QFormLayout::DontWrapRows);
    PreferenceHandler& handler = PreferenceHandler::sharedPreferenceHandler();

    warnOnQuit_ = new QCheckBox(platform::localizedString(QStringLiteral("PrefWarnOnQuit")), page);
    warnOnQuit_->setObjectName(QStringLiteral("warnOnQuit"));
    connect(warnOnQuit_, &QCheckBox::clicked, this, [this](bool) {
        PreferenceHandler::sharedPreferenceHandler().changeWarnOnQuit(warnOnQuit_->checkState() == Qt::Checked ? 1 : 0);
    });
    form->addRow(warnOnQuit_);

    syncImmediately_ = new QCheckBox(platform::localizedString(QStringLiteral("PrefSyncImmediatelyLbl")), page);
    syncImmediately_->setObjectName(QStringLiteral("syncImmediately"));
    connect(syncImmediately_, &QCheckBox::clicked, this,
            [](bool on) { PreferenceHandler::sharedPreferenceHandler().setSyncImmediately(on); });
    form->addRow(syncImmediately_);

    showDeleteMsgWarn_ = new QCheckBox(platform::localizedString(QStringLiteral("PrefShowDeleteMsgWarnLbl")), page);
    showDeleteMsgWarn_->setObjectName(QStringLiteral("showDeleteMsgWarn"));
    connect(showDeleteMsgWarn_, &QCheckBox::clicked, this,
            [](bool on) { PreferenceHandler::sharedPreferenceHandler().setShowDeleteMessageWarning(on); });
    form->addRow(showDeleteMsgWarn_);

    emptyTrashAfter_ = new QSpinBox(page);
    emptyTrashAfter_->setObjectName(QStringLiteral("emptyTrashAfter"));
    emptyTrashAfter_->setRange(PreferenceHandler::kMinTrashDays, PreferenceHandler::kMaxTrashDays);
    emptyTrashAfter_->setSuffix(platform::localizedString(QStringLiteral("PrefDaysSuffix")));
    emptyTrashAfter_->setAccessibleName(platform::localizedString(QStringLiteral("PrefEmptyTrashLbl")));
    emptyTrashAfter_->setKeyboardTracking(false);
    connect(emptyTrashAfter_, &QSpinBox::valueChanged, this,
            [](int days) { PreferenceHandler::sharedPreferenceHandler().setEmptyTrashPeriod(days); });
    auto* trashLabel = new QLabel(platform::localizedString(QStringLiteral("PrefEmptyTrashLbl")), page);
    trashLabel->setBuddy(emptyTrashAfter_);
    form->addRow(trashLabel, emptyTrashAfter_);
    (void)handler;

    setTabOrder(warnOnQuit_, syncImmediately_);
    setTabOrder(syncImmediately_, showDeleteMsgWarn_);
    setTabOrder(showDeleteMsgWarn_, emptyTrashAfter_);
    return page;
}

QWidget* PreferenceWindow::makeUpdatePage()
{
    auto* page = new QWidget(tabView_);
    page->setObjectName(QLatin1String(PreferenceHandler::kUpdateItem));
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(20, 16, 20, 16);
    versionLabel_ = new QLabel(
        platform::localizedString(QStringLiteral("PrefVersion")).arg(QCoreApplication::applicationVersion()), page);
    versionLabel_->setObjectName(QStringLiteral("versionLabel"));
    versionLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    versionLabel_->setFocusPolicy(Qt::StrongFocus);
    layout->addWidget(versionLabel_);
    auto* note = new QLabel(platform::localizedString(QStringLiteral("PrefUpdateNote")), page);
    note->setObjectName(QStringLiteral("updateNote"));
    note->setWordWrap(true);
    layout->addWidget(note);
    layout->addStretch(1);
    return page;
}

QString PreferenceWindow::selectedIdentifier() const
{
    QWidget* page = tabView_->currentWidget();
    return page ? page->objectName() : QString();
}

void PreferenceWindow::selectTab(const QString& identifier)
{
    for (int index = 0; index < tabView_->count(); ++index) {
        if (tabView_->widget(index)->objectName() == identifier) {
            tabView_->setCurrentIndex(index);
            if (QAction* item = items_.value(identifier))
                item->setChecked(true);
            return;
        }
    }
}

void PreferenceWindow::selectNextTab(int step)
{
    const int count = tabView_->count();
    if (count == 0)
        return;
    const int next = ((tabView_->currentIndex() + step) % count + count) % count;
    selectTab(tabView_->widget(next)->objectName());
    if (QWidget* first = tabView_->currentWidget()->nextInFocusChain(); first && tabView_->currentWidget()->isAncestorOf(first))
        first->setFocus(Qt::TabFocusReason);
}

void PreferenceWindow::refresh()
{
    const PreferenceHandler& handler = PreferenceHandler::sharedPreferenceHandler();
    warnOnQuit_->setChecked(handler.doWarnOnQuit());
    syncImmediately_->setChecked(handler.doSyncImmediately());
    showDeleteMsgWarn_->setChecked(handler.showDeleteMessageWarning());
    const QSignalBlocker blocker(emptyTrashAfter_);
    emptyTrashAfter_->setValue(handler.emptyTrashPeriod());
}
