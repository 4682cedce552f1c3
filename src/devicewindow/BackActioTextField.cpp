#include "devicewindow/BackActioTextField.h"

#include "platform/Localization.h"

namespace {
constexpr const char* kPushToBreak = "PushToBreak";
}

BackActioTextField::BackActioTextField(QWidget* parent) : QLabel(parent)
{
    idle_.setCallback([this] { backActioIdle(); });
}

void BackActioTextField::setHidden(bool hidden)
{
    if (!hidden && isHidden() && !idle_.isActive())
        idle_.start(kIdleInterval, true);
    QLabel::setHidden(hidden);
}

void BackActioTextField::setStringValue(const QString& text)
{
    strBuffer_ = text;
    setText(displayBreakInfo_ == kBreakInfoMode ? platform::localizedString(QLatin1String(kPushToBreak)) : text);
}

void BackActioTextField::backActioIdle()
{
    if (isHidden()) {
        idle_.stop();
        return;
    }
    displayBreakInfo_ = 0;
    if (!strBuffer_.isEmpty()) {
        setText(strBuffer_);
        update();
    }
}
