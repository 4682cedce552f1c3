#include "app/AppLog.h"

Q_LOGGING_CATEGORY(lcApp, "marvesto.app", QtInfoMsg)
