#include "formats/FormatsLog.h"

Q_LOGGING_CATEGORY(lcFormats, "marvesto.formats", QtInfoMsg)
