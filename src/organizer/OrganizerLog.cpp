#include "organizer/OrganizerLog.h"

Q_LOGGING_CATEGORY(lcOrganizer, "marvesto.organizer")
