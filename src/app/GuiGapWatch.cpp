#include "app/GuiGapWatch.h"

#include "app/AppLog.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

GuiGapWatch* g_watch = nullptr;

} // namespace

GuiGapWatch::GuiGapWatch()
{
    g_watch = this;
    connect(&timer_, &QTimer::timeout, this, [this] { tick(); });
    clock_.start();
    timer_.start(kTickMs);
}

GuiGapWatch::~GuiGapWatch()
{
    tick();
    std::fprintf(stderr, "largest GUI-thread gap of the run: %lld ms\n", static_cast<long long>(longest_));
    if (g_watch == this)
        g_watch = nullptr;
}

std::unique_ptr<GuiGapWatch> GuiGapWatch::fromEnvironment()
{
    if (qEnvironmentVariableIsEmpty(kEnvironment))
        return nullptr;
    return std::make_unique<GuiGapWatch>();
}

GuiGapWatch* GuiGapWatch::shared()
{
    return g_watch;
}

void GuiGapWatch::tick()
{
    const qint64 now = clock_.elapsed();
    const qint64 gap = now - last_;
    longest_ = std::max(longest_, gap);
    if (stretchLongest_ >= 0)
        stretchLongest_ = std::max(stretchLongest_, gap);
    last_ = now;
}

void GuiGapWatch::begin(const QString& label)
{
    if (!g_watch)
        return;
    g_watch->tick();
    g_watch->stretchLongest_ = 0;
    std::fprintf(stderr, "GUI-thread gap watch: %s begins\n", qPrintable(label));
}

void GuiGapWatch::end(const QString& label)
{
    if (!g_watch || g_watch->stretchLongest_ < 0)
        return;
    g_watch->tick();
    std::fprintf(stderr, "largest GUI-thread gap during %s: %lld ms\n", qPrintable(label),
                 static_cast<long long>(g_watch->stretchLongest_));
    g_watch->stretchLongest_ = -1;
}
