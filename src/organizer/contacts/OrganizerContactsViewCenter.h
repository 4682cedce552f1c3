#pragma once

#include "devicewindow/ToolView.h"
#include "organizer/tables/OrganizerViewProtocol.h"

#include <QPointer>

class ContactStore;
class OrganizerContactsView;
class QLabel;

// The organizer center of a phone window while the organizer shows only its
// contacts: the contacts pane alone, with the container's footer line. It
// answers the pane's questions of its container: the pane is always the
// active one, and the desktop sync state is the phone's.
class OrganizerContactsViewCenter : public ToolView, public OrganizerViewProtocol {
    Q_OBJECT

public:
    explicit OrganizerContactsViewCenter(ContactStore* store = nullptr, QWidget* parent = nullptr);
    ~OrganizerContactsViewCenter() override;

    OrganizerContactsView* contactsView() const { return contactsView_; }
    QLabel* footer() const { return footer_; }

    // ToolView
    void setup(DeviceWindowController* controller, MFDevice* device) override;
    void activate() override;
    void deactivate() override;
    QString stateInfo() const override;
    void processStateInfo(const QString& rest) override;

    // OrganizerViewProtocol
    void setFooterText(const QString& text) override;
    bool isActiveView(const QWidget* pane) override;
    void reloadData() override;
    bool isSyncEnabledForProperty(int property) override;
    void hideUpdateInfo() override;
    void displayUpdateInfo(const QPoint& point, const QString& text) override;

    // Has the device window make this center for its organizer (with one
    // address book for all windows, read from the desktop store).
    static void install();

private:
    OrganizerContactsView* contactsView_ = nullptr;
    QLabel* footer_ = nullptr;
    bool active_ = false;
};
