#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

// For real runs: with MARVESTO_GUI_GAP_PROBE set, a 10 ms timer on the GUI
// thread records the longest gap between its ticks; the program logs it at
// exit, and for each stretch that a caller marks (the connect of a phone).
class GuiGapWatch : public QObject {
public:
    static constexpr const char* kEnvironment = "MARVESTO_GUI_GAP_PROBE";
    static constexpr int kTickMs = 10;

    GuiGapWatch();
    ~GuiGapWatch() override;

    // A watch when the environment asks for one; null otherwise.
    static std::unique_ptr<GuiGapWatch> fromEnvironment();
    static GuiGapWatch* shared();

    // A stretch begins; end() logs its longest gap.
    static void begin(const QString& label);
    static void end(const QString& label);
    qint64 longest() const { return longest_; }

private:
    void tick();

    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 longest_ = 0;
    qint64 stretchLongest_ = -1;
};
