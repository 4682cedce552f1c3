#pragma once

#include "app/MobileDeviceDocument.h"
#include "phone/MFDevice.h"

// The program's default makers of every phone object (MFDevice::Makers): the
// one place the program hands its own parts to the device object at start.
namespace programmakers {

// The makers: the shared groups, calendars and bookmark folders once the
// program made them, a phone's start percentages on the busy overlay of the
// window being opened, and the media input formats.
MFDevice::Makers makers();
// A phone document's makers: the phone's files mirror, then its organizer
// archive over that mirror.
MobileDeviceDocument::Makers documentMakers();
// Sets them as MFDevice's default makers and the phone documents' makers.
// Also makes the device hand out server-role SyncML sessions.
void install();

} // namespace programmakers
