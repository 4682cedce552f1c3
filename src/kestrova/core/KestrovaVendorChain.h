#pragma once

#include <QVariantMap>
#include <memory>

class Kestrova;
class SLTCommDevice;
class organizerKitAsync;

// The stage chains of one phone vendor for the organizer kit, one object per
// kit, made on the kit's first request for that vendor from the maker the
// vendor library registered (Kestrova::registerVendorChain). A request answers
// false when the chain does not serve it; the kit then ends it with -1.
class KestrovaVendorChain {
public:
    explicit KestrovaVendorChain(Kestrova& kit) : _kit(kit) {}
    virtual ~KestrovaVendorChain() = default;
    KestrovaVendorChain(const KestrovaVendorChain&) = delete;
    KestrovaVendorChain& operator=(const KestrovaVendorChain&) = delete;

    virtual bool getPhonebookEntries() { return false; }
    virtual bool writePhonebookEntries(const QVariantMap&) { return false; }
    virtual bool getCalendarEntries() { return false; }
    virtual bool writeCalendarEntries(const QVariantMap&) { return false; }
    virtual bool getTasks() { return false; }
    // The early stop of a connected kit; false: the kit stops at once.
    virtual bool abortAction() { return false; }

protected:
    Kestrova& kit() { return _kit; }
    // The kit's parts a chain works with.
    SLTCommDevice& engine();
    organizerKitAsync* callback();
    // Held weakly by the chain's stages: none runs after the kit is gone.
    std::weak_ptr<const void> lifeToken();

private:
    Kestrova& _kit;
};
