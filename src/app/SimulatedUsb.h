#pragma once

#include <QString>

// A simulated phone for the real program: when MARVESTO_SIMULATED_USB names a
// tty ("<tty> [vendor product [serial]]", numbers decimal or 0x hex), the
// program's USB registry is a simulated one holding one modem phone on that
// tty.
namespace simulatedusb {

constexpr const char* kEnvironment = "MARVESTO_SIMULATED_USB";
// How often the tty is looked for: once it is gone the phone is unplugged.
constexpr int kTtyWatchMs = 500;

// Installs the registry described by the text; false (nothing installed)
// for an empty text or unreadable numbers.
bool install(const QString& description);
// The same from the environment variable.
bool installFromEnvironment();

}   // namespace simulatedusb
