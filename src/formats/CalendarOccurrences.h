#pragma once

#include <QDateTime>

class VXDictionary;

// First and last occurrence of an event or task item form: what the
// organizer shows and what the phone-dictionary writers send as a rule's end.

// The date that stands for "no end": far beyond any year a phone keeps.
const QDateTime& distantFutureDate();

// "due date" of a task, else "start date"; invalid when missing.
QDateTime firstOccurenceForVXDict(const VXDictionary& vx);

// The last occurrence. Without a usable rule: the end date ("due date" of a
// task), else the first occurrence. With the item's first rule: its "until";
// without a count, or a count of 0, the distant future; else the first
// occurrence plus (count - 1) x interval days, weeks, months or years in local
// calendar time (so a daylight-saving change or a short month does not move
// the last occurrence). A rule whose end lies beyond any calendar also gives
// the distant future.
QDateTime lastOccurenceForVXDict(const VXDictionary& vx);
