#pragma once

#include "platform/Clock.h"
#include "widgets/MyPDFDocument.h"
#include "widgets/PolishedMetallWindow.h"

#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QStringList>
#include <QVariant>

#include <optional>


// A polished window that moves when dragged by its background.
class ManualWindow : public PolishedMetallWindow {
    Q_OBJECT
public:
    explicit ManualWindow(QWidget* parent = nullptr);
    bool isMovableByWindowBackground() const { return true; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    std::optional<QPoint> dragOffset_;
};

// The manual's dark window: no system title bar; it draws its own title
// strip over a near-black body with rounded corners.
class BlackManualWindow : public ManualWindow {
    Q_OBJECT
public:
    static constexpr int kTitleStripHeight = 24;
    static constexpr qreal kCornerRadius = 6;
    static constexpr int kTitleInset = 19;
    static constexpr qreal kBodyWhite = 0.03;
    static constexpr qreal kTitleStripWhite = 0.25;
    static constexpr double kTitlePadding = 1.9;

    explicit BlackManualWindow(QWidget* parent = nullptr);

    // Keeps the title and sets it padded with blanks to 1.9 times its length.
    void setTitle(const QString& title);
    QString title() const { return theTitle_; }
    static QString paddedTitle(const QString& title);

    double backAlphaValue() const { return 1.0; }
    static QColor getBackGroundColor(double alpha);
    // The rounded body, the title strip and the title, for the window's size.
    QImage backgroundImage(const QSize& size) const;
    std::optional<QBrush> sizedPolishedBackColor(bool flat) const override;

private:
    QString theTitle_;
};

// The manual's outline drawer: a near-black panel with light text.
class BlackDrawerView {
public:
    static QColor backgroundColor() { return QColor::fromRgbF(0.03f, 0.03f, 0.03f, 1.0f); }
    static void install(QWidget* drawer);
};

// The user manual in its own dark window, one at a time. It opens from the
// program's data folder or, in a build tree, from where the build made it.
class ManualDocument : public MyPDFDocument {
    Q_OBJECT
public:
    static constexpr const char* kDocumentType = "ManualDocument";
    static constexpr const char* kFileType = "pdf";
    static constexpr const char* kTitleKey = "ManualTitle";
    static constexpr const char* kBookMarkKey = "MBookMark_%1";
    static constexpr const char* kManualFileName = "Manual.pdf";
    static constexpr double kJumpDelay = 0.1;
    static constexpr qreal kSplitMinimum = 64;
    static constexpr qreal kSplitMaximumShare = 0.8;

    ~ManualDocument() override;

    // The open manual, or null.
    static ManualDocument* sharedManualDocument();
    // The places the manual is looked for, in order; the first existing file
    // (links resolved) is the manual; empty when none exists.
    static QStringList manualSearchPaths();
    static void setManualSearchPaths(const QStringList& paths); // empty: the program's own
    static QString getManualPath();
    // Opens the manual (or brings it forward); a bookmark number makes it
    // jump there 0.1 s later. True when a manual is open afterwards.
    static bool openManualDocument(std::optional<unsigned> bookmark = std::nullopt);

    static QString windowNibName() { return QString::fromLatin1(kDocumentType); }
    static QString displayName();
    QString fileName() const { return getManualPath(); }
    bool isDocumentEdited() const { return false; }
    // The manual file's contents for the type "pdf"; empty otherwise.
    QByteArray dataOfType(const QString& type) const;

    // Anything but a number is ignored; the outline entry labelled with the
    // localized "MBookMark_<number>" is shown; no such entry: nothing moves.
    void jumpToBookMark(const QVariant& number);
    // Depth first: the node itself when its label is the text, else the
    // first match among its children.
    static const PdfOutline::Entry* searchBookMark(const QString& label, const PdfOutline::Entry& basis);
    static const PdfOutline::Entry* searchBookMark(const QString& label, const QList<PdfOutline::Entry>& roots);

    // The split between the pages and the search results.
    static qreal constrainMinCoordinate(qreal proposed, int dividerIndex);
    static qreal constrainMaxCoordinate(qreal proposed, int dividerIndex, qreal splitHeight);
    QSplitter* splitView() const { return splitView_; }

    BlackManualWindow* window() const { return window_; }
    bool jumpPending() const { return jumpTimer_.isActive(); }

private:
    explicit ManualDocument(BlackManualWindow* window);
    void windowControllerDidLoadNib();
    void scheduleJump(unsigned bookmark);

    QPointer<BlackManualWindow> window_;
    QPointer<QSplitter> splitView_;
    platform::Timer jumpTimer_;
    unsigned pendingBookmark_ = 0;
};

// A button that opens the manual at the bookmark of its tag, then sends its
// own action.
class ManualDocumentButton : public QPushButton {
    Q_OBJECT
    Q_PROPERTY(int tag READ tag WRITE setTag)
public:
    explicit ManualDocumentButton(QWidget* parent = nullptr);
    int tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }

    // Asks the application controller to open the manual at the tag; false
    // when there is no controller to ask.
    bool manualDocumentAction();
    // The manual first; the button's own action only when that was delivered.
    bool sendAction();

Q_SIGNALS:
    void action();

private:
    int tag_ = 0;
};
