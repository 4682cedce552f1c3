#include "organizer/contacts/DialingDialog.h"

#include "devicewindow/DeviceWindowController.h"
#include "devicewindow/FeedBackOnGuiThread.h"
#include "jobs/JobNames.h"
#include "jobs/QVAction.h"
#include "organizer/contacts/ContactStore.h"
#include "organizer/contacts/ContactsKeys.h"
#include "phone/MFDevice.h"
#include "phonejobs/ActionDialNumber.h"
#include "platform/Localization.h"
#include "platform/gui/Animation.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <utility>

DialingDialog::DialingDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("DialingDialog"));
    setWindowModality(Qt::WindowModal);
    auto* layout = new QVBoxLayout(this);
    m_dialingNumber = new QLabel(this);
    m_dialingNumber->setObjectName(QStringLiteral("dialingNumber"));
    m_dialingNumber->setAlignment(Qt::AlignCenter);
    m_dialingNumber->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_dialingNumber);
    m_dialingStatus = new QLabel(this);
    m_dialingStatus->setObjectName(QStringLiteral("dialingStatus"));
    m_dialingStatus->setAlignment(Qt::AlignCenter);
    m_dialingStatus->setWordWrap(true);
    layout->addWidget(m_dialingStatus);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    m_hangUpButton = new QPushButton(platform::localizedString(contactskeys::kHangUp), this);
    m_hangUpButton->setObjectName(QStringLiteral("hangUpButton"));
    m_hangUpButton->setDefault(true);
    row->addWidget(m_hangUpButton);
    layout->addLayout(row);
    connect(m_hangUpButton, &QPushButton::clicked, this, [this] { hangUp(); });
}

DialingDialog::~DialingDialog()
{
    if (m_dialAction)
        m_dialAction->cancelAction();
    stopObserving();
    if (auto ended = std::exchange(m_sheetEnded, nullptr))
        ended();
}

void DialingDialog::setContactStore(const ContactStore* store)
{
    m_store = store;
}

QString DialingDialog::dialingNumberText() const
{
    return m_dialingNumber->text();
}

QString DialingDialog::dialingStatusText() const
{
    return m_dialingStatus->text();
}

bool DialingDialog::doDialNumber(DeviceWindowController* controller, const QString& number)
{
    if (number.isEmpty())
        return false;
    // A dial while another runs leaves that one to the job queue.
    stopObserving();
    m_dialAction.reset();
    m_number = number;
    m_mfController = controller;
    m_mfDevice = controller ? controller->getMFDevice() : nullptr;
    if (controller)
        controller->doCloseBusyOverlayImmediatly();

    const ContactNumberMatch match = m_store ? m_store->findBestPersonForNumber(number) : ContactNumberMatch{};
    if (match)
        m_dialingNumber->setText(QStringLiteral("%1\n\n<%2>").arg(match.person->displayName(), number));
    else
        m_dialingNumber->setText(QStringLiteral("\n%1\n").arg(number));
    m_dialingStatus->setText(platform::localizedString(contactskeys::kPreparing));

    if (!m_open) {
        m_open = true;
        if (controller && controller->window()) {
            setParent(controller->window(), Qt::Sheet);
            setWindowModality(Qt::WindowModal);
            // The window's other sheets may come first; a sheet that ended
            // (or went away) before its turn hands the turn on at once.
            QPointer<DialingDialog> self(this);
            controller->sheets().begin([self](SheetQueue::Ended ended) {
                if (!self || !self->m_open) {
                    ended();
                    return;
                }
                self->m_sheetEnded = std::move(ended);
                self->show();
            });
        } else {
            show();
        }
    }

    std::shared_ptr<QVAction> job = m_makeJob ? m_makeJob(number) : ActionDialNumber::allocActionDialNumber(number);
    bool accepted = false;
    if (job) {
        if (m_postJob)
            accepted = m_postJob(job);
        else if (m_mfDevice)
            accepted = m_mfDevice->addAction(job);
    }
    if (accepted) {
        m_dialAction = job;
        observeFeedBackOnGuiThread<DialingDialog>(job, this, &DialingDialog::feedBackNotify);
        if (controller)
            controller->addFeedBackToMaster(job);
    } else {
        platform::gui::beep();
        m_dialAction.reset();
        m_dialingStatus->setText(platform::localizedString(contactskeys::kDialError));
    }
    return true;
}

void DialingDialog::feedBackNotify(const platform::Notification& notification)
{
    // A report of a job this sheet no longer follows (queued before it let
    // go) changes nothing.
    const std::shared_ptr<QVAction> job = m_dialAction;
    if (!job || QVFeedBack::entryOf(notification) != job)
        return;
    if (!notification.userInfo.contains(jobnames::kFeedEndActionKey)) {
        m_dialingStatus->setText(job->displayString());
        return;
    }
    const int code = notification.userInfo.value(jobnames::kFeedEndActionKey).toInt();
    if (code == 0) {
        endSheet(1);
        return;
    }
    platform::gui::beep();
    m_dialingStatus->setText(job->feedBackErrorString());
    stopObserving();
    m_dialAction.reset();
}

void DialingDialog::hangUp()
{
    if (m_dialAction) {
        m_dialAction->cancelAction();
        m_dialingStatus->setText(platform::localizedString(contactskeys::kHangUp));
        return;
    }
    endSheet(1);
}

void DialingDialog::reject()
{
    // Escape and the window's close button mean hang up.
    hangUp();
}

void DialingDialog::endSheet(int returnCode)
{
    phoneDialingSheetDidEnd(returnCode);
}

void DialingDialog::phoneDialingSheetDidEnd(int returnCode)
{
    stopObserving();
    m_dialAction.reset();
    const bool wasOpen = m_open;
    m_open = false;
    hide();
    if (auto ended = std::exchange(m_sheetEnded, nullptr))
        ended();
    if (wasOpen)
        Q_EMIT sheetEnded(returnCode);
}

void DialingDialog::stopObserving()
{
    if (m_dialAction)
        m_dialAction->stopFeedBackNotification(this);
}
