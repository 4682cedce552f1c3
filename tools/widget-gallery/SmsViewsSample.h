#pragma once

#include <QWidget>

class SLTMessageInputView;
class SLTMessageView;

// The organizer-kit library's SMS views in a window of their own: the compose
// field with the switches the compose window sets, and the reading pane that
// shows what was typed.
class SmsViewsSample : public QWidget {
    Q_OBJECT
public:
    explicit SmsViewsSample(QWidget* parent = nullptr);

private:
    void showInReadingPane();

    SLTMessageInputView* compose_ = nullptr;
    SLTMessageView* reading_ = nullptr;
};
