#pragma once

#include "formats/VCardReader.h"

#include <QVariant>

#include <optional>

// One phonebook entry of a Motorola or LG phone, as the organizer kit hands it
// over ("firstname", "lastname", "company", "job title", "notes", "birthday",
// the lists "phone", "email", "url", "address" and keys of the kit's own), as
// the contact dictionary of the vCard import reader: the lists become entries
// with their type words and parameter lists ("PARAMS"), keys the converter
// does not know become phone-side values under "DeviceSpecific".
//
// The entry is untrusted: a value of the wrong kind is dropped with a log line.
// Nullopt when the entry is no dictionary (nil).
std::optional<VCardDictionary> vCardDictionaryForMotorolaContact(const QVariant& entry);
