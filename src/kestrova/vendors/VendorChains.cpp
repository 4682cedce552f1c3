#include "kestrova/vendors/VendorChains.h"

#include "kestrova/core/Kestrova.h"
#include "kestrova/vendors/KestrovaLgPhonebookExt.h"

namespace kestrova::vendors {

void registerVendorChains()
{
    Kestrova::registerVendorChain(QStringLiteral("lg"), [](Kestrova& kit) -> std::unique_ptr<KestrovaVendorChain> {
        return std::make_unique<KestrovaLgPhonebookExt>(kit);
    });
}

} // namespace kestrova::vendors
