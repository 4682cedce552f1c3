#include "widgets/MyPDFDocument.h"

#include "platform/gui/Interface.h"
#include "widgets/PdfPageView.h"
#include "widgets/WidgetClasses.h"
#include "widgets/WidgetsLog.h"

#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTableWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>
#include <algorithm>

#include <poppler-qt6.h>

namespace {
const QString kPageColumn = QStringLiteral("page");
const QString kSectionColumn = QStringLiteral("section");
constexpr int kProgressSteps = 1000;
constexpr int kMaxViewSide = 760;
constexpr int kMinViewHeight = 150;
} // namespace

MyPDFDocument::MyPDFDocument(QWidget* parent) : QWidget(parent)
{
    setWindowTitle(tr("Document"));
    // The form names the page view, a class of our own.
    registerWidgetClasses();
    form_ = platform::gui::loadInterface(QLatin1String(platform::gui::kProgramBundle), windowNibName(), this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(form_);
    pdfView_ = platform::gui::outlet<PdfPageView>(form_, QStringLiteral("pdfView"));
    drawer_ = platform::gui::outlet<QFrame>(form_, QStringLiteral("drawer"));
    outlineView_ = platform::gui::outlet<QTreeWidget>(form_, QStringLiteral("outlineView"));
    noOutlineText_ = platform::gui::outlet<QLabel>(form_, QStringLiteral("noOutlineText"));
    searchTable_ = platform::gui::outlet<QTableWidget>(form_, QStringLiteral("searchTable"));
    searchProgress_ = platform::gui::outlet<QProgressBar>(form_, QStringLiteral("searchProgress"));
    messageLabel_ = platform::gui::outlet<QLabel>(form_, QStringLiteral("messageLabel"));
    searchField_ = platform::gui::outlet<QLineEdit>(form_, QStringLiteral("searchField"));
    if (!pdfView_ || !drawer_ || !searchTable_ || !searchProgress_ || !messageLabel_ || !searchField_)
        return;

    searchTable_->horizontalHeaderItem(0)->setData(Qt::UserRole, kPageColumn);
    searchTable_->horizontalHeaderItem(1)->setData(Qt::UserRole, kSectionColumn);
    connect(searchTable_, &QTableWidget::itemSelectionChanged, this, &MyPDFDocument::tableViewSelectionDidChange);
    connect(pdfView_, &PdfPageView::pageChanged, this, &MyPDFDocument::pageChanged);
    connect(&search_, &PdfSearch::started, this, &MyPDFDocument::startFind);
    connect(&search_, &PdfSearch::pageDone, this, &MyPDFDocument::findProgress);
    connect(&search_, &PdfSearch::matchFound, this, &MyPDFDocument::didMatchString);
    connect(&search_, &PdfSearch::finished, this, &MyPDFDocument::endFind);
    if (outlineView_)
        connect(outlineView_, &QTreeWidget::currentItemChanged, this, [this] {
            if (!followingPage_)
                takeDestinationFromOutline();
        });
    if (auto* button = form_->findChild<QPushButton*>(QStringLiteral("singlePageButton")))
        connect(button, &QPushButton::clicked, this, &MyPDFDocument::displaySinglePage);
    if (auto* button = form_->findChild<QPushButton*>(QStringLiteral("twoUpButton")))
        connect(button, &QPushButton::clicked, this, &MyPDFDocument::displayTwoUp);
    if (auto* button = form_->findChild<QPushButton*>(QStringLiteral("drawerButton")))
        connect(button, &QPushButton::clicked, this, &MyPDFDocument::toggleDrawer);
    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] {
        searchField_->setFocus(Qt::ShortcutFocusReason);
        searchField_->selectAll();
    });
    searchField_->installEventFilter(this);
}

MyPDFDocument::~MyPDFDocument()
{
    search_.cancel();
}

bool MyPDFDocument::openFile(const QString& path)
{
    search_.cancel();
    fileName_ = path;
    setWindowTitle(QFileInfo(path).fileName());
    QFile file(path);
    QByteArray data;
    if (file.open(QIODevice::ReadOnly) && file.size() <= kMaxFileSize)
        data = file.readAll();
    else
        qCWarning(lcWidgets) << "MyPDFDocument: cannot read" << path << file.errorString();
    std::unique_ptr<Poppler::Document> document = data.isEmpty() ? nullptr : Poppler::Document::loadFromData(data);
    if (!document || document->isLocked() || document->numPages() <= 0) {
        qCWarning(lcWidgets) << "MyPDFDocument: not a readable PDF document:" << path;
        document_.reset();
        showFailure();
        return false;
    }
    document_ = std::move(document);
    search_.setDocumentData(data);
    windowControllerDidLoadNib();
    return true;
}

void MyPDFDocument::showFailure()
{
    if (!messageLabel_)
        return;
    messageLabel_->setText(tr("The document could not be opened.") + QLatin1Char('\n')
                           + QFileInfo(fileName_).fileName());
    messageLabel_->show();
    if (pdfView_) {
        pdfView_->setDocument(nullptr);
        pdfView_->hide();
    }
    if (drawer_)
        drawer_->hide();
}

void MyPDFDocument::windowControllerDidLoadNib()
{
    if (!pdfView_)
        return;
    messageLabel_->hide();
    pdfView_->show();
    pdfView_->setDocument(document_);
    pageLabels_.clear();
    for (int index = 0; index < document_->numPages(); ++index) {
        std::unique_ptr<Poppler::Page> page = document_->page(index);
        const QString label = page ? page->label() : QString();
        pageLabels_.append(label.isEmpty() ? QString::number(index + 1) : label);
    }
    outline_ = PdfOutline::read(*document_);
    fillOutline();
    drawer_->show();
    // The view is as wide as the page's row, and the scroller when the view
    // scrolls; the window is as high as the row allows on the screen.
    QSize content = pdfView_->rowSize(pdfView_->currentPageIndex());
    if (pdfView_->isContinuous() && pdfView_->pageCount() > 1)
        content.rwidth() += pdfView_->verticalScrollBar()->sizeHint().width();
    pdfView_->setMinimumWidth(std::min(content.width(), kMaxViewSide));
    pdfView_->setMinimumHeight(std::min(content.height(), kMaxViewSide));
    resize(form_->sizeHint().expandedTo(form_->minimumSizeHint()));
    pdfView_->setMinimumHeight(kMinViewHeight);
}

void MyPDFDocument::fillOutline()
{
    if (outline_.isEmpty()) {
        if (outlineView_)
            delete outlineView_.data(); // no list: the drawer tells there is no outline
        if (noOutlineText_)
            noOutlineText_->show();
        return;
    }
    if (noOutlineText_)
        delete noOutlineText_.data();
    if (!outlineView_)
        return;
    outlineView_->clear();
    std::function<void(const QList<PdfOutline::Entry>&, QTreeWidgetItem*)> add =
        [&](const QList<PdfOutline::Entry>& entries, QTreeWidgetItem* parent) {
            for (const PdfOutline::Entry& entry : entries) {
                auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(outlineView_);
                item->setText(0, entry.label);
                item->setData(0, Qt::UserRole, entry.pageIndex);
                add(entry.children, item);
            }
        };
    followingPage_ = true;
    add(outline_.entries(), nullptr);
    outlineView_->expandAll();
    followingPage_ = false;
}

void MyPDFDocument::toggleDrawer()
{
    if (drawer_)
        drawer_->setVisible(!drawer_->isVisible());
}

bool MyPDFDocument::isDrawerOpen() const
{
    return drawer_ && !drawer_->isHidden();
}

void MyPDFDocument::takeDestinationFromOutline()
{
    if (!outlineView_ || !pdfView_)
        return;
    const QTreeWidgetItem* item = outlineView_->currentItem();
    const int page = item ? item->data(0, Qt::UserRole).toInt() : -1;
    if (page >= 0 && page < pdfView_->pageCount())
        pdfView_->goToPage(page);
}

void MyPDFDocument::displaySinglePage()
{
    if (pdfView_ && pdfView_->isTwoUp())
        pdfView_->setDisplayMode(PdfPageView::DisplayMode(pdfView_->displayMode() - 2));
}

void MyPDFDocument::displayTwoUp()
{
    if (pdfView_ && !pdfView_->isTwoUp())
        pdfView_->setDisplayMode(PdfPageView::DisplayMode(pdfView_->displayMode() + 2));
}

void MyPDFDocument::doFind()
{
    if (searchField_)
        doFind(searchField_->text());
}

void MyPDFDocument::doFind(const QString& text)
{
    if (!document_)
        return;
    lastSearch_ = text;
    search_.start(text);
}

void MyPDFDocument::startFind()
{
    results_.clear();
    searchTable_->clearContents();
    searchTable_->setRowCount(0);
    searchProgress_->setRange(0, kProgressSteps);
    searchProgress_->setValue(0);
}

void MyPDFDocument::findProgress(int pageIndex, int pageCount)
{
    if (pageCount > 0)
        searchProgress_->setValue(int(double(pageIndex + 1) / pageCount * kProgressSteps));
}

void MyPDFDocument::didMatchString(const PdfSearch::Hit& hit)
{
    results_.append(hit);
    const int row = searchTable_->rowCount();
    searchTable_->insertRow(row);
    searchTable_->setItem(row, 0, new QTableWidgetItem(objectValue(kPageColumn, row)));
    searchTable_->setItem(row, 1, new QTableWidgetItem(objectValue(kSectionColumn, row)));
}

void MyPDFDocument::endFind()
{
    searchProgress_->setValue(0);
}

QString MyPDFDocument::objectValue(const QString& column, int row) const
{
    if (row < 0 || row >= results_.size())
        return {};
    const int page = results_.at(row).pageIndex;
    if (column == kPageColumn)
        return pageLabels_.value(page);
    if (column == kSectionColumn)
        return outline_.sectionForPage(page);
    return {};
}

void MyPDFDocument::selectResult(int row)
{
    if (row < 0 || row >= results_.size())
        searchTable_->clearSelection();
    else
        searchTable_->selectRow(row);
}

void MyPDFDocument::selectNextResult(bool backwards)
{
    if (results_.isEmpty())
        return;
    const QList<QTableWidgetItem*> selected = searchTable_->selectedItems();
    const int current = selected.isEmpty() ? (backwards ? 0 : -1) : selected.first()->row();
    const int count = int(results_.size());
    selectResult(((backwards ? current - 1 : current + 1) % count + count) % count);
}

void MyPDFDocument::tableViewSelectionDidChange()
{
    const QList<QTableWidgetItem*> selected = searchTable_->selectedItems();
    if (selected.isEmpty())
        return; // the view stays where it is
    const int row = selected.first()->row();
    if (row >= 0 && row < results_.size())
        pdfView_->showSelection(results_.at(row).pageIndex, results_.at(row).rect);
}

void MyPDFDocument::pageChanged(int pageIndex)
{
    if (!outlineView_ || outline_.isEmpty())
        return;
    const int row = PdfOutline::rowForPage(outline_.rows(), pageIndex);
    followingPage_ = true;
    QTreeWidgetItem* chosen = nullptr;
    int index = 0;
    for (QTreeWidgetItemIterator it(outlineView_); *it; ++it, ++index)
        if (index == row)
            chosen = *it;
    if (chosen) {
        outlineView_->setCurrentItem(chosen);
        outlineView_->scrollToItem(chosen);
    } else {
        outlineView_->clearSelection();
        outlineView_->setCurrentItem(nullptr);
    }
    followingPage_ = false;
}

bool MyPDFDocument::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == searchField_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (searchField_->text() != lastSearch_ || results_.isEmpty())
                doFind();
            else
                selectNextResult(key->modifiers() & Qt::ShiftModifier);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
