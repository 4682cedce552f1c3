#pragma once

#include <QHash>
#include <QWidget>

class QAction;
class QCheckBox;
class QLabel;
class QSpinBox;
class QStackedWidget;
class QToolBar;

// The preferences window: a toolbar of pages over a tabless page stack.
// Ctrl+Tab and Ctrl+Shift+Tab move between pages, Escape closes the window.
class PreferenceWindow : public QWidget {
    Q_OBJECT
public:
    explicit PreferenceWindow(QWidget* parent = nullptr);

    QToolBar* toolbar() const { return toolbar_; }
    QStackedWidget* tabView() const { return tabView_; }
    QAction* toolbarItem(const QString& identifier) const { return items_.value(identifier); }
    QString selectedIdentifier() const;
    void selectTab(const QString& identifier);
    void selectNextTab(int step);

    QCheckBox* warnOnQuit() const { return warnOnQuit_; }
    QCheckBox* syncImmediately() const { return syncImmediately_; }
    QSpinBox* emptyTrashAfter() const { return emptyTrashAfter_; }
    QCheckBox* showDeleteMsgWarn() const { return showDeleteMsgWarn_; }
    QLabel* versionLabel() const { return versionLabel_; }
    // Shows the stored values.
    void refresh();

private:
    void setupToolbar();
    QWidget* makeGeneralPage();
    QWidget* makeUpdatePage();

    QToolBar* toolbar_ = nullptr;
    QStackedWidget* tabView_ = nullptr;
    QHash<QString, QAction*> items_;
    QCheckBox* warnOnQuit_ = nullptr;
    QCheckBox* syncImmediately_ = nullptr;
    QSpinBox* emptyTrashAfter_ = nullptr;
    QCheckBox* showDeleteMsgWarn_ = nullptr;
    QLabel* versionLabel_ = nullptr;
};
