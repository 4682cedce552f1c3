#pragma once

#include <QBrush>
#include <QPointer>
#include <QToolBar>
#include <QWidget>
#include <optional>

// A document window whose background is the polished (or flat) artwork
// composed for its size, rebuilt on every resize. In key-only mode the
// polished background shows only while the window is active; otherwise the
// standard window background. Without the artwork the window keeps the
// standard background and tries again at the next rebuild.
class PolishedMetallWindow : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool flatStyle READ isFlatStyle WRITE setFlatStyle)
    Q_PROPERTY(bool polishedOnlyOnKey READ isPolishedOnlyOnKey WRITE setPolishedOnlyOnKey)

public:
    static constexpr int kMinimumSide = 150;

    explicit PolishedMetallWindow(QWidget* parent = nullptr, bool flat = false);

    bool isFlatStyle() const { return flat_; }
    void setFlatStyle(bool flat);
    bool isPolishedOnlyOnKey() const { return polishedOnlyOnKey_; }
    virtual void setPolishedOnlyOnKey(bool on);

    // Each side raised to at least 150.
    void setMinSize(const QSize& size);
    // Resizes and redraws at once.
    void setFrame(const QRect& frame);

    // Puts the toolbar along the window's top edge (first in a box layout)
    // without a separator line and without a background of its own, so the
    // window's background runs on under it.
    void setToolbar(QToolBar* toolbar);
    QToolBar* toolbar() const { return toolbar_; }

    // The background for the window's size; subclasses draw extra content.
    virtual std::optional<QBrush> sizedPolishedBackColor(bool flat) const;
    // Rebuilds the background (after a resize, a style change, activation).
    void windowDidResize();
    // The brush in use; nullopt while the standard background shows.
    std::optional<QBrush> background() const { return background_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void rebuild(bool forceDisplay);
    // Rebuilds only when the size or the look changed since the last build:
    // a window being laid out gets many resize and show events.
    void rebuildIfStale();

    struct BuiltFor {
        QSize size;
        bool flat = false;
        bool polished = false;
        bool operator==(const BuiltFor&) const = default;
    };
    BuiltFor wantedBuild() const;

    QPointer<QToolBar> toolbar_;
    bool flat_;
    bool forceDisplay_ = false;
    bool polishedOnlyOnKey_ = false;
    std::optional<QBrush> background_;
    std::optional<BuiltFor> built_;
};
