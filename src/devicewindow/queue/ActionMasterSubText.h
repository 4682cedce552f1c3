#pragma once

#include "devicewindow/queue/ActionMasterView.h"

// A queue row with a second line: the entry's display sub-string.
class ActionMasterSubText : public ActionMasterView {
    Q_OBJECT

public:
    static constexpr int kRowHeight = 46;

    explicit ActionMasterSubText(QWidget* parent = nullptr);

    static QString nibName() { return QStringLiteral("ActionMasterSubText"); }
    void setFeedBack(const std::shared_ptr<QVFeedBack>& entry) override;
    void feedBackNotify(const platform::Notification& notification) override;
    int rowHeight() const override { return kRowHeight; }
    QLabel* displaySubText() const { return displaySubText_; }

private:
    void showSubText();

    QPointer<QLabel> displaySubText_;
};
