#pragma once

// The program's makers of what the device object does not build itself (see
// MFDevice::Makers): set once at start, before the first phone opens.
void setProgramMakers();
