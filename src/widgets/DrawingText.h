#pragma once

class QTextDocument;
class QTextEdit;
class QWidget;

// The text helpers of canvas items.
namespace drawingtext {

// The one document that lays out item names for measuring and drawing, on a
// 1,000,000 x 1,000,000-point page (names never wrap). Main thread only.
QTextDocument* sharedDrawingLayoutManager();

// A text editor for editing a name in place: 100 x 100 points, no margin, no
// background, with undo. The shared one while it is free, else a new one
// (owned by parent). Hand it back with releaseEditor() when the edit ends.
QTextEdit* newEditor(QWidget* parent);
void releaseEditor(QTextEdit* editor);
bool isSharedEditorInUse();

} // namespace drawingtext
