#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

class MFDevice;

// The base of the phone window's controller: the phone (not owned: its
// document owns it), the current center, the file browser, and whether the
// window has loaded.
class MFWindowController : public QObject {
    Q_OBJECT

public:
    explicit MFWindowController(QObject* parent = nullptr);
    ~MFWindowController() override;

    MFDevice* getMFDevice() const { return mfDevice_; }
    QWidget* mfView() const { return mfView_; }
    QWidget* curToolView() const { return curToolView_; }
    bool isWindowLoaded() const { return isWindowLoaded_; }
    // The file browser's drag-and-drop handler; none until the file browser
    // comes.
    QObject* getFileDragAndDrop() const { return nullptr; }

protected:
    MFDevice* mfDevice_ = nullptr;
    QPointer<QWidget> mfView_;
    QPointer<QWidget> curToolView_;
    bool isWindowLoaded_ = false;
};
