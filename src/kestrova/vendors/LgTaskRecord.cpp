#include "kestrova/vendors/LgTaskRecord.h"

#include "kestrova/vendors/LgCalendarRecord.h"
#include "kestrova/vendors/LgFrames.h"

#include <QDateTime>

namespace kestrova::lg {

namespace {
constexpr qsizetype kMinTaskRecord = 32;
constexpr qsizetype kSlot = 13;
constexpr qsizetype kLength = 19;
constexpr qsizetype kSummary = 28;
constexpr int kLengthBase = 17;
// From P, the first byte after the summary.
constexpr qsizetype kDue = 1;
constexpr qsizetype kPriority = 6;
constexpr qsizetype kStatus = 7;

const QString kSummaryKey = QStringLiteral("summary");
const QString kDueKey = QStringLiteral("due date");
const QString kDateOnlyKey = QStringLiteral("due date is date only");
const QString kPriorityKey = QStringLiteral("priority");
const QString kStatusKey = QStringLiteral("status");
const QString kCompleted = QStringLiteral("completed");
} // namespace

std::optional<QVariantMap> lgExtractTaskData(const QByteArray& reply, bool gd900, QString* error)
{
    const auto fail = [error](const QString& why) -> std::optional<QVariantMap> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    if (reply.size() < kMinTaskRecord)
        return fail(QStringLiteral("record of %1 bytes").arg(reply.size()));
    const int v = (quint8(reply[kLength]) << 8) | quint8(reply[kLength + 1]);
    if (v < kLengthBase)
        return fail(QStringLiteral("summary length %1 below 17").arg(v));
    qsizetype units = (v - kLengthBase) / 2;
    qsizetype start = kSummary;
    if (gd900) {
        start += units;
        units /= 2;
    }
    const qsizetype p = start + 2 * units;
    if (p + kStatus >= reply.size())
        return fail(QStringLiteral("summary length %1 runs past the record of %2 bytes").arg(v).arg(reply.size()));

    QVariantMap task;
    QString summary;
    for (qsizetype i = 0; i < units; ++i)
        summary.append(QChar(char16_t(quint8(reply[start + 2 * i]) | (quint8(reply[start + 2 * i + 1]) << 8))));
    if (!summary.isEmpty())
        task.insert(kSummaryKey, summary);
    const int year = (quint8(reply[p + kDue]) << 8) | quint8(reply[p + kDue + 1]);
    const QDate due(year, quint8(reply[p + kDue + 2]), quint8(reply[p + kDue + 3]));
    if (year != 0 && due.isValid()) {
        task.insert(kDueKey, QDateTime(due, QTime(0, 0)));
        task.insert(kDateOnlyKey, true);
    }
    const quint8 priority = quint8(reply[p + kPriority]);
    task.insert(kPriorityKey, priority == 1 ? 1 : priority == 2 ? 5 : priority == 3 ? 9 : 0);
    task.insert(kStatusKey, quint8(reply[p + kStatus]) == 1 ? kCompleted : QStringLiteral("processing"));
    const int slot = readLe16(reply, kSlot);
    if (slot != 0)
        task.insert(QStringLiteral("slot"), QString::asprintf("%i", slot));
    return task;
}

QByteArray lgViewtyTaskCreateRawDataForDict(const QVariantMap& entry, quint8 counter2)
{
    const QVariantMap task = entry.value(QStringLiteral("task")).toMap();
    QByteArray out;
    out.append(char(counter2)).append(char(0x13)).append(4, '\0').append(char(0xFF)).append(4, '\0');
    appendUtf16(out, task.value(kSummaryKey).toString());
    out.append('\0');
    const QDate due = task.value(kDueKey).toDateTime().date();
    if (due.isValid())
        out.append(char((due.year() >> 8) & 0xFF))
            .append(char(due.year() & 0xFF))
            .append(char(due.month()))
            .append(char(due.day()));
    else
        out.append(4, '\0');
    out.append('\0');
    const int priority = task.value(kPriorityKey).toInt();
    out.append(char(priority == 1 ? 1 : priority == 5 ? 2 : 3));
    out.append(char(task.value(kStatusKey).toString() == kCompleted ? 1 : 0));
    out.append(4, '\0');
    return out;
}

} // namespace kestrova::lg
