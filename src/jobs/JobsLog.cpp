#include "jobs/JobsLog.h"

Q_LOGGING_CATEGORY(lcJobs, "marvesto.jobs", QtInfoMsg)
