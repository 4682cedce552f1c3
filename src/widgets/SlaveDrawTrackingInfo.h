#pragma once

#include "widgets/SlaveDrawInfo.h"
#include "widgets/SlaveDrawTracking.h"

// A slave that both draws into its row and tracks the pointer there.
class SlaveDrawTrackingInfo : public SlaveDrawInfo, public SlaveDrawTracking { };
