#pragma once

#include <QObject>

#include <memory>
#include <QPointer>
#include <QWidget>

class FileDragAndDrop;
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
    // The file browser's drag-and-drop handler for the window's phone (made
    // when first asked, again when the phone changed; none without a phone).
    // A replaced handler's drag copies still get their grace.
    FileDragAndDrop* getFileDragAndDrop() const;

protected:
    MFDevice* mfDevice_ = nullptr;
    QPointer<QWidget> mfView_;
    QPointer<QWidget> curToolView_;
    bool isWindowLoaded_ = false;

private:
    mutable std::unique_ptr<FileDragAndDrop> fileDragAndDrop_;
    mutable MFDevice* dragDevice_ = nullptr;
};
