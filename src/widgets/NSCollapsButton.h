#pragma once

#include "platform/gui/Interface.h"

#include <QPointer>
#include <QToolButton>

class CollapsibleBox;

// The disclosure triangle of a collapsible box: checked while the box is
// expanded; toggling it (click or Space) expands or collapses the box. The
// form names the box in collapsibleBoxName.
class NSCollapsButton : public QToolButton, public platform::gui::NibAwakening {
    Q_OBJECT
    Q_PROPERTY(QString collapsibleBoxName READ collapsibleBoxName WRITE setCollapsibleBoxName)

public:
    explicit NSCollapsButton(QWidget* parent = nullptr);

    CollapsibleBox* collapsibleBox() const { return box_; }
    void setCollapsibleBox(CollapsibleBox* box);
    QString collapsibleBoxName() const { return boxName_; }
    void setCollapsibleBoxName(const QString& name) { boxName_ = name; }

    void awakeFromNib() override;

private:
    void showState(bool expanded);

    QPointer<CollapsibleBox> box_;
    QString boxName_;
};
