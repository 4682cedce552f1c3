#pragma once

#include <QString>

namespace testing_support {

// The temporary folder that stands in for the home folder during a test run.
// HOME, XDG_DATA_HOME, XDG_CONFIG_HOME, XDG_STATE_HOME and XDG_CACHE_HOME all
// point inside it, so no test touches the real home.
QString testHome();

// Points the environment at a fresh temporary home (called once by main).
void setUpTestHome();

} // namespace testing_support
