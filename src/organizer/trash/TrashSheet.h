#pragma once

#include <QWidget>

#include <functional>

class QComboBox;
class QLabel;
class QPushButton;

// A sheet inside the trash window: a dimmed layer over the whole window with
// a panel at its top edge (title, message, an optional phone pop-up, Cancel
// and the default button). The default button ends it with 1, Cancel (and
// Escape) with 0; Return presses the default button. It deletes itself.
class TrashSheet : public QWidget {
    Q_OBJECT

public:
    static constexpr int kPanelWidth = 400;

    TrashSheet(QWidget* window, const QString& title, const QString& message, const QString& defaultTitle,
               const QString& cancelTitle, bool withPopup, std::function<void(int)> didEnd);

    QLabel* titleLabel() const { return _title; }
    QLabel* messageLabel() const { return _message; }
    QPushButton* defaultButton() const { return _default; }
    QPushButton* cancelButton() const { return _cancel; }
    QComboBox* popup() const { return _popup; }
    // Ends the sheet with the code (once).
    void end(int code);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void place();

    QWidget* _panel = nullptr;
    QLabel* _title = nullptr;
    QLabel* _message = nullptr;
    QPushButton* _default = nullptr;
    QPushButton* _cancel = nullptr;
    QComboBox* _popup = nullptr;
    std::function<void(int)> _didEnd;
};
