#pragma once

#include <QList>
#include <QString>
#include <memory>

namespace Poppler {
class Document;
}

// A PDF document's outline as a tree of entries with their destination
// pages, read once from the document.
class PdfOutline {
public:
    struct Entry {
        QString label;
        int pageIndex = -1; // 0-based; -1 when the destination lies outside the document
        QList<Entry> children;
    };

    // The outline of the document; empty when it has none.
    static PdfOutline read(const Poppler::Document& document);

    PdfOutline() = default;
    explicit PdfOutline(QList<Entry> entries) : entries_(std::move(entries)) { }

    bool isEmpty() const { return entries_.isEmpty(); }
    const QList<Entry>& entries() const { return entries_; }

    // The entries in the order of an outline list's rows with every entry
    // expanded (each entry, then its children).
    QList<const Entry*> rows() const;
    // The row whose section holds the page: the first row that points to the
    // page, else the row before the first one that points after it (the
    // last row when none does); -1 when the first row already lies after
    // the page. Rows pointing outside the document are passed over.
    static int rowForPage(const QList<const Entry*>& rows, int pageIndex);
    // The label of the entry whose section holds the page, empty when none.
    QString sectionForPage(int pageIndex) const;

private:
    QList<Entry> entries_;
};
