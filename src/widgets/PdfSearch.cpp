#include "widgets/PdfSearch.h"

#include "widgets/WidgetsLog.h"

#include <poppler-qt6.h>

struct PdfSearch::Run {
    std::atomic<bool> cancelled{false};
};

PdfSearch::PdfSearch(QObject* parent) : QObject(parent)
{
}

PdfSearch::~PdfSearch()
{
    stopThread();
}

void PdfSearch::stopThread()
{
    if (run_)
        run_->cancelled = true;
    if (thread_.joinable())
        thread_.join();
    run_.reset();
}

void PdfSearch::cancel()
{
    stopThread();
    ++generation_; // what the cancelled search still posted is dropped
    running_ = false;
}

void PdfSearch::post(quint64 generation, std::function<void()> report)
{
    QMetaObject::invokeMethod(
        this,
        [this, generation, report = std::move(report)] {
            if (generation == generation_)
                report();
        },
        Qt::QueuedConnection);
}

void PdfSearch::start(const QString& text)
{
    cancel();
    const quint64 generation = generation_;
    running_ = true;
    Q_EMIT started();
    auto run = std::make_shared<Run>();
    run_ = run;
    thread_ = std::thread([this, run, generation, text, data = data_] {
        std::unique_ptr<Poppler::Document> document = Poppler::Document::loadFromData(data);
        const int pages = document && !document->isLocked() ? document->numPages() : 0;
        if (!document)
            qCWarning(lcWidgets) << "PdfSearch: the document could not be read";
        for (int index = 0; index < pages && !text.isEmpty() && !run->cancelled; ++index) {
            std::unique_ptr<Poppler::Page> page = document->page(index);
            const QList<QRectF> rects = page ? page->search(text, Poppler::Page::IgnoreCase) : QList<QRectF>();
            for (const QRectF& rect : rects)
                post(generation, [this, hit = Hit{index, rect}] { Q_EMIT matchFound(hit); });
            post(generation, [this, index, pages] { Q_EMIT pageDone(index, pages); });
        }
        if (!run->cancelled)
            post(generation, [this] {
                running_ = false;
                Q_EMIT finished();
            });
    });
}
