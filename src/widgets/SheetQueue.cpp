#include "widgets/SheetQueue.h"

#include <QPointer>

#include <memory>
#include <utility>

SheetQueue::SheetQueue(QObject* parent) : QObject(parent)
{
}

SheetQueue::~SheetQueue() = default;

void SheetQueue::begin(Opener open)
{
    if (!open)
        return;
    pending_.push_back(std::move(open));
    if (!showing_)
        openNext();
}

void SheetQueue::openNext()
{
    if (pending_.empty())
        return;
    Opener open = std::move(pending_.front());
    pending_.pop_front();
    showing_ = true;
    const quint64 generation = ++generation_;
    QPointer<SheetQueue> self(this);
    open([self, generation] {
        // Only the showing sheet's first end counts.
        if (!self || self->generation_ != generation || !self->showing_)
            return;
        self->showing_ = false;
        self->openNext();
    });
}
