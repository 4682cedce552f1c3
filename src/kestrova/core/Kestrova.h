#pragma once

#include "kestrova/core/KestrovaVendorChain.h"
#include "kestrova/core/QVSmsKitAsync.h"
#include "kestrova/core/organizerKitAsync.h"

#include <QVariantList>
#include <QVariantMap>
#include <functional>
#include <map>

// The organizer kit: a phone's contacts, calendar and tasks. Each request
// goes to the chain of the phone's protocol family: the LG families (every
// family beginning with "lg") and "motorola" / "motorola2" (exact). A family
// without a chain for the request gets its final callback with no data and
// -1 on a later pass of the event loop, with a log line, and nothing is sent;
// every request ends with exactly one final callback. The callback is not
// owned. Main thread only.
class Kestrova : public QVSmsKitAsync {
public:
    Kestrova();
    ~Kestrova() override;

    // Replaces the SMS callback, which stays unset.
    void setCallback(organizerKitAsync* callback);

    void getPhonebookEntries();
    void writePhonebookEntries(const QVariantMap& entries);
    void getCalendarEntries();
    void writeCalendarEntries(const QVariantMap& entries);
    void getTasks();

    // Vendor chains: the vendor library registers a maker per vendor ("lg",
    // "motorola"); every kit makes its own chain from it on first use.
    using VendorChainMaker = std::function<std::unique_ptr<KestrovaVendorChain>(Kestrova&)>;
    static void registerVendorChain(const QString& vendor, VendorChainMaker maker);

protected:
    explicit Kestrova(std::unique_ptr<SLTCommDevice> engine);

    // The vendor chains; until a chain is present its request ends with -1
    // and a log line.
    virtual void getLgViewtyPhonebookEntries();
    virtual void writeLgViewtyPhonebookEntries(const QVariantMap& entries);
    virtual void getLgViewtyCalendarEntries();
    virtual void writeLgViewtyCalendarEntries(const QVariantMap& entries);
    virtual void getLgViewtyTasks();
    virtual void getMotorolaPhonebookEntries();
    virtual void writeMotorolaPhonebookEntries(const QVariantMap& entries);
    virtual void getMotorolaCalendarEntries();
    virtual void writeMotorolaCalendarEntries(const QVariantMap& entries);

    bool isMotorolaFamily() const;
    // The chain of a vendor for this kit; null when none is registered.
    KestrovaVendorChain* vendorChain(const QString& vendor);
    void lgOrganizerAbortAction() override;
    // Ends a request that nothing serves: its final callback on a later pass.
    void failLater(const char* request, void (organizerKitAsync::*finalCallback)(Kestrova*, const std::optional<QVariantMap>&, int));

    organizerKitAsync* _organizerCallback = nullptr;

private:
    friend class KestrovaVendorChain;
    std::map<QString, std::unique_ptr<KestrovaVendorChain>> _vendorChains;
};
