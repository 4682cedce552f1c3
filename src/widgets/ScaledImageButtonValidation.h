#pragma once

class NSScaledImageButton;
class QObject;

// "ValidateScaledImageNotify": after a change that can alter what its buttons
// may do, a window object asks every scaled image button aimed at it to ask
// it again (now, after a delay, or to switch off). A null target reaches
// every scaled image button.
inline constexpr const char* kValidateScaledImageNotify = "ValidateScaledImageNotify";
inline constexpr const char* kValidateScaledImageDelayKey = "Delay";

void ValidateScaledImageButtons(const QObject* target);
// A delay of exactly 0 validates at once; above 0 after that many seconds;
// below 0 disables the buttons without asking the target.
void ValidateScaledImageButtonsDelayed(const QObject* target, double delay);
void DisableScaledImageButtons(const QObject* target);

// Implemented by a window object that decides which of its buttons are on.
class NSValidatedScaledImageButton {
public:
    virtual ~NSValidatedScaledImageButton() = default;
    virtual bool validateScaledImageButton(NSScaledImageButton& button) = 0;
};
