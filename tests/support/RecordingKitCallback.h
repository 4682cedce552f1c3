#pragma once

#include "kestrova/core/Kestrova.h"

#include <QList>
#include <QVariantMap>

#include <optional>

// An organizer-kit receiver that keeps what the kit delivers: every
// phonebook or calendar read and write answer, with the write's code.
struct RecordingKitCallback : organizerKitAsync {
    QList<std::optional<QVariantMap>> reads;
    QList<std::optional<QVariantMap>> writes;
    QList<int> writeCodes;

    void organizerKitPhonebookRead(Kestrova*, const std::optional<QVariantMap>& data, int) override
    {
        reads.append(data);
    }
    void organizerKitPhonebookEntriesWritten(Kestrova*, const std::optional<QVariantMap>& data, int code) override
    {
        writes.append(data);
        writeCodes.append(code);
    }
    void organizerKitCalendarRead(Kestrova*, const std::optional<QVariantMap>& data, int) override
    {
        reads.append(data);
    }
    void organizerKitCalendarEntriesWritten(Kestrova*, const std::optional<QVariantMap>& data, int code) override
    {
        writes.append(data);
        writeCodes.append(code);
    }
};
