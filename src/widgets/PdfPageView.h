#pragma once

#include <QAbstractScrollArea>
#include <QHash>
#include <QImage>
#include <memory>

namespace Poppler {
class Document;
}

// Shows the pages of a PDF document: one page or two side by side, either
// one row at a time or all rows scrolling continuously. Page Up and Page
// Down turn a row, Home and End go to the first and last page, the arrows
// scroll. A found text can be highlighted and scrolled to.
class PdfPageView : public QAbstractScrollArea {
    Q_OBJECT
public:
    enum DisplayMode { SinglePage = 0, SinglePageContinuous = 1, TwoUp = 2, TwoUpContinuous = 3 };
    static constexpr double kScale = 1.25; // screen pixels per point
    static constexpr int kGap = 8;

    explicit PdfPageView(QWidget* parent = nullptr);
    ~PdfPageView() override;

    void setDocument(std::shared_ptr<Poppler::Document> document);
    int pageCount() const;

    DisplayMode displayMode() const { return mode_; }
    void setDisplayMode(DisplayMode mode);
    bool isContinuous() const { return mode_ == SinglePageContinuous || mode_ == TwoUpContinuous; }
    bool isTwoUp() const { return mode_ == TwoUp || mode_ == TwoUpContinuous; }

    int currentPageIndex() const { return current_; }
    void goToPage(int index);
    // Highlights the rectangle (points) on the page and scrolls it to the
    // middle of the visible area.
    void showSelection(int pageIndex, const QRectF& rect);
    void clearSelection();
    int selectedPage() const { return selectedPage_; }
    QRectF selectedRect() const { return selectedRect_; }

    // The size of the row that shows the page, in pixels.
    QSize rowSize(int pageIndex) const;

Q_SIGNALS:
    void pageChanged(int pageIndex);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QSizeF pageSize(int index) const;
    int rowOf(int pageIndex) const;
    int rowCount() const;
    int firstPageOfRow(int row) const;
    // Where a page lies on the whole scrolling surface.
    QRect pageRect(int pageIndex) const;
    int rowTop(int row) const;
    void layoutRows();
    void setCurrent(int index);
    void updateCurrentFromScroll();
    QImage pageImage(int index);

    std::shared_ptr<Poppler::Document> document_;
    QList<QSizeF> pageSizes_;
    QList<int> rowTops_;
    DisplayMode mode_ = SinglePageContinuous;
    int current_ = 0;
    int selectedPage_ = -1;
    QRectF selectedRect_;
    QHash<int, QImage> cache_;
    bool scrollingToPage_ = false;
};
