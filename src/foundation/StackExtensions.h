#pragma once

#include <QVariant>
#include <QVariantList>

// A list used as a stack, top at the end. Invalid values are not pushed.
void pushItem(QVariantList& stack, const QVariant& item);
QVariant popItem(QVariantList& stack); // invalid when empty
QVariant topItem(const QVariantList& stack); // invalid when empty
