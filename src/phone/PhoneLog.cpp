#include "phone/PhoneLog.h"

Q_LOGGING_CATEGORY(lcPhone, "marvesto.phone", QtInfoMsg)
