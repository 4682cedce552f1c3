#pragma once

#include <QLoggingCategory>

// Console diagnostics of this folder: one category, "marvesto.jobs".
Q_DECLARE_LOGGING_CATEGORY(lcJobs)
