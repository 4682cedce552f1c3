#include "kestrova/vendors/VendorChains.h"

#include "kestrova/core/Kestrova.h"
#include "kestrova/vendors/KestrovaLgPhonebookExt.h"
#include "kestrova/vendors/KestrovaMotorolaPhonebookExt.h"

namespace kestrova::vendors {

void registerVendorChains()
{
    Kestrova::registerVendorChain(QStringLiteral("lg"), [](Kestrova& kit) -> std::unique_ptr<KestrovaVendorChain> {
        return std::make_unique<KestrovaLgPhonebookExt>(kit);
    });
    Kestrova::registerVendorChain(QStringLiteral("motorola"), [](Kestrova& kit) -> std::unique_ptr<KestrovaVendorChain> {
        return std::make_unique<KestrovaMotorolaPhonebookExt>(kit);
    });
}

} // namespace kestrova::vendors
