#include "organizer/contacts/OrganizerContactsViewCenter.h"

#include "organizer/contacts/ContactStore.h"
#include "organizer/contacts/OrganizerContactsView.h"

#include "devicewindow/DeviceWindowMakers.h"
#include "phone/MFDevice.h"
#include "sync/SyncEngineHandler.h"

#include <QApplication>
#include <QLabel>
#include <QToolTip>
#include <QVBoxLayout>

OrganizerContactsViewCenter::OrganizerContactsViewCenter(ContactStore* store, QWidget* parent) : ToolView(parent)
{
    contactsView_ = new OrganizerContactsView(this);
    contactsView_->setContactStore(store);
    footer_ = new QLabel(this);
    footer_->setObjectName(QStringLiteral("organizerFooter"));
    footer_->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(contactsView_, 1);
    layout->addWidget(footer_);
    contactsView_->awakeFromNib();
}

OrganizerContactsViewCenter::~OrganizerContactsViewCenter() = default;

void OrganizerContactsViewCenter::setup(DeviceWindowController* controller, MFDevice* device)
{
    ToolView::setup(controller, device);
    contactsView_->setup(controller, device, this);
}

void OrganizerContactsViewCenter::activate()
{
    active_ = true;
    contactsView_->activate();
    contactsView_->updateBottomLine();
}

void OrganizerContactsViewCenter::deactivate()
{
    active_ = false;
    contactsView_->deactivate();
}

QString OrganizerContactsViewCenter::stateInfo() const
{
    return contactsView_->stateInfo();
}

void OrganizerContactsViewCenter::processStateInfo(const QString& rest)
{
    contactsView_->processStateInfo(rest);
}

void OrganizerContactsViewCenter::setFooterText(const QString& text)
{
    footer_->setText(text);
}

bool OrganizerContactsViewCenter::isActiveView(const QWidget* pane)
{
    return pane == contactsView_;
}

void OrganizerContactsViewCenter::reloadData()
{
    contactsView_->updateBottomLine();
}

bool OrganizerContactsViewCenter::isSyncEnabledForProperty(int property)
{
    MFDevice* device = getMFDevice();
    auto* handler = device ? dynamic_cast<SyncEngineHandler*>(device->syncEngineHandler()) : nullptr;
    return handler && handler->isEnabled(property);
}

void OrganizerContactsViewCenter::hideUpdateInfo()
{
    QToolTip::hideText();
}

void OrganizerContactsViewCenter::displayUpdateInfo(const QPoint& point, const QString& text)
{
    QToolTip::showText(window() ? window()->mapToGlobal(point) : point, text, this);
}

void OrganizerContactsViewCenter::install()
{
    devicewindowmakers::makers().organizerCenter = [](DeviceWindowController&, MFDevice&) -> ToolView* {
        // One address book for every phone window, kept in step with its folder.
        static QPointer<ContactStore> shared;
        if (!shared)
            shared = new ContactStore(QString(), qApp);
        return new OrganizerContactsViewCenter(shared);
    };
}
