#pragma once

#include <QString>

// An address-book label of the form "_$!<Label>!$_" as the bare label
// ("Mobile"); any other text unchanged.
QString cleanLabel(const QString& text);
