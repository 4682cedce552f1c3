#pragma once

class QString;
class QWidget;

// The periphery widgets in one window: the tab view and its transitions,
// the launch button and the link field, the About panel, the menu buttons
// and path pop-ups, the drawing canvas and the PDF viewer.
QWidget* openPeripheryGallery(QWidget* parent, const QString& pdfPath);
