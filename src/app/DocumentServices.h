#pragma once

#include "app/AppControllerServices.h"

class DZDocumentController;

// The application controller's questions about the phone documents, answered
// by the document controller; the rest as the base answers them.
class DocumentServices : public AppControllerServices {
public:
    explicit DocumentServices(DZDocumentController& documents) : documents_(documents) {}

    void setQuitRequested(bool on) override;
    void setOverwriteBackupWait(bool on) override;
    bool closeAllDocuments(std::function<void(bool closed)> done) override;
    bool anyBackupPending() const override;
    void doCancelDocuments() override;
    bool closeSafeFirstDoc() override;
    unsigned checkUnreadSMS() const override;
    // From the media centers of the open live phones (DocumentMediaServices.cpp).
    bool checkForMediaProzesses(int& conversions, int& transfers) const override;
    std::optional<QVariantMap> deviceSettings(const void* sender) const override;
    // The organizer trash, when it changed (OrganizerHostImpl.cpp).
    void saveTrashChangesIfAny() override;

private:
    DZDocumentController& documents_;
};
