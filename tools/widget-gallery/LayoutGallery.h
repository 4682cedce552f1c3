#pragma once

class QWidget;

// Opens the "LayoutGallery" form: the tool-switch list in a split view with a
// grip, hover and pulsing buttons over footer bars, phone button cells, a
// collapsible box and a table of image-and-text and device cells, all on a
// polished window. The window belongs to parent.
QWidget* openLayoutGallery(QWidget* parent);
