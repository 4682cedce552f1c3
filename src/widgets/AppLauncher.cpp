#include "widgets/AppLauncher.h"

namespace {
AppLauncher* installed = nullptr;
} // namespace

AppLauncher* AppLauncher::shared()
{
    return installed;
}

void AppLauncher::setShared(AppLauncher* launcher)
{
    installed = launcher;
}
