#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>

#include <vector>

// A large spinning progress indicator: twelve frames ("Indi_0" to "Indi_11")
// tinted with the spin colour, shown in turn. Every spinning view advances
// from one shared GUI-thread timer of 0.1 s on the platform clock, which runs
// only while some view spins.
class QVLargeSpinProgress : public QWidget {
    Q_OBJECT

public:
    static constexpr int kFrameCount = 12;
    static constexpr double kTickSeconds = 0.1;

    explicit QVLargeSpinProgress(QWidget* parent = nullptr);
    ~QVLargeSpinProgress() override;

    // Rebuilds the frames in the colour; a running spin restarts with them.
    void setSpinColor(const QColor& colour);
    QColor spinColor() const { return colour_; }
    void setSpinning(bool spinning);
    void startAnimation() { setSpinning(true); }
    void stopAnimation() { setSpinning(false); }

    int spinIndex() const { return spinIndex_; }
    // The frame on show; null while not spinning.
    QImage currentFrame() const { return current_; }
    const std::vector<QImage>& frames() const { return frames_; }

    // The shared list of spinning views.
    static void addSpinning(QVLargeSpinProgress* view);
    static void removeSpinning(QVLargeSpinProgress* view);
    static bool isSpinning(const QVLargeSpinProgress* view);
    static int spinningCount();

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void doSpinning();
    static void tickAll();

    QColor colour_;
    std::vector<QImage> frames_;
    QImage current_;
    int spinIndex_ = -1;
};
