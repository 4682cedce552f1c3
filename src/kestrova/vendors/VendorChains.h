#pragma once

namespace kestrova::vendors {

// Registers the vendor chains of the organizer kit with Kestrova (safe to
// call more than once). The library does it when it is loaded.
void registerVendorChains();

} // namespace kestrova::vendors
