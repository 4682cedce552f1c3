#pragma once

#include <QObject>

#include <deque>
#include <functional>

// The sheets of one window, one at a time: a sheet asked for while another
// shows opens when that one ends, in the order they were asked for. Each
// sheet is opened by a function that receives the call ending it; that call
// must be made once, after the sheet's own end handler ran (a second call
// does nothing).
class SheetQueue : public QObject {
    Q_OBJECT

public:
    using Ended = std::function<void()>;
    using Opener = std::function<void(Ended ended)>;

    explicit SheetQueue(QObject* parent = nullptr);
    ~SheetQueue() override;

    // Opens the sheet now when none shows, else queues it.
    void begin(Opener open);
    bool isSheetShowing() const { return showing_; }
    int pendingCount() const { return int(pending_.size()); }

private:
    void openNext();

    std::deque<Opener> pending_;
    bool showing_ = false;
    quint64 generation_ = 0;
};
