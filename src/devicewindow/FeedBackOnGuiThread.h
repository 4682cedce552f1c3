#pragma once

#include "jobs/QVFeedBack.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <QThread>

#include <memory>

// Registers receiver for entry's feedback notifications and delivers each to
// its handler on the GUI thread (jobs may post from their own threads), never
// to a receiver already gone.
template <typename Receiver>
void observeFeedBackOnGuiThread(const std::shared_ptr<QVFeedBack>& entry, Receiver* receiver,
                                void (Receiver::*handler)(const platform::Notification&))
{
    QPointer<Receiver> self(receiver);
    entry->addFeedBackNotification(receiver, [self, handler](const platform::Notification& notification) {
        if (QThread::currentThread() == qApp->thread()) {
            if (self)
                (self->*handler)(notification);
            return;
        }
        QMetaObject::invokeMethod(
            qApp, [self, handler, notification] { if (self) (self->*handler)(notification); },
            Qt::QueuedConnection);
    });
}
