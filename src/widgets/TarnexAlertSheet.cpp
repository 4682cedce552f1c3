#include "widgets/TarnexAlertSheet.h"

#include "platform/Localization.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <utility>

namespace {

constexpr const char* kCancelKey = "Cancel";

void setPart(QLabel* label, const QString& text)
{
    label->setText(text);
    label->setVisible(!text.isEmpty());
}

void setButton(QPushButton* button, const QString& title)
{
    button->setText(title);
    button->setAccessibleName(title);
    button->setVisible(!title.isEmpty());
}

} // namespace

TarnexAlertSheet::TarnexAlertSheet(QWidget* window)
    : QDialog(window, Qt::Sheet)
{
    setObjectName(QStringLiteral("alertSheet"));
    setWindowModality(Qt::WindowModal);
    setStyleSheet(QStringLiteral("TarnexAlertSheet { background: #1c1c1e; border: 1px solid #5a5a5a; }"
                                 "QLabel { color: #f0f0f0; }"
                                 "QPushButton { color: #f0f0f0; background: #3a3a3c; border: 1px solid #6a6a6a;"
                                 " border-radius: 5px; padding: 4px 14px; min-width: 64px; }"
                                 "QPushButton:default { background: #2d6fd6; border-color: #4c8ef0; }"
                                 "QPushButton:focus { border-color: #9cc2ff; }"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 18);
    layout->setSpacing(12);
    title_ = new QLabel(this);
    title_->setObjectName(QStringLiteral("alertTitle"));
    QFont bold = title_->font();
    bold.setBold(true);
    bold.setPointSize(14);
    title_->setFont(bold);
    title_->setWordWrap(true);
    message_ = new QLabel(this);
    message_->setObjectName(QStringLiteral("alertMessage"));
    message_->setWordWrap(true);
    message_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    layout->addWidget(title_);
    layout->addWidget(message_, 1);

    auto* buttons = new QHBoxLayout;
    other_ = new QPushButton(this);
    other_->setObjectName(QStringLiteral("alertOtherButton"));
    alternate_ = new QPushButton(this);
    alternate_->setObjectName(QStringLiteral("alertAlternateButton"));
    default_ = new QPushButton(this);
    default_->setObjectName(QStringLiteral("alertDefaultButton"));
    // Return always presses the default button, whichever has the focus.
    for (QPushButton* button : {other_.data(), alternate_.data(), default_.data()})
        button->setAutoDefault(false);
    default_->setDefault(true);
    buttons->addWidget(other_);
    buttons->addStretch(1);
    buttons->addWidget(alternate_);
    buttons->addWidget(default_);
    layout->addLayout(buttons);
    setTabOrder(default_, alternate_);
    setTabOrder(alternate_, other_);

    connect(default_, &QPushButton::clicked, this, [this] { end(kDefaultReturn); });
    connect(alternate_, &QPushButton::clicked, this, [this] { end(kAlternateReturn); });
    connect(other_, &QPushButton::clicked, this, [this] { end(kOtherReturn); });
}

void TarnexAlertSheet::begin(const QString& title, const QString& defaultButton, const QString& alternateButton,
                             const QString& otherButton, const QString& message, int height,
                             std::function<void(int)> didEnd)
{
    didEnd_ = std::move(didEnd);
    setPart(title_, title);
    setPart(message_, message);
    setButton(default_, defaultButton);
    setButton(alternate_, alternateButton);
    setButton(other_, otherButton);
    setFixedSize(kWidth, height);
    if (QWidget* window = parentWidget())
        move(window->mapToGlobal(QPoint((window->width() - kWidth) / 2, 0)));
    setAccessibleName(title);
    open();
    if (default_->isVisible())
        default_->setFocus(Qt::OtherFocusReason);
}

void TarnexAlertSheet::reject()
{
    const QString cancel = platform::localizedString(QLatin1String(kCancelKey));
    for (QPushButton* button : {default_.data(), alternate_.data(), other_.data()}) {
        if (!button->isHidden() && button->text() == cancel) {
            button->click();
            return;
        }
    }
    for (QPushButton* button : {other_.data(), alternate_.data(), default_.data()}) {
        if (!button->isHidden()) {
            button->click();
            return;
        }
    }
    end(kDefaultReturn);
}

void TarnexAlertSheet::end(int code)
{
    // The sheet goes first; the handler may begin the next one.
    done(code);
    hide();
    if (std::function<void(int)> didEnd = std::exchange(didEnd_, {}))
        didEnd(code);
}
