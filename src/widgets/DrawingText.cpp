#include "widgets/DrawingText.h"

#include <QPointer>
#include <QTextDocument>
#include <QTextEdit>

namespace drawingtext {

namespace {

constexpr double kPageSide = 1000000.0;
constexpr int kEditorSide = 100;

QPointer<QTextEdit>& sharedEditor()
{
    static QPointer<QTextEdit> editor;
    return editor;
}

bool& sharedInUse()
{
    static bool inUse = false;
    return inUse;
}

QTextEdit* makeEditor(QWidget* parent)
{
    auto* editor = new QTextEdit(parent);
    editor->resize(kEditorSide, kEditorSide);
    editor->setFrameStyle(0);
    editor->document()->setDocumentMargin(0);
    editor->setAutoFillBackground(false);
    editor->viewport()->setAutoFillBackground(false);
    editor->setStyleSheet(QStringLiteral("background: transparent;"));
    editor->setUndoRedoEnabled(true);
    editor->setAcceptRichText(false);
    editor->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    editor->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return editor;
}

} // namespace

QTextDocument* sharedDrawingLayoutManager()
{
    static QTextDocument* document = [] {
        auto* made = new QTextDocument();
        made->setPageSize(QSizeF(kPageSide, kPageSide));
        made->setDocumentMargin(0);
        return made;
    }();
    return document;
}

QTextEdit* newEditor(QWidget* parent)
{
    if (sharedInUse())
        return makeEditor(parent);
    QPointer<QTextEdit>& shared = sharedEditor();
    if (!shared)
        shared = makeEditor(parent);
    else
        shared->setParent(parent);
    shared->clear();
    shared->resize(kEditorSide, kEditorSide);
    sharedInUse() = true;
    return shared;
}

void releaseEditor(QTextEdit* editor)
{
    if (!editor)
        return;
    editor->hide();
    if (editor == sharedEditor()) {
        sharedInUse() = false;
        return;
    }
    editor->deleteLater();
}

bool isSharedEditorInUse()
{
    return sharedInUse();
}

} // namespace drawingtext
