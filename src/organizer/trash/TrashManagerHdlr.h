#pragma once

#include "organizer/trash/TrashElem.h"
#include "platform/Clock.h"
#include "widgets/BetterSplitViewDelegate.h"
#include "widgets/ScaledImageButtonValidation.h"

#include "organizer/trash/TrashSheet.h"
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QWidget>

class BetterSplitView;
class NSScaledImageButton;
class QLabel;
class QStackedWidget;
class QTableView;
class QTableWidget;
class QComboBox;
class TrashSheet;
class TrashManager;
class TrashTableModel;

// The organizer trash window (form "TrashManagerHdlr"): the table of
// entries, the detail of the selected one (tabs "Contacts", "Events",
// "Empty"), the count, Empty Trash and Restore to the main window's phone.
// The window fades in and out in 0.04 s steps and is never closed for good.
// Delete removes the selected entries after a question, Return restores,
// Escape closes.
class TrashManagerHdlr : public QObject, public NSValidatedScaledImageButton, public BetterSplitViewDelegate {
    Q_OBJECT

public:
    static constexpr double kFadeStep = 0.04;
    static constexpr double kFadeInPerStep = 0.1;
    static constexpr double kFadeOutPerStep = 0.2;
    static constexpr qreal kMinSplit = 180;
    static constexpr qreal kMaxSplitFraction = 0.8;
    static constexpr int kPopupIconSide = 20;
    static constexpr int kDetailImageSide = 64;

    // Opens (first making) the one window of the shared store; answers
    // whether it is open.
    static bool openTrashManagerHdlr();
    static TrashManagerHdlr* sharedTrashManagerHdlr();
    static bool isTrashManagerHdlrOpen();

    // A window of its own over store (tests); the first made is the shared one.
    explicit TrashManagerHdlr(TrashManager& store, QObject* parent = nullptr);
    ~TrashManagerHdlr() override;

    bool isOpen() const;
    void doOpen();
    // What the window's close button does: fades out and hides.
    void fadeOut();
    QWidget* window() const { return _window; }
    TrashTableModel* model() const { return _model; }
    int fadeInCount() const { return _fadeIns; }
    bool isFading() const { return _fadeTimer.isActive(); }

    // The entries of the selected rows, in row order.
    QList<TrashElemPtr> selectedElems() const;
    // Whether a phone can take a restore: the main window has a current phone
    // and the known phones list one with a name.
    bool doesRestoreDeviceExist() const;

    Q_INVOKABLE void emptyTrash();
    Q_INVOKABLE void restoreItems();
    // The restore sheet's buttons end it with their tag (1 restores).
    void endAskForRestore(int tag);
    void askToDeleteSelected();
    void notifyTrashListHasChanged();
    void validateButtons();

    // The sheets while they show (tests).
    TrashSheet* alertSheet() const { return _alert; }
    TrashSheet* restoreSheet() const { return _restoreSheet; }
    QComboBox* phonePopup() const;

    // NSValidatedScaledImageButton
    bool validateScaledImageButton(NSScaledImageButton& button) override;
    // BetterSplitViewDelegate
    std::optional<qreal> constrainMinCoordinate(BetterSplitView& view, qreal proposed, int index) override;
    std::optional<qreal> constrainMaxCoordinate(BetterSplitView& view, qreal proposed, int index) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void displayItem(const TrashElemPtr& elem);
    void showTab(const QString& name);
    void fillDetailTable(QTableWidget* table, const QStringList& fields, const QStringList& contents);
    void fadeTick();

    TrashManager& _store;
    QPointer<QWidget> _window;
    TrashTableModel* _model = nullptr;
    QTableView* _table = nullptr;
    QLabel* _countField = nullptr;
    QStackedWidget* _tabs = nullptr;
    QTableWidget* _contactDetail = nullptr;
    QTableWidget* _eventDetail = nullptr;
    NSScaledImageButton* _emptyButton = nullptr;
    NSScaledImageButton* _restoreButton = nullptr;
    QPointer<TrashSheet> _alert;
    QPointer<TrashSheet> _restoreSheet;
    QList<TrashElemPtr> _restoring;
    QStringList _fieldArray;
    QStringList _contentArray;
    platform::Timer _fadeTimer;
    bool _fadingIn = false;
    int _fadeIns = 0;
};
