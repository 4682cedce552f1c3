#include "foundation/ModifierKeys.h"

#include <QGuiApplication>

unsigned modifierFlagsFromQt(Qt::KeyboardModifiers modifiers)
{
    unsigned flags = 0;
    if (modifiers & Qt::ControlModifier)
        flags |= modifierkeys::kControlKeyMask;
    if (modifiers & Qt::AltModifier)
        flags |= modifierkeys::kOptionKeyMask;
    if (modifiers & Qt::MetaModifier)
        flags |= modifierkeys::kCommandKeyMask;
    if (modifiers & Qt::ShiftModifier)
        flags |= modifierkeys::kShiftKeyMask;
    return flags;
}

unsigned currentModifierFlags()
{
    if (!qGuiApp)
        return 0;
    return modifierFlagsFromQt(QGuiApplication::queryKeyboardModifiers());
}

bool isControlKeyDown()
{
    return currentModifierFlags() & modifierkeys::kControlKeyMask;
}

bool isOptionKeyDown()
{
    return currentModifierFlags() & modifierkeys::kOptionKeyMask;
}

bool isCommandKeyDown()
{
    return currentModifierFlags() & modifierkeys::kCommandKeyMask;
}

bool isShiftKeyDown()
{
    return currentModifierFlags() & modifierkeys::kShiftKeyMask;
}
