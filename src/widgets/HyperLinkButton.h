#pragma once

#include "platform/gui/Interface.h"

#include <QLabel>
#include <QUrl>

// A text field whose text becomes a link. The form gives the visible text
// and, in the "placeholderText" property, the key of the address in the
// program's string table (a key missing there is taken as the address
// itself). Without an address that links, it stays plain text.
class HyperLinkButton : public QLabel, public platform::gui::NibAwakening {
    Q_OBJECT
    Q_PROPERTY(QString placeholderText READ placeholderText WRITE setPlaceholderText)

public:
    explicit HyperLinkButton(QWidget* parent = nullptr);

    QString placeholderText() const { return placeholderText_; }
    void setPlaceholderText(const QString& key) { placeholderText_ = key; }
    QUrl link() const { return link_; }

    void awakeFromNib() override { setHyperlinkWithTextField(); }
    void setHyperlinkWithTextField();

private:
    QString placeholderText_;
    QUrl link_;
};
