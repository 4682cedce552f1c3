#pragma once

#include <QPoint>
#include <QString>
#include <QVariantMap>

class QWidget;

// What an organizer pane asks of its container (the organizer view, or the
// main window's contacts pane standing in for it).
class OrganizerViewProtocol {
public:
    virtual ~OrganizerViewProtocol() = default;
    virtual void setFooterText(const QString& text) = 0;
    virtual bool isActiveView(const QWidget* pane) = 0;
    virtual void reloadData() = 0;
    virtual bool isSyncEnabledForProperty(int property) = 0;
    virtual void hideUpdateInfo() = 0;
    // The update-info bubble at a point of the window.
    virtual void displayUpdateInfo(const QPoint& point, const QString& text) = 0;
    // A short message to write ({"Number": number}).
    virtual void smsHandleSMS(const QVariantMap& info) { (void)info; }
};
