#pragma once

#include <QString>

class QWidget;

namespace platform::gui {

// Saves the widget's grab() as <folder>/<name>.png, the folder being
// $MARVESTO_TEST_ARTIFACTS or build/test-artifacts, for a reviewer to look at.
// Answers the file's path, or an empty string when it could not be written.
QString saveGrab(QWidget* widget, const QString& name);

} // namespace platform::gui
