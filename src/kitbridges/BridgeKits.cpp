#include "kitbridges/BridgeKits.h"

#include "kestrova/core/Kestrova.h"
#include "kestrova/core/QVSmsKitAsync.h"

namespace {

class LibrarySmsKit : public SmsBridgeKit {
public:
    void setCallback(smsKitAsync* callback) override { _kit.setCallback(callback); }
    void setAddressString(const QString& address) override { _kit.setAddressString(address); }
    void setFilename(const QString& path) override { _kit.setFilename(path); }
    void setFamily(const QString& family) override { _kit.setFamily(family); }
    bool startReading() override { return _kit.startReading(); }
    bool removeMessages(const QVariantList& messages) override { return _kit.removeMessages(messages); }
    bool sendTextMessage(const QString& text, const QVariantList& recipients, bool specialChars) override
    {
        // The kit reports every refusal through its finish callback.
        _kit.sendTextMessage(text, recipients, specialChars);
        return true;
    }
    void fullStop() override { _kit.fullStop(); }
    void abortActionAsync() override { _kit.abortActionAsync(); }

private:
    QVSmsKitAsync _kit;
};

class LibraryOrganizerKit : public OrganizerBridgeKit {
public:
    void setCallback(organizerKitAsync* callback) override { _kit.setCallback(callback); }
    void setAddressString(const QString& address) override { _kit.setAddressString(address); }
    void setFilename(const QString& path) override { _kit.setFilename(path); }
    void setFamily(const QString& family) override { _kit.setFamily(family); }
    void getPhonebookEntries() override { _kit.getPhonebookEntries(); }
    void writePhonebookEntries(const QVariantMap& entries) override { _kit.writePhonebookEntries(entries); }
    void getCalendarEntries() override { _kit.getCalendarEntries(); }
    void writeCalendarEntries(const QVariantMap& entries) override { _kit.writeCalendarEntries(entries); }
    void getTasks() override { _kit.getTasks(); }
    void fullStop() override { _kit.fullStop(); }
    void abortActionAsync() override { _kit.abortActionAsync(); }

private:
    Kestrova _kit;
};

} // namespace

std::shared_ptr<SmsBridgeKit> makeQVSmsKitAsync()
{
    return std::make_shared<LibrarySmsKit>();
}

std::shared_ptr<OrganizerBridgeKit> makeKestrova()
{
    return std::make_shared<LibraryOrganizerKit>();
}
