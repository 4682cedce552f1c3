#include "devicewindow/queue/BlackErrorWindow.h"

#include "devicewindow/queue/ActionMasterView.h"

#include <QLabel>
#include <QVBoxLayout>

BlackErrorWindow::BlackErrorWindow(QWidget* parent) : BlackToolWindow(parent, false)
{
    setObjectName(QStringLiteral("blackErrorWindow"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setWindowFlag(Qt::WindowDoesNotAcceptFocus);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, kTitleBarHeight + 4, 10, 10);
    const auto makeLabel = [this, layout](const char* name) {
        auto* label = new QLabel(this);
        label->setObjectName(QLatin1String(name));
        label->setWordWrap(true);
        label->setStyleSheet(QStringLiteral("color: white"));
        layout->addWidget(label);
        return label;
    };
    displayText_ = makeLabel("displayText");
    displaySubText_ = makeLabel("displaySubText");
    displayErrText_ = makeLabel("displayErrText");
    resize(280, 110);
    hide();
}

std::shared_ptr<QVFeedBack> BlackErrorWindow::currentFeedBack() const
{
    return currentMasterView_ ? currentMasterView_->feedBack() : nullptr;
}

void BlackErrorWindow::doHide()
{
    currentMasterView_ = nullptr;
    hide();
}

void BlackErrorWindow::displayError(ActionMasterView* row)
{
    currentMasterView_ = row;
    const auto entry = row ? row->feedBack() : nullptr;
    if (!entry) {
        doHide();
        return;
    }
    displayText_->setText(ActionMasterView::displayTextOf(*entry));
    displaySubText_->setText(entry->displaySubString());
    displaySubText_->setVisible(!displaySubText_->text().isEmpty());
    displayErrText_->setText(row->errorText());
    move(row->mapToGlobal(QPoint(row->width(), kBelowRowTop)));
    show();
    raise();
}
