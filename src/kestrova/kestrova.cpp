// The organizer-kit library. Its classes live in the sub-folders; this file
// gives the library a version symbol of its own and registers the vendor
// chains when the library is loaded.
#include "kestrova/vendors/VendorChains.h"

extern "C" const char* kestrovaVersion()
{
    return "0.1.0";
}

namespace {
const bool chainsRegistered = [] {
    kestrova::vendors::registerVendorChains();
    return true;
}();
} // namespace
