#pragma once

#include "platform/Clock.h"
#include "widgets/AnimatedObject.h"
#include "widgets/SelectToolAnimation.h"

#include <QHash>
#include <QListView>
#include <QPointer>
#include <QSet>
#include <QVariant>

class SelectToolViewCell;
class SlaveDrawInfo;
class SlaveDrawTracking;
class SlaveDrawTrackingInfo;

// The tool switch of a pane: one row per tool, an icon and a label, built
// from (image, label, identifier) triples; a row with an empty label is a
// 7-point separator that cannot be selected. Clicking a row, or moving with
// Up, Down, Home and End (separators skipped), selects it and emits action().
// Slaves draw marks into a row and get enter and leave calls for an area of
// it; icons of rows marked pulsing fade between 0.23 and 0.93 opacity on the
// platform clock.
class SelectToolViewList : public QListView, public AnimatedObject {
    Q_OBJECT
    Q_PROPERTY(int rowHeight READ rowHeight WRITE setRowHeight)

public:
    static constexpr int kSeparatorHeight = 7;
    static constexpr double kPulseInterval = 1.12;
    static constexpr double kLowestAlpha = 0.23;
    static constexpr double kAlphaSwing = 0.7;

    explicit SelectToolViewList(QWidget* parent = nullptr);
    ~SelectToolViewList() override;

    // Rows from a flat list: image (QImage, may be null), label, identifier,
    // three entries a row; a trailing incomplete triple is ignored.
    bool initSelectToolViewList(const QVariantList& triples);
    int rowCount() const;

    int rowHeight() const { return rowHeight_; }
    void setRowHeight(int height);
    int heightOfRow(int row) const;
    bool isSeparator(int row) const;
    bool shouldSelectRow(int row) const;

    // The selected row's identifier; empty when none is selected.
    QString getSelectedIdentify() const;
    // Selects the first row with that identifier; nothing changes without one.
    void selectIdentify(const QString& identifier);
    void selectRow(int row);
    int selectedRow() const;
    // The row's frame in the viewport; empty when no row carries it.
    QRect frameForIdentify(const QString& identifier) const;

    // Slaves are not owned; one that is a QObject is dropped when destroyed,
    // and every slave is dropped when the list's window closes.
    void setIdentSlaveDrawInfo(SlaveDrawInfo* slave, const QVariant& context, const QString& identifier);
    void setIdentSlaveTracking(SlaveDrawTracking* slave, const QVariant& context, const QString& identifier);
    void setIdentSlaveDrawTrackingInfo(SlaveDrawTrackingInfo* slave, const QVariant& context,
                                       const QString& identifier);
    void removeIdentSlaveDrawInfo(const QString& identifier);
    void removeAllIdentSlaveDrawInfos();
    void removeIdentSlaveTracking(const QString& identifier);
    void removeAllIdentSlaveTracking();
    // Recomputes every tracking area (none while the list is hidden).
    void updateTrackingRect();
    // The installed tracking area of the identifier, if any.
    std::optional<QRect> trackingRect(const QString& identifier) const;

    void setAnimationItem(const QString& identifier, bool on);
    bool isPulsing(const QString& identifier) const { return pulsing_.contains(identifier); }
    bool canPulse() const;
    bool hasPulseTimer() const { return pulsTimer_.isActive(); }
    void pulseIdleTimer();
    // The opacity the row's icon is drawn with.
    double iconAlpha(int row) const;
    double curAlpha() const { return curAlpha_; }
    void setCurrentProgress(double progress);
    void doAnimate(double progress) override { setCurrentProgress(progress); }

    void setVisible(bool visible) override;

Q_SIGNALS:
    // The user picked a row.
    void action();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool viewportEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class Model;
    struct Tracking {
        SlaveDrawTracking* slave = nullptr;
        QVariant context;
        QObject* owner = nullptr; // the slave as a QObject, if it is one
        int tag = 0;              // 0: no area installed
        QRect area;
        bool inside = false;
    };
    struct Drawing {
        SlaveDrawInfo* slave = nullptr;
        QVariant context;
        QObject* owner = nullptr;
    };

    int rowOf(const QString& identifier) const;
    QString identifierOf(int row) const;
    QString labelOf(int row) const;
    void clearTrackingRect(Tracking& entry);
    void trackPointer(const QPoint& position);
    void watchSlave(QObject* object);
    void forgetSlave(QObject* object);
    void userSelects(int row);

    Model* model_;
    SelectToolViewCell* cell_;
    QVariantList rows_;
    int rowHeight_ = 20;
    QHash<QString, Drawing> slaveDrawInfos_;
    QHash<QString, Tracking> trackingTagInfos_;
    int lastTag_ = 0;
    QSet<QString> pulsing_;
    SelectToolAnimation pulseAnimation_;
    platform::Timer pulsTimer_;
    double curAlpha_ = 1.0;
    bool pulsMod_ = false;
    QSet<QObject*> watchedSlaves_;
    QPointer<QWidget> watchedWindow_;
};
