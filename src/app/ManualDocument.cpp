#include "app/ManualDocument.h"

#include "app/AppController.h"

#include "foundation/ModifierKeys.h"
#include "platform/Localization.h"
#include "platform/gui/Paths.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QSplitter>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cmath>

namespace {

ManualDocument* gSharedManual = nullptr;

QStringList& searchPathOverride()
{
    static QStringList paths;
    return paths;
}

// Keeps the divider between 64 points from the top and 0.8 of the height.
class ManualSplitView : public QSplitter {
public:
    explicit ManualSplitView(QWidget* parent) : QSplitter(Qt::Vertical, parent)
    {
        setObjectName(QStringLiteral("manualSplitView"));
        setChildrenCollapsible(false);
    }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        applyLimits();
        QSplitter::resizeEvent(event);
    }
    void childEvent(QChildEvent* event) override
    {
        QSplitter::childEvent(event);
        if (event->added())
            applyLimits();
    }

private:
    void applyLimits()
    {
        if (count() < 2)
            return;
        const qreal height = this->height();
        const qreal maximum = ManualDocument::constrainMaxCoordinate(height, 0, height);
        widget(0)->setMinimumHeight(int(std::ceil(ManualDocument::constrainMinCoordinate(0, 0))));
        widget(1)->setMinimumHeight(std::max(0, int(std::ceil(height - maximum)) - handleWidth()));
    }
};

} // namespace

// ---- ManualWindow ---------------------------------------------------------

ManualWindow::ManualWindow(QWidget* parent) : PolishedMetallWindow(parent)
{
    setMouseTracking(true);
}

void ManualWindow::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
        event->accept();
        return;
    }
    PolishedMetallWindow::mousePressEvent(event);
}

void ManualWindow::mouseMoveEvent(QMouseEvent* event)
{
    if (dragOffset_ && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPosition().toPoint() - *dragOffset_);
        event->accept();
        return;
    }
    PolishedMetallWindow::mouseMoveEvent(event);
}

void ManualWindow::mouseReleaseEvent(QMouseEvent* event)
{
    dragOffset_.reset();
    PolishedMetallWindow::mouseReleaseEvent(event);
}

// ---- BlackManualWindow ----------------------------------------------------

BlackManualWindow::BlackManualWindow(QWidget* parent) : ManualWindow(parent)
{
    setObjectName(QStringLiteral("manualWindow"));
    setWindowFlag(Qt::FramelessWindowHint, true);
    setAttribute(Qt::WA_TranslucentBackground, true);
    setAttribute(Qt::WA_DeleteOnClose, true);
    setAccessibleName(platform::localizedString(QLatin1String(ManualDocument::kTitleKey)));
}

QString BlackManualWindow::paddedTitle(const QString& title)
{
    const int width = int(std::floor(kTitlePadding * title.size()));
    return title.leftJustified(width, QLatin1Char(' '));
}

void BlackManualWindow::setTitle(const QString& title)
{
    theTitle_ = title;
    setWindowTitle(paddedTitle(title));
    setPolishedOnlyOnKey(isPolishedOnlyOnKey());
}

QColor BlackManualWindow::getBackGroundColor(double alpha)
{
    return QColor::fromRgbF(kBodyWhite, kBodyWhite, kBodyWhite, alpha);
}

QImage BlackManualWindow::backgroundImage(const QSize& size) const
{
    QImage image(size.expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal width = size.width();
    const qreal height = size.height();
    const qreal strip = std::min<qreal>(kTitleStripHeight, height);
    const qreal alpha = backAlphaValue();

    // The body under the strip: its lower corners rounded (the upper ones
    // lie under the strip).
    QPainterPath body;
    body.addRoundedRect(QRectF(0, strip - kCornerRadius, width, height - strip + kCornerRadius), kCornerRadius,
                        kCornerRadius);
    painter.fillPath(body, getBackGroundColor(alpha));

    // The strip with its upper corners rounded.
    QPainterPath top;
    top.moveTo(0, strip);
    top.lineTo(0, kCornerRadius);
    top.arcTo(QRectF(0, 0, 2 * kCornerRadius, 2 * kCornerRadius), 180, -90);
    top.lineTo(width - kCornerRadius, 0);
    top.arcTo(QRectF(width - 2 * kCornerRadius, 0, 2 * kCornerRadius, 2 * kCornerRadius), 90, -90);
    top.lineTo(width, strip);
    top.closeSubpath();
    painter.fillPath(top, QColor::fromRgbF(kTitleStripWhite, kTitleStripWhite, kTitleStripWhite, alpha));

    QFont font = this->font();
    font.setPointSizeF(std::max<qreal>(font.pointSizeF() - 2, 7));
    painter.setFont(font);
    painter.setPen(Qt::white);
    const QRectF textRect(kTitleInset, 0, std::max<qreal>(width - 2 * kTitleInset, 0), strip);
    const QString shown = QFontMetrics(font).elidedText(theTitle_, Qt::ElideRight, int(textRect.width()));
    painter.drawText(textRect, Qt::AlignCenter, shown);
    return image;
}

std::optional<QBrush> BlackManualWindow::sizedPolishedBackColor(bool) const
{
    return QBrush(backgroundImage(size()));
}

// ---- BlackDrawerView ------------------------------------------------------

void BlackDrawerView::install(QWidget* drawer)
{
    if (!drawer)
        return;
    drawer->setObjectName(drawer->objectName().isEmpty() ? QStringLiteral("drawer") : drawer->objectName());
    drawer->setAutoFillBackground(true);
    QPalette palette = drawer->palette();
    for (QPalette::ColorRole role : {QPalette::Window, QPalette::Base})
        palette.setColor(role, backgroundColor());
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text})
        palette.setColor(role, QColor(0xe6, 0xe6, 0xe6));
    drawer->setPalette(palette);
    for (QWidget* child : drawer->findChildren<QWidget*>())
        child->setPalette(palette);
}

// ---- ManualDocument -------------------------------------------------------

ManualDocument::ManualDocument(BlackManualWindow* window) : MyPDFDocument(window), window_(window)
{
    setObjectName(QStringLiteral("manualDocument"));
    jumpTimer_.setCallback([this] { jumpToBookMark(QVariant::fromValue(pendingBookmark_)); });
    // The pages and the search results share a split view.
    auto* mainLayout = findChild<QVBoxLayout*>(QStringLiteral("mainLayout"));
    PdfPageView* pages = pdfView();
    QTableWidget* results = searchTable();
    if (mainLayout && pages && results) {
        const int at = mainLayout->indexOf(pages);
        mainLayout->removeWidget(pages);
        mainLayout->removeWidget(results);
        auto* split = new ManualSplitView(pages->parentWidget());
        results->setMaximumHeight(QWIDGETSIZE_MAX);
        split->addWidget(pages);
        split->addWidget(results);
        split->setStretchFactor(0, 1);
        split->setStretchFactor(1, 0);
        mainLayout->insertWidget(at, split, 1);
        splitView_ = split;
    }
    BlackDrawerView::install(drawer());
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, BlackManualWindow::getBackGroundColor(1.0));
    palette.setColor(QPalette::WindowText, QColor(0xe6, 0xe6, 0xe6));
    setPalette(palette);
}

ManualDocument::~ManualDocument()
{
    if (gSharedManual == this)
        gSharedManual = nullptr;
}

ManualDocument* ManualDocument::sharedManualDocument()
{
    return gSharedManual;
}

QStringList ManualDocument::manualSearchPaths()
{
    if (!searchPathOverride().isEmpty())
        return searchPathOverride();
    // Where an installed program keeps its data, then the build tree.
    QStringList paths{QCoreApplication::applicationDirPath() + QStringLiteral("/../share/marvesto-lg/")
                      + QLatin1String(kManualFileName)};
#ifdef MARVESTO_MANUAL_FILE
    paths << QStringLiteral(MARVESTO_MANUAL_FILE);
#endif
    for (QString& path : paths)
        path = QFileInfo(path).absoluteFilePath();
    return paths;
}

void ManualDocument::setManualSearchPaths(const QStringList& paths)
{
    searchPathOverride() = paths;
}

QString ManualDocument::getManualPath()
{
    for (const QString& path : manualSearchPaths()) {
        const QFileInfo info(path);
        if (info.exists() && info.isFile())
            return info.canonicalFilePath();
    }
    return {};
}

QString ManualDocument::displayName()
{
    return platform::localizedString(QLatin1String(kTitleKey));
}

bool ManualDocument::openManualDocument(std::optional<unsigned> bookmark)
{
    if (!gSharedManual) {
        const QString path = getManualPath();
        if (path.isEmpty())
            return false;
        auto* window = new BlackManualWindow;
        auto* document = new ManualDocument(window);
        auto* layout = new QVBoxLayout(window);
        layout->setContentsMargins(1, BlackManualWindow::kTitleStripHeight, 1, int(BlackManualWindow::kCornerRadius));
        layout->addWidget(document);
        document->openFile(path);
        document->windowControllerDidLoadNib();
        window->resize(window->sizeHint().expandedTo(QSize(640, 560)));
        window->show();
    }
    if (!gSharedManual)
        return false;
    if (bookmark)
        gSharedManual->scheduleJump(*bookmark);
    if (BlackManualWindow* window = gSharedManual->window()) {
        window->raise();
        window->activateWindow();
    }
    return true;
}

void ManualDocument::windowControllerDidLoadNib()
{
    if (window_) {
        window_->setTitle(displayName());
        window_->setMouseTracking(true);
    }
    if (pdfView())
        pdfView()->setMinimumHeight(int(kSplitMinimum));
    gSharedManual = this;
}

void ManualDocument::scheduleJump(unsigned bookmark)
{
    pendingBookmark_ = bookmark;
    jumpTimer_.start(kJumpDelay);
}

QByteArray ManualDocument::dataOfType(const QString& type) const
{
    if (type != QLatin1String(kFileType))
        return {};
    QFile file(getManualPath());
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxFileSize)
        return {};
    if (uchar* mapped = file.map(0, file.size())) {
        QByteArray data(reinterpret_cast<const char*>(mapped), file.size());
        file.unmap(mapped);
        return data;
    }
    return file.readAll();
}

void ManualDocument::jumpToBookMark(const QVariant& number)
{
    bool isNumber = false;
    const unsigned value = number.toUInt(&isNumber);
    if (!isNumber || number.typeId() == QMetaType::QString)
        return;
    const QString label = platform::localizedString(QString::fromLatin1(kBookMarkKey).arg(value));
    const PdfOutline::Entry* entry = searchBookMark(label, outline().entries());
    if (entry && pdfView() && entry->pageIndex >= 0 && entry->pageIndex < pdfView()->pageCount())
        pdfView()->goToPage(entry->pageIndex);
}

const PdfOutline::Entry* ManualDocument::searchBookMark(const QString& label, const PdfOutline::Entry& basis)
{
    if (basis.label == label)
        return &basis;
    return searchBookMark(label, basis.children);
}

const PdfOutline::Entry* ManualDocument::searchBookMark(const QString& label, const QList<PdfOutline::Entry>& roots)
{
    for (const PdfOutline::Entry& entry : roots) {
        if (const PdfOutline::Entry* found = searchBookMark(label, entry))
            return found;
    }
    return nullptr;
}

qreal ManualDocument::constrainMinCoordinate(qreal, int)
{
    return kSplitMinimum;
}

qreal ManualDocument::constrainMaxCoordinate(qreal proposed, int dividerIndex, qreal splitHeight)
{
    return dividerIndex == 0 ? kSplitMaximumShare * splitHeight : proposed;
}

// ---- ManualDocumentButton -------------------------------------------------

ManualDocumentButton::ManualDocumentButton(QWidget* parent) : QPushButton(parent)
{
    connect(this, &QPushButton::clicked, this, [this] { sendAction(); });
}

bool ManualDocumentButton::manualDocumentAction()
{
    AppController* controller = AppController::sharedAppController();
    if (!controller)
        return false;
    controller->openManual(false, isShiftKeyDown(), unsigned(tag_));
    return true;
}

bool ManualDocumentButton::sendAction()
{
    if (!manualDocumentAction())
        return false;
    Q_EMIT action();
    return true;
}
