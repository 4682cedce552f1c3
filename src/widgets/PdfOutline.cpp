#include "widgets/PdfOutline.h"

#include <poppler-qt6.h>

namespace {

constexpr int kMaxDepth = 32;

QList<PdfOutline::Entry> convert(const QVector<Poppler::OutlineItem>& items, int pageCount, int depth)
{
    QList<PdfOutline::Entry> entries;
    if (depth > kMaxDepth)
        return entries;
    for (const Poppler::OutlineItem& item : items) {
        if (item.isNull())
            continue;
        PdfOutline::Entry entry;
        entry.label = item.name();
        if (const QSharedPointer<const Poppler::LinkDestination> destination = item.destination()) {
            const int page = destination->pageNumber() - 1;
            entry.pageIndex = page >= 0 && page < pageCount ? page : -1;
        }
        if (item.hasChildren())
            entry.children = convert(item.children(), pageCount, depth + 1);
        entries.append(entry);
    }
    return entries;
}

void collect(const QList<PdfOutline::Entry>& entries, QList<const PdfOutline::Entry*>& rows)
{
    for (const PdfOutline::Entry& entry : entries) {
        rows.append(&entry);
        collect(entry.children, rows);
    }
}

} // namespace

PdfOutline PdfOutline::read(const Poppler::Document& document)
{
    return PdfOutline(convert(document.outline(), document.numPages(), 0));
}

QList<const PdfOutline::Entry*> PdfOutline::rows() const
{
    QList<const Entry*> list;
    collect(entries_, list);
    return list;
}

int PdfOutline::rowForPage(const QList<const Entry*>& rows, int pageIndex)
{
    int before = -1;
    for (int row = 0; row < rows.size(); ++row) {
        const int page = rows.at(row)->pageIndex;
        if (page < 0)
            continue;
        if (page == pageIndex)
            return row;
        if (page > pageIndex)
            return before;
        before = row;
    }
    return before; // the page lies in the last section
}

QString PdfOutline::sectionForPage(int pageIndex) const
{
    const QList<const Entry*> list = rows();
    const int row = rowForPage(list, pageIndex);
    return row >= 0 ? list.at(row)->label : QString();
}
