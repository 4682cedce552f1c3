#pragma once

// The application-wide preferences the phone documents read when a window
// closes or the program quits. The preferences window itself is built on
// top of this.
class PreferenceHandler {
public:
    static PreferenceHandler& sharedPreferenceHandler();

    // Start step: writes YES to each preference that has no value yet.
    void awakeFromNib();

    // Whether a phone window with a running backup waits for it instead of
    // closing. A value that is not a flag reads as the default, YES.
    bool doWarnOnQuit() const;
    bool doSyncImmediately() const;
    void setWarnOnQuit(bool warn);
    void setSyncImmediately(bool sync);
};
