#pragma once

// Registers the widget classes of this folder with the interface loader, so
// the program's forms can use them by class name. Safe to call again.
void registerWidgetClasses();
