#include "kestrova/vendors/VendorChains.h"

#include "kestrova/core/Kestrova.h"
#include "kestrova/vendors/KestrovaLgPhonebookExt.h"
#include "kestrova/vendors/KestrovaMotorolaPhonebookExt.h"
#include "kestrova/vendors/QVSmsKitAsyncLgSmsExt.h"
#include "kestrova/vendors/QVSmsKitAsyncSamsungSmsExt.h"

namespace kestrova::vendors {

void registerVendorChains()
{
    Kestrova::registerVendorChain(QStringLiteral("lg"), [](Kestrova& kit) -> std::unique_ptr<KestrovaVendorChain> {
        return std::make_unique<KestrovaLgPhonebookExt>(kit);
    });
    Kestrova::registerVendorChain(QStringLiteral("motorola"), [](Kestrova& kit) -> std::unique_ptr<KestrovaVendorChain> {
        return std::make_unique<KestrovaMotorolaPhonebookExt>(kit);
    });
    QVSmsKitAsync::registerSmsChain(QStringLiteral("lg"), [](QVSmsKitAsync& kit) -> std::unique_ptr<SmsKitVendorChain> {
        return std::make_unique<QVSmsKitAsyncLgSmsExt>(kit);
    });
    QVSmsKitAsync::registerSmsChain(QStringLiteral("samsung"),
                                    [](QVSmsKitAsync& kit) -> std::unique_ptr<SmsKitVendorChain> {
                                        return std::make_unique<QVSmsKitAsyncSamsungSmsExt>(kit);
                                    });
}

} // namespace kestrova::vendors
