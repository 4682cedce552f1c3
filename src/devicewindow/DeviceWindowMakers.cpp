#include "devicewindow/DeviceWindowMakers.h"

namespace devicewindowmakers {

Makers& makers()
{
    static Makers shared;
    return shared;
}

} // namespace devicewindowmakers
