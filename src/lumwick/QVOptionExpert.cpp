#include "lumwick/QVOptionExpert.h"

#include "lumwick/AKPaneController.h"
#include "lumwick/DeviceExpertPane.h"
#include "lumwick/GsmKitQuery.h"
#include "lumwick/LumwickLog.h"
#include "platform/RunLoop.h"
#include "platform/gui/Interface.h"

#include <QSemaphore>

#include <atomic>
#include <thread>

namespace {
constexpr const char* kReady = "kReady";
constexpr const char* kUnknown = "kUnknown";
constexpr int kWaitSliceMs = 100;
} // namespace

// What the worker and the GUI thread share; the worker never touches the
// expert itself.
struct QVOptionExpert::Work {
    std::atomic<bool> cancelled{false};
};

QVOptionExpert::QVOptionExpert(AKPaneController* controller, const QVariantMap& card, QWidget* table)
    : DeviceExpert(controller)
    , m_table(table)
    , m_guard(std::make_unique<QObject>())
{
    if (dynamic_cast<DeviceExpertPane*>(controller)) {
        registerWizardWidgetClasses();
        m_row = platform::gui::loadInterface(QString::fromLatin1(platform::gui::kLumwickBundle),
                                             QString::fromLatin1(kRowNibName));
        if (m_row) {
            m_progress = platform::gui::outlet<QVProgressPie>(m_row, QStringLiteral("OptionProgressIndicator"));
            m_name = platform::gui::outlet<QLabel>(m_row, QStringLiteral("OptionName"));
            m_info = platform::gui::outlet<QLabel>(m_row, QStringLiteral("OptionNameInfo"));
        }
    }
    setDeviceProperties(card);
    if (m_name)
        m_name->setText(readProps()->product());
    m_usbExpert = true;
}

QVOptionExpert::~QVOptionExpert()
{
    if (m_work)
        m_work->cancelled = true;
    delete m_row.data();
}

QString QVOptionExpert::description() const
{
    return describedAs("QVOptionExpert");
}

void QVOptionExpert::startRecognition(Identify identify)
{
    const QVariantList ports = readProps()->portNames();
    if (!readProps()->mountPoints().isEmpty() || ports.isEmpty() || ports.first().toString().isEmpty()) {
        show(-1, QString());
        return;
    }
    if (!identify)
        identify = [](const QString& port) { return GsmKitQuery::qvIDForUSBAddress(port); };
    if (m_work)
        m_work->cancelled = true;
    auto work = std::make_shared<Work>();
    m_work = work;
    const QString port = ports.first().toString();
    const QPointer<QObject> guard = m_guard.get();
    std::thread([work, port, identify, guard, this] {
        int id = -1;
        for (int attempt = 0; attempt <= kRetries && id == -1 && !work->cancelled; ++attempt) {
            // The query itself runs on the GUI thread; this thread waits.
            auto answer = std::make_shared<std::pair<QSemaphore, std::atomic<int>>>();
            answer->second = -1;
            platform::runloop::performOnMainThread(
                [answer, identify, port] {
                    answer->second = identify(port);
                    answer->first.release();
                },
                guard);
            while (!answer->first.tryAcquire(1, kWaitSliceMs)) {
                if (work->cancelled)
                    return;
            }
            id = answer->second;
        }
        if (work->cancelled)
            return;
        platform::runloop::performOnMainThread(
            [this, work, id] {
                if (!work->cancelled)
                    show(id, id == -1 ? QString() : GsmKitQuery::modelNameForQVID(id));
            },
            guard);
    }).detach();
}

void QVOptionExpert::show(int id, const QString& model)
{
    props().setDeviceNumber(id);
    props().setBTModelName(model);
    const bool ready = id != -1;
    if (m_info)
        m_info->setText(lumwick::localized(QString::fromLatin1(ready ? kReady : kUnknown)));
    if (m_progress) {
        m_progress->setHaltedImage(getStatusIcon(ready ? kIconOk : kIconStop));
        m_progress->setHalted(true);
        m_progress->update();
    }
    if (m_table)
        m_table->update();
    m_finished = true;
}
