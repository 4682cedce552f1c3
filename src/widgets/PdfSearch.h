#pragma once

#include <QByteArray>
#include <QObject>
#include <QRectF>
#include <atomic>
#include <memory>
#include <thread>

// Searches a PDF document for a text, ignoring case, on a thread of its own,
// page after page; matches and progress arrive on the GUI thread while it
// runs. Starting a new search cancels the running one, and nothing of the
// old search arrives after the new one started (each search has its
// generation number; late reports of an older one are dropped).
class PdfSearch : public QObject {
    Q_OBJECT
public:
    struct Hit {
        int pageIndex = -1;
        QRectF rect; // in points, from the page's upper left corner
    };

    explicit PdfSearch(QObject* parent = nullptr);
    ~PdfSearch() override;

    // The document's bytes (a search reads its own copy of the document).
    void setDocumentData(const QByteArray& pdf) { data_ = pdf; }

    void start(const QString& text);
    void cancel();
    bool isRunning() const { return running_; }
    quint64 generation() const { return generation_; }

Q_SIGNALS:
    void started();
    void matchFound(const PdfSearch::Hit& hit);
    void pageDone(int pageIndex, int pageCount);
    void finished();

private:
    struct Run;
    void stopThread();
    void post(quint64 generation, std::function<void()> report);

    QByteArray data_;
    std::shared_ptr<Run> run_;
    std::thread thread_;
    quint64 generation_ = 0;
    bool running_ = false;
};
