#pragma once

#include "platform/Clock.h"
#include "widgets/ScaledImageButtonValidation.h"

#include <QPointer>
#include <QWidget>
#include <memory>

class BasisOverlayView;
class BlackToolWindow;
class OverlayProgressBar;
class QCheckBox;
class QLabel;

// The gallery: the "WidgetGallery" form and the actions of its buttons.
class GalleryWindow : public QWidget, public NSValidatedScaledImageButton {
    Q_OBJECT
public:
    explicit GalleryWindow(QWidget* parent = nullptr);
    ~GalleryWindow() override;

    bool validateScaledImageButton(NSScaledImageButton& button) override;

public Q_SLOTS:
    void addItem();
    void removeItem();
    void syncNow();
    void emptyTrash();

private:
    void showBusyOverlay();
    void reportProgress();
    void noteAction(const QString& text);

    QWidget* form_ = nullptr;
    QCheckBox* allowRemove_ = nullptr;
    QLabel* lastAction_ = nullptr;
    std::unique_ptr<BasisOverlayView> busyOverlay_;
    OverlayProgressBar* busyBar_ = nullptr;
    QLabel* busyMessage_ = nullptr;
    platform::Timer progressTimer_;
    QPointer<BlackToolWindow> darkWindow_;
    QPointer<QWidget> mirrovanceWindow_;
    int items_ = 3;
};
