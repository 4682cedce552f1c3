#pragma once

#include "lumwick/DeviceExpert.h"
#include "lumwick/PieProgressIndicator.h"

#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

// A 3G data card, one row (form "QVOptionExpert"): its first port is
// identified on a worker thread, which asks up to 1 + kRetries times; the row
// is drawn on the GUI thread. Nothing in the wizard creates one.
class QVOptionExpert : public DeviceExpert {
public:
    static constexpr int kRetries = 2;
    static constexpr const char* kRowNibName = "QVOptionExpert";
    // Asks for a port's model id; runs on the GUI thread (the worker waits).
    using Identify = std::function<int(const QString& port)>;

    // card: {"product", "portNames", optionally "mountPoints"}.
    QVOptionExpert(AKPaneController* controller, const QVariantMap& card, QWidget* table = nullptr);
    ~QVOptionExpert() override;

    bool isReady() override { return true; }
    bool isReachable() override { return true; }
    bool expertFinished() override { return m_finished; }
    QString description() const override;

    // Starts the identification; by default through the installed query.
    void startRecognition(Identify identify = {});
    QWidget* view() const { return m_row.data(); }
    QString nameInfo() const { return m_info ? m_info->text() : QString(); }

private:
    struct Work;
    void show(int id, const QString& model);

    QPointer<QWidget> m_row;
    QPointer<QVProgressPie> m_progress;
    QPointer<QLabel> m_name;
    QPointer<QLabel> m_info;
    QPointer<QWidget> m_table;
    bool m_finished = false;
    std::shared_ptr<Work> m_work;
    std::unique_ptr<QObject> m_guard;
};
