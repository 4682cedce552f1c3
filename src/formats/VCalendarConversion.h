#pragma once

#include "formats/VXDictionary.h"

#include <QString>
#include <QStringList>
#include <QVariantMap>

// The main fields of an event or task record, in the order the item form
// walks them: the entity name key, then "classification" ... "due date is
// date only".
const QStringList& calendarMainSyncItems();

// A parsed calendar item (an event or task dictionary of the vCalendar
// reader or the phone-dictionary converter) as a new item form: the main
// fields in "Main-Dict" (date texts read as dates), each alarm and recurrence
// as a sub-record owned by the item with its parameters as relation, the
// phone-only values in "XXX-DeviceItems". sourceURI is the phone's record
// id, or null.
VXDictionary vCalendarDictionary2VXDictionary(const QVariantMap& item, const QString& sourceURI = QString());
