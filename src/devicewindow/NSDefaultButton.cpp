#include "devicewindow/NSDefaultButton.h"

#include <QEvent>

NSDefaultButton::NSDefaultButton(QWidget* parent)
    : QPushButton(parent)
{
    updateKeyEquivalent();
}

NSDefaultButton::NSDefaultButton(const QString& text, QWidget* parent)
    : QPushButton(text, parent)
{
    updateKeyEquivalent();
}

void NSDefaultButton::setEnabled(bool enabled)
{
    QPushButton::setEnabled(enabled);
    updateKeyEquivalent();
}

void NSDefaultButton::setHidden(bool hidden)
{
    setVisible(!hidden);
}

void NSDefaultButton::setVisible(bool visible)
{
    QPushButton::setVisible(visible);
    updateKeyEquivalent();
}

QString NSDefaultButton::keyEquivalent() const
{
    return isDefault() ? QStringLiteral("\r") : QString();
}

void NSDefaultButton::changeEvent(QEvent* event)
{
    QPushButton::changeEvent(event);
    if (event->type() == QEvent::EnabledChange)
        updateKeyEquivalent();
}

void NSDefaultButton::updateKeyEquivalent()
{
    // Hidden means hidden by its own flag: a button on a page not shown yet
    // keeps its key for when the page appears.
    const bool answers = isEnabled() && !isHidden();
    setAutoDefault(false);
    setDefault(answers);
}
