#pragma once

#include <QImage>
#include <QRect>
#include <QString>
#include <QWidget>

class QLabel;
class QTextEdit;

// One SMS in the reading pane of the mailbox, on a white ground: the
// contact's picture at the top left, the address line (rich text) beside it,
// a grey line under this header and the message text under the line. Lives
// in a scroll area: the view takes the width of the area's viewport and grows
// taller than it when the text needs the room.
class SLTMessageView : public QWidget {
    Q_OBJECT
public:
    explicit SLTMessageView(QWidget* parent = nullptr);
    ~SLTMessageView() override;

    // Rich text; a null or empty text shows no address line.
    void setAddress(const QString& richText);
    QString address() const { return address_; }
    void setMessage(const QString& message);
    QString message() const { return message_; }
    // Drawn at 64 by 64 points; a null image shows no picture.
    void setFoto(const QImage& foto);
    QImage foto() const { return foto_; }

    bool isFlipped() const { return true; }
    // Takes the size of the viewport it is shown in.
    void initSizes();
    static bool isRect(const QRect& a, const QRect& b) { return a == b; }

    // Where the grey line under the header lies; -1 without an address.
    int separatorLineY() const { return lineY_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void layoutContents();

    QString address_;
    QString message_;
    QImage foto_;
    QLabel* addressView_ = nullptr;
    QTextEdit* messageView_ = nullptr;
    int lineY_ = -1;
};
