#include "PeripheryGallery.h"

#include "CanvasSample.h"

#include "widgets/AboutPanelController.h"
#include "widgets/AnimatingTabView.h"
#include "widgets/AppLaunchButton.h"
#include "widgets/AppLauncher.h"
#include "widgets/ButtonPathPopup.h"
#include "widgets/ButtonPopup.h"
#include "widgets/HyperLinkButton.h"
#include "widgets/MyPDFDocument.h"
#include "widgets/PathPopup.h"

#include <QApplication>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QStyle>
#include <QVBoxLayout>

namespace {

// Knows one program for the launch button: the X clock, when installed.
class GalleryLauncher : public AppLauncher {
public:
    static constexpr quint32 kClock = 0x78636C6B; // "xclk"
    int launchAppAndMakeFront(quint32 creator) override
    {
        return creator == kClock && QProcess::startDetached(path()) ? 0 : -1;
    }
    QImage appIconForCreator(quint32 creator) override
    {
        if (creator != kClock || path().isEmpty())
            return {};
        return QApplication::style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(128, 128).toImage();
    }
    QString appNameForCreator(quint32 creator) override
    {
        return creator == kClock && !path().isEmpty() ? QStringLiteral("Clock") : QString();
    }

private:
    static QString path() { return QStandardPaths::findExecutable(QStringLiteral("xclock")); }
};

QWidget* page(const QColor& colour, const QString& text, QWidget* extra = nullptr)
{
    auto* widget = new QWidget;
    widget->setAutoFillBackground(true);
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    auto* layout = new QVBoxLayout(widget);
    auto* label = new QLabel(text);
    label->setAlignment(Qt::AlignCenter);
    layout->addWidget(label);
    if (extra)
        layout->addWidget(extra);
    return widget;
}

QWidget* tabsBox()
{
    auto* box = new QGroupBox(QObject::tr("Tab view with transitions (Shift-click a tab: 3 s)"));
    auto* layout = new QVBoxLayout(box);
    auto* style = new QComboBox;
    style->setAccessibleName(QObject::tr("Transition style"));
    for (const char* name :
         {"Copy machine", "Disintegrate", "Dissolve", "Flash", "Mod", "Page curl", "Ripple", "Swipe"})
        style->addItem(QLatin1String(name));
    auto* tabs = new AnimatingTabView;
    tabs->awakeFromNib();
    tabs->initAddedProperties();
    style->setCurrentIndex(tabs->transitionStyle());
    QObject::connect(style, &QComboBox::currentIndexChanged, tabs, &AnimatingTabView::setTransitionStyle);
    tabs->addTab(page(QColor(230, 120, 100), QObject::tr("Contacts")), QObject::tr("Contacts"));
    auto* field = new QLineEdit;
    field->setPlaceholderText(QObject::tr("Type while the transition plays"));
    tabs->addTab(page(QColor(120, 190, 120), QObject::tr("Calendar"), field), QObject::tr("Calendar"));
    tabs->addTab(page(QColor(110, 150, 220), QObject::tr("Messages")), QObject::tr("Messages"));
    tabs->setMinimumSize(360, 180);
    layout->addWidget(style);
    layout->addWidget(tabs);
    return box;
}

QWidget* buttonsBox(QWidget* window)
{
    auto* box = new QGroupBox(QObject::tr("Launch, link, menus, About"));
    auto* form = new QFormLayout(box);
    auto* launch = new AppLaunchButton;
    launch->setFixedSize(120, 40);
    launch->setText(QObject::tr("No program"));
    launch->setAlternateTitle(QStringLiteral("xclk"));
    launch->awakeFromNib();
    form->addRow(QObject::tr("Launch button:"), launch);

    auto* link = new HyperLinkButton;
    link->setText(QObject::tr("Debian home page"));
    link->setPlaceholderText(QStringLiteral("https://www.debian.org/"));
    link->awakeFromNib();
    form->addRow(QObject::tr("Link field:"), link);

    auto* popup = new ButtonPopup;
    popup->setText(QObject::tr("Actions"));
    auto* menu = new QMenu(popup);
    for (const char* item : {"Copy", "Rename", "Delete"})
        menu->addAction(QLatin1String(item));
    popup->setPopupMenu(menu);
    form->addRow(QObject::tr("Menu button (Space, Alt+Down):"), popup);

    auto* pathButton = new ButtonPathPopup;
    pathButton->setText(QObject::tr("Path"));
    pathButton->awakeFromNib();
    pathButton->setPath(QStringLiteral("Phone/Music/Rock"));
    auto* chosen = new QLabel;
    QObject::connect(pathButton->pathMenu(), &QMenu::triggered, chosen,
                     [pathButton, chosen](QAction* item) { chosen->setText(pathButton->getPathUntil(item)); });
    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(pathButton);
    pathRow->addWidget(chosen);
    form->addRow(QObject::tr("Path button:"), pathRow);

    auto* pathPopup = new PathPopup;
    pathPopup->setPath(QStringLiteral("/Phone/Pictures/Camera/2024"));
    auto* selected = new QLabel(pathPopup->getPathUntilSelectedItem());
    QObject::connect(pathPopup, &PathPopup::itemSelected, selected,
                     [pathPopup, selected] { selected->setText(pathPopup->getPathUntilSelectedItem()); });
    auto* popupRow = new QHBoxLayout;
    popupRow->addWidget(pathPopup);
    popupRow->addWidget(selected);
    form->addRow(QObject::tr("Path pop-up:"), popupRow);

    auto* about = new QPushButton(QObject::tr("Show About panel"));
    QObject::connect(about, &QPushButton::clicked, window, [window] {
        AboutPanelController::setMainWindowProvider([main = QPointer<QWidget>(window)] { return main.data(); });
        AboutPanelController::sharedInstance().orderFrontStandardAboutPanel();
    });
    form->addRow(QObject::tr("About:"), about);
    return box;
}

} // namespace

QWidget* openPeripheryGallery(QWidget* parent, const QString& pdfPath)
{
    static GalleryLauncher launcher;
    AppLauncher::setShared(&launcher);
    auto* window = new QWidget(parent, Qt::Window);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(QObject::tr("Periphery widgets"));
    auto* layout = new QGridLayout(window);
    layout->addWidget(tabsBox(), 0, 0);
    layout->addWidget(buttonsBox(window), 0, 1);
    auto* canvasBox = new QGroupBox(QObject::tr("Drawing objects (drag knobs, Ctrl+Z, double-click a name)"));
    auto* canvasLayout = new QVBoxLayout(canvasBox);
    canvasLayout->addWidget(new CanvasSample);
    layout->addWidget(canvasBox, 1, 0);
    auto* pdfBox = new QGroupBox(QObject::tr("PDF viewer"));
    auto* pdfLayout = new QVBoxLayout(pdfBox);
    auto* open = new QPushButton(QObject::tr("Open PDF viewer"));
    pdfLayout->addWidget(new QLabel(pdfPath.isEmpty() ? QObject::tr("Name a PDF on the command line.") : pdfPath));
    pdfLayout->addWidget(open);
    pdfLayout->addStretch();
    QObject::connect(open, &QPushButton::clicked, window, [window, pdfPath] {
        auto* viewer = new MyPDFDocument(window);
        viewer->setWindowFlag(Qt::Window);
        viewer->setAttribute(Qt::WA_DeleteOnClose);
        viewer->openFile(pdfPath);
        viewer->show();
    });
    open->setEnabled(!pdfPath.isEmpty());
    layout->addWidget(pdfBox, 1, 1);
    return window;
}
