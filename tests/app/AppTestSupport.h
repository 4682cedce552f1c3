#pragma once

#include "app/AppController.h"
#include "app/AppControllerServices.h"

#include <QStringList>

#include <memory>

namespace app_tests {

// Services that record what the controller asks and answer as set.
struct FakeServices : AppControllerServices {
    struct State {
        QStringList steps;
        bool backupPending = false;
        int safeClosesLeft = 0;
        bool quitRequested = false;
        bool overwriteBackupWait = false;
        unsigned unread = 0;
        bool media = false;
        int conversions = 0;
        int transfers = 0;
        int wizardEntriesMade = 0;
        // The phone a notification may come from, and what it was asked.
        const void* phone = nullptr;
        QVariantMap phoneSettings;
        int settingsAsked = 0;
    };
    explicit FakeServices(std::shared_ptr<State> state) : s(std::move(state)) {}

    void setQuitRequested(bool on) override { s->quitRequested = on; }
    void setOverwriteBackupWait(bool on) override { s->overwriteBackupWait = on; }
    bool anyBackupPending() const override { return s->backupPending; }
    void doCancelDocuments() override { s->steps << QStringLiteral("cancel documents"); }
    bool closeSafeFirstDoc() override
    {
        if (s->safeClosesLeft <= 0)
            return false;
        --s->safeClosesLeft;
        s->steps << QStringLiteral("safe close");
        if (s->safeClosesLeft == 0)
            s->backupPending = false;
        return true;
    }
    void terminateUSBCopies() override { s->steps << QStringLiteral("stop USB copies"); }
    void saveTrashChangesIfAny() override { s->steps << QStringLiteral("save trash"); }
    unsigned checkUnreadSMS() const override { return s->unread; }
    bool checkForMediaProzesses(int& conversions, int& transfers) const override
    {
        conversions = s->conversions;
        transfers = s->transfers;
        return s->media;
    }
    std::optional<QVariantMap> deviceSettings(const void* sender) const override
    {
        ++s->settingsAsked;
        return sender == s->phone ? std::optional<QVariantMap>(s->phoneSettings) : std::nullopt;
    }
    std::unique_ptr<QObject> makeWizardEntry() override
    {
        ++s->wizardEntriesMade;
        return std::make_unique<QObject>();
    }

    std::shared_ptr<State> s;
};

// A controller over fake services whose exit is recorded, not performed;
// "AppWillQuit" is recorded among the steps.
class ControllerFixture {
public:
    ControllerFixture();
    ~ControllerFixture();

    std::shared_ptr<FakeServices::State> state = std::make_shared<FakeServices::State>();
    std::unique_ptr<AppController> controller;
    QList<int> exits;
};

// Clears the defaults the application shell writes.
void clearShellDefaults();

} // namespace app_tests
