#pragma once

#include "lumwick/DeviceExpert.h"
#include "lumwick/PieProgressIndicator.h"

#include <QLabel>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <memory>

namespace platform {
class Timer;
}

// A phone on the USB bus, one row of the selection list: its model is named
// from the wizard's model database by its USB ids, else by asking the phone
// over its modem tty. Always finished and reachable; choosable once its
// model id is not -1.
class QVUSBExpert : public DeviceExpert, public std::enable_shared_from_this<QVUSBExpert> {
public:
    // A busy phone is asked again after this, at most kMaxProbeRetries times.
    static constexpr double kProbeRetryDelay = 1.0;
    static constexpr int kMaxProbeRetries = 5;

    // One expert per phone of the USB discovery (storage and/or modem
    // phones), its row in table.
    static QList<std::shared_ptr<QVUSBExpert>> getDevices(QWidget* table, AKPaneController* controller, bool storageUSB,
                                                          bool serialUSB);
    static std::shared_ptr<QVUSBExpert> parent(QWidget* table, AKPaneController* controller);

    // Without a controller (logged): no row.
    QVUSBExpert();
    explicit QVUSBExpert(AKPaneController* controller);
    ~QVUSBExpert() override;

    bool isReady() override;
    bool isReachable() override { return true; }
    bool expertFinished() override { return true; }
    QString description() const override;

    void setUSBTypeLogo(bool storage);
    // Names the model: fast by the USB ids, else over the first tty.
    void startRecognition();
    // Asks the phone on the tty (a busy phone again, a few times).
    void checkTTY(const QString& path);
    // Stops asking a busy phone again (the pane was left).
    void stopRecognition();
    int probeRetries() const { return m_probeRetries; }

    void settingUSBName(const QString& name);
    QString gettingUSBName() const;
    void settingUSBNameInfo(const QString& key);
    QString usbNameInfo() const;
    void setUSBprogressIndicatorValue(double value);
    QVProgressPie* progressIndicator() const { return m_progress.data(); }

    QVariantMap getMyProperties() const { return getPropertiesDictionary(); }
    // The properties; a storage phone without a serial number gets its
    // marker's.
    QVariantMap getUseableProperties() const;

    bool isAnimating() const { return m_isAnimating; }
    void toggleAnimation() { m_isAnimating = !m_isAnimating; }
    QWidget* view() const { return m_row.data(); }
    QWidget* parentTable() const { return m_parent.data(); }
    bool storageLogoShown() const { return m_storageLogo; }

private:
    void askTTY(const QString& path);
    QStringList ttyPaths() const;
    void halt(int kind);
    void showVerdict();
    void redraw();

    QPointer<QWidget> m_row;
    QPointer<QVProgressPie> m_progress;
    QPointer<QLabel> m_name;
    QPointer<QLabel> m_nameInfo;
    QPointer<QLabel> m_typeLogo;
    QPointer<QWidget> m_parent;
    bool m_isAnimating = false;
    bool m_storageLogo = false;
    int m_probeRetries = 0;
    std::unique_ptr<platform::Timer> m_probeRetry;
};
