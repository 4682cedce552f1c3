#pragma once

#include <QDialog>
#include <QPointer>

#include <functional>

class QLabel;
class QPushButton;

// The main window's own alert sheet: a window-modal dialog with a title, a
// message and up to three buttons. The default button ends it with 1, the
// alternate with 0 and the other with -1; Return presses the default button,
// Escape the button titled "Cancel", else the other, else the alternate,
// else the default.
class TarnexAlertSheet : public QDialog {
    Q_OBJECT

public:
    static constexpr int kDefaultHeight = 231;
    static constexpr int kWidth = 400;
    static constexpr int kDefaultReturn = 1;
    static constexpr int kAlternateReturn = 0;
    static constexpr int kOtherReturn = -1;

    explicit TarnexAlertSheet(QWidget* window);

    // Shows the sheet on its window; an empty title, message or button title
    // leaves that part out. didEnd receives the return code once.
    void begin(const QString& title, const QString& defaultButton, const QString& alternateButton,
               const QString& otherButton, const QString& message, int height, std::function<void(int)> didEnd);

    QLabel* titleLabel() const { return title_; }
    QLabel* messageLabel() const { return message_; }
    QPushButton* defaultButton() const { return default_; }
    QPushButton* alternateButton() const { return alternate_; }
    QPushButton* otherButton() const { return other_; }

    void reject() override;

private:
    void end(int code);

    QPointer<QLabel> title_;
    QPointer<QLabel> message_;
    QPointer<QPushButton> default_;
    QPointer<QPushButton> alternate_;
    QPointer<QPushButton> other_;
    std::function<void(int)> didEnd_;
};
