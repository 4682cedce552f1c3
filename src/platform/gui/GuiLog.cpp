#include "platform/gui/GuiLog.h"

Q_LOGGING_CATEGORY(lcGui, "marvesto.gui", QtInfoMsg)
