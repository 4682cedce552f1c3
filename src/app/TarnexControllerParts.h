#pragma once

#include <QLatin1String>
#include <QPointer>
#include <QString>

// What the source files of TarnexController share.
namespace tarnexparts {

inline QString key(const char* text)
{
    return QLatin1String(text);
}

template <class T>
void setShown(const QPointer<T>& widget, bool shown)
{
    if (widget)
        widget->setVisible(shown);
}

} // namespace tarnexparts
