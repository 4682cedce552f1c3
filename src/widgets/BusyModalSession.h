#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

// A modal busy session: while it runs only the controls inside its overlay
// take mouse and keyboard input, and its caller keeps the event loop turning
// by polling it. One session runs at a time. A session ended from inside a
// poll ends when that poll returns; destroying a session ends it.
class BusyModalSession : public QObject {
    Q_OBJECT

public:
    // Answers of poll(), as the platform's modal responses.
    static constexpr int kRunContinues = -1002;
    static constexpr int kRunStopped = -1000;
    static constexpr int kPollFailed = -2;
    static constexpr double kPollSlice = 0.1;
    static constexpr const char* kLogPollException = "pollBusyModalSession Exception";

    // Starts a session over overlay; onEnd runs once when it ends. Null (and a
    // log line) while another session runs.
    static std::unique_ptr<BusyModalSession> start(QWidget* overlay, std::function<void()> onEnd);
    ~BusyModalSession() override;

    // The running session, or null.
    static BusyModalSession* running();
    QWidget* overlay() const { return overlay_; }

    // Delivers what is pending and runs the event loop for one slice; answers
    // kRunContinues, kRunStopped once the session has ended, or kPollFailed
    // (logged) when something run by the loop threw.
    int poll();
    void end();
    bool isEnded() const { return ended_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    BusyModalSession(QWidget* overlay, std::function<void()> onEnd);
    void finish();

    QPointer<QWidget> overlay_;
    std::function<void()> onEnd_;
    bool polling_ = false;
    bool endRequested_ = false;
    bool ended_ = false;
};
