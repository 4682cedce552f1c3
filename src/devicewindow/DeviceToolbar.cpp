#include "devicewindow/DeviceToolbar.h"

#include "phone/MFDevice.h"
#include "platform/Localization.h"
#include "platform/gui/Images.h"

#include <QAction>
#include <QHBoxLayout>
#include <QWidgetAction>

namespace {

struct ToolbarItemRow {
    const QString* identifier;
    const char* name;
    const char* image;
};

const ToolbarItemRow* toolbarItemRow(const QString& identifier)
{
    static const ToolbarItemRow rows[] = {
        {&DeviceToolbar::kHome, "BackupCenter", "CenterHome"},
        {&DeviceToolbar::kBackup, "BackupCenterConnect", "BackupCenter"},
        {&DeviceToolbar::kMobileFinder, "MobileFinder", "MobileFinder"},
        {&DeviceToolbar::kOrganizer, "Organizer", "Toolbar-Organizer"},
        {&DeviceToolbar::kMediaCenter, "MediaCenter", "MediaCenterToolbar"},
        {&DeviceToolbar::kTimeTunnel, "TimeTunnel", "TimeTunnel"},
        {&DeviceToolbar::kRestoreDevice, "RestoreDevice", nullptr},
    };
    for (const auto& row : rows)
        if (*row.identifier == identifier)
            return &row;
    return nullptr;
}

} // namespace

DeviceToolbar::DeviceToolbar(bool history, DeviceToolbarDelegate* delegate, QWidget* parent)
    : QToolBar(parent), delegate_(delegate), history_(history)
{
    setObjectName(toolbarIdentifier(history));
    setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    setMovable(false);
    setFloatable(false);
    setIconSize(QSize(32, 32));
    for (const QString& identifier : defaultItemIdentifiers(history))
        addIdentifier(identifier);
}

QStringList DeviceToolbar::defaultItemIdentifiers(bool history)
{
    if (history)
        return {kHome,        kSpace,  kSeparator, kSpace,        kSpace,         kMobileFinder, kSpace, kSpace,
                kOrganizer,   kSpace,  kSpace,     kMediaCenter,  kFlexibleSpace, kSeparator,    kRestoreDevice};
    return {kHome,  kSpace,        kSpace, kSpace,       kMobileFinder, kSpace,         kSpace,     kOrganizer, kSpace,
            kSpace, kMediaCenter,  kSpace, kSpace,       kTimeTunnel,   kFlexibleSpace, kSeparator, kSpace,     kBackup};
}

QStringList DeviceToolbar::allowedItemIdentifiers(bool history)
{
    QStringList allowed{kSeparator, kSpace, kFlexibleSpace, kMobileFinder, kOrganizer, kMediaCenter, kBackup};
    if (history)
        allowed << kRestoreDevice << kHome;
    else
        allowed << kHome << kTimeTunnel;
    return allowed;
}

QString DeviceToolbar::itemName(const QString& identifier)
{
    const ToolbarItemRow* row = toolbarItemRow(identifier);
    return row ? QLatin1String(row->name) : QString();
}

QString DeviceToolbar::imageName(const QString& identifier)
{
    const ToolbarItemRow* row = toolbarItemRow(identifier);
    return row && row->image ? QLatin1String(row->image) : QString();
}

QAction* DeviceToolbar::item(const QString& identifier) const
{
    for (QAction* action : actions())
        if (action->objectName() == identifier)
            return action;
    return nullptr;
}

QAction* DeviceToolbar::itemForItemIdentifier(const QString& identifier)
{
    const ToolbarItemRow* row = toolbarItemRow(identifier);
    if (!row)
        return nullptr;
    const QString name = QLatin1String(row->name);
    QAction* action;
    if (identifier == kRestoreDevice) {
        auto* holder = new QWidgetAction(this);
        restoreAction_ = holder;
        if (restoreView_)
            holder->setDefaultWidget(restoreView_);
        action = holder;
    } else {
        action = new QAction(this);
    }
    action->setObjectName(identifier);
    action->setText(platform::localizedString(QStringLiteral("%1_Lbl").arg(name)));
    action->setToolTip(platform::localizedString(QStringLiteral("%1_Tip").arg(name)));
    if (row->image) {
        const QImage picture = platform::gui::image(QStringLiteral("program"), QLatin1String(row->image));
        if (!picture.isNull())
            action->setIcon(QIcon(QPixmap::fromImage(picture)));
    }
    if (identifier == kBackup)
        connect(action, &QAction::triggered, this, [this] { if (delegate_) delegate_->connectionCenter(); });
    else if (identifier == kTimeTunnel)
        connect(action, &QAction::triggered, this, [this] { if (delegate_) delegate_->timeTunnel(); });
    else if (identifier != kRestoreDevice)
        connect(action, &QAction::triggered, this,
                [this, identifier] { if (delegate_) delegate_->switchToCenter(identifier); });
    return action;
}

void DeviceToolbar::addIdentifier(const QString& identifier)
{
    if (identifier == kSeparator) {
        addSeparator();
    } else if (identifier == kSpace || identifier == kFlexibleSpace) {
        auto* space = new QWidget(this);
        if (identifier == kSpace)
            space->setFixedWidth(kSpaceWidth);
        else
            space->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        addWidget(space);
    } else if (identifier == kPrint) {
        auto* print = new QAction(tr("Print"), this);
        print->setObjectName(kPrint);
        toolbarWillAddItem(print);
        addAction(print);
    } else if (QAction* action = itemForItemIdentifier(identifier)) {
        toolbarWillAddItem(action);
        addAction(action);
    } else {
        return;
    }
    order_ << identifier;
}

void DeviceToolbar::toolbarWillAddItem(QAction* item)
{
    if (!item)
        return;
    if (item->objectName() == kPrint) {
        item->setToolTip(kPrintTip);
        disconnect(item, &QAction::triggered, this, nullptr);
        connect(item, &QAction::triggered, this, [this] { if (delegate_) delegate_->printDocument(); });
    } else if (item->objectName() == kRestoreDevice) {
        restoreAction_ = item;
        disconnect(item, &QAction::triggered, this, nullptr);
    }
}

void DeviceToolbar::setRestoreView(QWidget* view)
{
    restoreView_ = view;
    if (auto* holder = qobject_cast<QWidgetAction*>(restoreAction_.data())) {
        // A widget action shows its default widget only when set before it
        // is added: add it again.
        QAction* before = nullptr;
        const auto all = actions();
        const int at = all.indexOf(holder);
        if (at >= 0 && at + 1 < all.size())
            before = all.at(at + 1);
        removeAction(holder);
        holder->setDefaultWidget(view);
        view->setMinimumSize(view->size());
        view->setMaximumSize(view->size());
        insertAction(before, holder);
    }
}

void DeviceToolbar::validateItems()
{
    for (QAction* action : actions()) {
        if (action->objectName().endsWith(QLatin1String(" ToolbarIdentifier")))
            action->setEnabled(delegate_ && delegate_->validateToolbarItem(action->objectName()));
    }
}

bool DeviceToolbar::validateItemFor(const QString& identifier, const MFDevice* device, bool mainThreadCallRunning)
{
    if (mainThreadCallRunning)
        return false;
    if (identifier == kMobileFinder)
        return device && device->canDoFileSystemServices();
    if (identifier == kOrganizer)
        return device && device->canDoAnyOrganizerServices();
    if (identifier == kBackup || identifier == kHome)
        return true;
    if (identifier == kMediaCenter)
        return device != nullptr;
    if (identifier == kTimeTunnel)
        return device && !device->isHistory();
    if (identifier == kRestoreDevice)
        return device && device->isHistory();
    return false;
}
