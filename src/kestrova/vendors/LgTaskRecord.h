#pragma once

#include <QByteArray>
#include <QVariantMap>
#include <optional>

// The task record of the LG to-do list, both ways. A task dictionary has
// "summary", "due date" (00:00 local) with "due date is date only",
// "priority" (1, 5, 9; 0 for none), "status" ("completed" or "processing")
// and, as read, "slot" when it is not 0. Pure functions over untrusted bytes.
namespace kestrova::lg {

// Decodes one unescaped read reply (slot at 13-14, summary length V at
// 19-20, summary from 28; the "lgGD900" family lays the summary out
// differently). Nothing, with a reason in *error, for a reply shorter than
// 32 bytes, V below 17 or an offset past the reply.
std::optional<QVariantMap> lgExtractTaskData(const QByteArray& reply, bool gd900, QString* error = nullptr);

// The task record as written, from a dictionary holding "task": the 11-byte
// prefix (counter2, 0x13, 00 00 00 00 FF 00 00 00 00), summary, due date,
// priority and status codes.
QByteArray lgViewtyTaskCreateRawDataForDict(const QVariantMap& entry, quint8 counter2);

} // namespace kestrova::lg
