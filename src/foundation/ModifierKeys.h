#pragma once

#include <Qt>

// The modifier keys held right now (not those of an event). Control is the
// Ctrl key, Option the Alt key, Command the Meta (Super) key.
namespace modifierkeys {
inline constexpr unsigned kControlKeyMask = 0x40000;
inline constexpr unsigned kOptionKeyMask = 0x80000;
inline constexpr unsigned kCommandKeyMask = 0x100000;
inline constexpr unsigned kShiftKeyMask = 0x20000;
} // namespace modifierkeys

unsigned modifierFlagsFromQt(Qt::KeyboardModifiers modifiers);
unsigned currentModifierFlags();

bool isControlKeyDown();
bool isOptionKeyDown();
bool isCommandKeyDown();
bool isShiftKeyDown();
