#pragma once

#include "widgets/PdfOutline.h"
#include "widgets/PdfSearch.h"

#include "widgets/PdfPageView.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QStringList>
#include <QTableWidget>
#include <QTreeWidget>
#include <QWidget>
#include <memory>

namespace Poppler {
class Document;
}

// A read-only PDF document window (the "MyDocument" form): the pages, a
// drawer with the document's outline that follows the page shown, and a
// case-insensitive search whose results fill a table (page and section) as
// they are found. Ctrl+F goes to the search field, Return and Shift+Return
// there step through the results. A file that cannot be read shows "The
// document could not be opened." and its name.
class MyPDFDocument : public QWidget {
    Q_OBJECT
public:
    static constexpr qint64 kMaxFileSize = 512LL * 1024 * 1024;

    explicit MyPDFDocument(QWidget* parent = nullptr);
    ~MyPDFDocument() override;
    static QString windowNibName() { return QStringLiteral("MyDocument"); }

    // Opens the file and shows it; false (with the message) when it cannot.
    bool openFile(const QString& path);
    QString fileName() const { return fileName_; }
    // Never saved.
    QByteArray dataRepresentationOfType(const QString&) const { return {}; }
    // The file is read by openFile(), not from the document's data.
    bool loadDataRepresentation(const QByteArray&, const QString&) { return true; }

    void toggleDrawer();
    bool isDrawerOpen() const;
    void takeDestinationFromOutline();
    void displaySinglePage();
    void displayTwoUp();
    void doFind();
    void doFind(const QString& text);

    // The results so far, and the table's cells for them.
    const QList<PdfSearch::Hit>& searchResults() const { return results_; }
    int numberOfRows() const { return int(results_.size()); }
    QString objectValue(const QString& column, int row) const;
    void selectResult(int row);
    void selectNextResult(bool backwards);
    bool isSearching() const { return search_.isRunning(); }
    PdfSearch& search() { return search_; }

    PdfPageView* pdfView() const { return pdfView_; }
    QTreeWidget* outlineView() const { return outlineView_; }
    QLabel* noOutlineText() const { return noOutlineText_; }
    QTableWidget* searchTable() const { return searchTable_; }
    QProgressBar* searchProgress() const { return searchProgress_; }
    QFrame* drawer() const { return drawer_; }
    QLabel* messageLabel() const { return messageLabel_; }
    QLineEdit* searchField() const { return searchField_; }
    const PdfOutline& outline() const { return outline_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void windowControllerDidLoadNib();
    void showFailure();
    void startFind();
    void findProgress(int pageIndex, int pageCount);
    void didMatchString(const PdfSearch::Hit& hit);
    void endFind();
    void tableViewSelectionDidChange();
    void pageChanged(int pageIndex);
    void fillOutline();

    QWidget* form_ = nullptr;
    QPointer<PdfPageView> pdfView_;
    QPointer<QFrame> drawer_;
    QPointer<QTreeWidget> outlineView_;
    QPointer<QLabel> noOutlineText_;
    QPointer<QTableWidget> searchTable_;
    QPointer<QProgressBar> searchProgress_;
    QPointer<QLabel> messageLabel_;
    QPointer<QLineEdit> searchField_;

    QString fileName_;
    std::shared_ptr<Poppler::Document> document_;
    PdfOutline outline_;
    QStringList pageLabels_;
    QList<PdfSearch::Hit> results_;
    PdfSearch search_;
    QString lastSearch_;
    bool followingPage_ = false;
};
