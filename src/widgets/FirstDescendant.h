#pragma once

#include <QWidget>

// The first widget of class T in depth-first order of view and its
// descendants (view itself included), or null.
template <class T>
T* firstDescendant(QWidget* view)
{
    if (!view)
        return nullptr;
    if (auto* found = qobject_cast<T*>(view))
        return found;
    for (QObject* child : view->children()) {
        if (auto* widget = qobject_cast<QWidget*>(child)) {
            if (T* found = firstDescendant<T>(widget))
                return found;
        }
    }
    return nullptr;
}
