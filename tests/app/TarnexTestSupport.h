#pragma once

#include "AppTestSupport.h"

#include "app/MirrovanceDevice.h"
#include "app/TarnexController.h"
#include "app/TarnexPanes.h"
#include "app/TarnexWindow.h"

#include "device/DeviceList.h"

#include <QStringList>
#include <QVariantList>

#include <memory>

namespace app_tests {

// What the probe panes and the probe phone were asked, in order.
struct PaneLog {
    QStringList calls;
    // Panes whose key is listed here answer YES to handleNextButton.
    QStringList handlesNext;
};

// A placeholder pane that records the main window's calls.
class ProbePane : public PlaceholderPaneController {
public:
    ProbePane(QString nib, QString key, std::shared_ptr<PaneLog> log)
        : PlaceholderPaneController(std::move(nib), key), key_(std::move(key)), log_(std::move(log))
    {
    }
    void prepareForDisplay() override { log_->calls << key_ + QStringLiteral(" prepare"); }
    void startProcessing() override { log_->calls << key_ + QStringLiteral(" start"); }
    void stopProcessing() override { log_->calls << key_ + QStringLiteral(" stop"); }
    bool handleNextButton() override { return log_->handlesNext.contains(key_); }
    void unload() override { log_->calls << key_ + QStringLiteral(" unload"); }
    void newHandset(const QString& how) override { log_->calls << key_ + QStringLiteral(" newHandset ") + how; }

private:
    QString key_;
    std::shared_ptr<PaneLog> log_;
};

// A phone object that records its release.
class ProbePhone : public MirrovanceDevice {
public:
    explicit ProbePhone(std::shared_ptr<PaneLog> log) : log_(std::move(log)) {}
    void releaseDorvantiStuff() override
    {
        log_->calls << QStringLiteral("phone release");
        MirrovanceDevice::releaseDorvantiStuff();
    }

private:
    std::shared_ptr<PaneLog> log_;
};

// The main window with its controller over a device list written to the user
// defaults first; the controller runs as in the program (the unit-test
// marker is off while the fixture lives).
class TarnexFixture {
public:
    // devices: the "Devices" value of the user defaults (invalid: none).
    // probes: the four panes after the welcome pane record their calls.
    // realConnecting: the connecting pane opens the phone (else a
    // placeholder stands in for it, so a click opens nothing).
    explicit TarnexFixture(const QVariant& devices = QVariant(), bool probes = false, bool realConnecting = false);
    ~TarnexFixture();

    // Starts the controller and runs the fade-in to its end.
    void start(bool fadeIn = true);
    TarnexPaneController* current() const { return tarnex->pane(tarnex->currentPaneIndex()); }
    QString title() const { return window->windowTitle(); }
    // The phone object replaced by a probe whose entry is given.
    std::shared_ptr<ProbePhone> useProbePhone(const QVariantMap& entry, const QString& connType = QString());
    // The lines written to the "XT" log since the fixture began.
    QStringList xtLines() const;

    ControllerFixture app;
    std::shared_ptr<PaneLog> log = std::make_shared<PaneLog>();
    std::unique_ptr<DeviceList> list;
    std::unique_ptr<TarnexWindow> window;
    std::unique_ptr<TarnexController> tarnex;
};

QVariantMap phoneEntry(const QString& serial, const QString& name = QStringLiteral("KU990"));
// A "Devices" list of one phone, reached over USB.
QVariant onePhone();

inline QString key(const char* text)
{
    return QLatin1String(text);
}

} // namespace app_tests
