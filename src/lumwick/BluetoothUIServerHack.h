#pragma once

#include "platform/NotificationCenter.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace platform {
class BluetoothPairingAgent;
}

// Hands a pairing code to the Bluetooth layer's pairing agent: what the user
// would type into a passkey dialog goes to the agent's pending request. The
// "application" names stay for the callers; the agent of the shared stack is
// the only one there is. Main thread only.
class BluetoothUIServerHack {
public:
    static constexpr const char* kBluetoothUIServer = "BluetoothUIServer";
    // The longest wait for a request to come or to end, and the slice.
    static constexpr double kWaitLimit = 30.0;
    static constexpr double kWaitSlice = 0.2;
    // executeCommand's limits.
    static constexpr int kCommandTimeLimitMs = 30000;
    static constexpr qint64 kCommandOutputLimit = 1 << 20;

    using Handler = std::function<void(const platform::Notification&)>;

    // The agent of the shared Bluetooth stack.
    static platform::BluetoothPairingAgent& agent();

    // Types the digits into the pending request; any other character throws
    // platform::Exception ("NSInvalidArgumentException", "aNumber (%d) must
    // be between (0,9)") before anything is typed. false without a request
    // that takes digits.
    static bool sendNumberString(const QString& number, const QString& applicationName);
    // Answers the pending request with what was typed (confirms a passkey).
    static bool sendEnterToApplicationNamed(const QString& applicationName);
    // Follows the agent's requests: handler gets each new request.
    static void addObserverForOpeningOfBluetoothKeyDialog(const void* observer, Handler handler);
    static void removeObserverForOpeningOfBluetoothDialog(const void* observer);
    // Runs tool with the arguments (no shell) and answers its standard
    // output (UTF-8, at most kCommandOutputLimit bytes); a tool that does not
    // end in kCommandTimeLimitMs is killed. Empty when it does not start.
    static QString executeCommand(const QString& tool, const QStringList& arguments);
    // Refuses a pending request.
    static void closeDialogIfOpen();
    // Run the main loop until a request is pending / none is, at most
    // kWaitLimit; whether it came to that.
    static bool waitTillItStarted();
    static bool waitTillItCloses();
    // Waits for the request, brings this program's window to the front when
    // asked, types the code and Enter.
    static bool sendCode(const QString& code, bool bringToForeground);
};
