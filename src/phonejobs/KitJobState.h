#pragma once

class MFDevice;

// What every organizer-kit job does with a phone's item list at its end.
namespace kitjobstate {

// The list of the property is clean and written, with its sync state.
void saveNewState(MFDevice* device, int property);
// The data manager hears that the property's items changed.
void notifyArchiveChanged(MFDevice* device, int property);

} // namespace kitjobstate
