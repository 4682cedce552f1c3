#include "devicewindow/media/ExportSettingsDialog.h"

#include "platform/Localization.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

QString text(const char* key)
{
    return platform::localizedString(QLatin1String(key));
}

// Selects the entry whose data equals value, adding it when not listed.
void selectData(QComboBox* box, const QVariant& value, const QString& label)
{
    int index = box->findData(value);
    if (index < 0) {
        box->addItem(label, value);
        index = box->count() - 1;
    }
    box->setCurrentIndex(index);
}

QSpinBox* spinBox(int low, int high, int value, const QString& suffix)
{
    auto* box = new QSpinBox;
    box->setRange(low, high);
    box->setValue(value);
    box->setSuffix(suffix);
    return box;
}

void name(QWidget* widget, const char* key)
{
    widget->setAccessibleName(text(key));
    widget->setObjectName(QLatin1String(key));
}

} // namespace

ExportSettingsDialog::ExportSettingsDialog(const ConversionSettings& proposal, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("ExportSettingsDialog"));
    setWindowTitle(text("ExportSettingsTitle"));
    setModal(true);
    setMinimumWidth(380);

    m_container = new QComboBox;
    m_container->addItem(text("ContainerMov"), QStringLiteral("mov"));
    m_container->addItem(text("ContainerMp4"), QStringLiteral("mp4"));
    m_container->addItem(text("Container3gp"), QStringLiteral("3gp"));
    selectData(m_container, proposal.container, proposal.container);
    name(m_container, "ExportFormat");

    m_videoCodec = new QComboBox;
    m_videoCodec->addItem(text("CodecMpeg4"), QStringLiteral("mpeg4"));
    m_videoCodec->addItem(text("CodecH263"), QStringLiteral("h263"));
    m_videoCodec->addItem(text("CodecH264"), QStringLiteral("libx264"));
    m_videoCodec->addItem(text("CodecNone"), QString());
    selectData(m_videoCodec, proposal.videoCodec, proposal.videoCodec);
    name(m_videoCodec, "ExportVideoCodec");

    m_frameSize = new QComboBox;
    for (const QSize size : {QSize(128, 96), QSize(176, 144), QSize(320, 240), QSize(352, 288), QSize(640, 480)})
        m_frameSize->addItem(QStringLiteral("%1 × %2").arg(size.width()).arg(size.height()), size);
    selectData(m_frameSize, proposal.frameSize,
               QStringLiteral("%1 × %2").arg(proposal.frameSize.width()).arg(proposal.frameSize.height()));
    name(m_frameSize, "ExportFrameSize");

    m_frameRate = spinBox(1, 60, proposal.frameRate, text("FramesPerSecondSuffix"));
    name(m_frameRate, "ExportFrameRate");
    m_videoBitRate = spinBox(16, 20000, std::max(16, proposal.videoBitRate / 1000), text("KbitSuffix"));
    name(m_videoBitRate, "ExportVideoBitRate");

    m_audioCodec = new QComboBox;
    m_audioCodec->addItem(text("CodecAac"), QStringLiteral("aac"));
    m_audioCodec->addItem(text("CodecNone"), QString());
    selectData(m_audioCodec, proposal.audioCodec, proposal.audioCodec);
    name(m_audioCodec, "ExportAudioCodec");

    m_audioBitRate = spinBox(8, 320, std::max(8, proposal.audioBitRate / 1000), text("KbitSuffix"));
    name(m_audioBitRate, "ExportAudioBitRate");

    m_sampleRate = new QComboBox;
    for (const int rate : {8000, 16000, 22050, 44100, 48000})
        m_sampleRate->addItem(QStringLiteral("%1 Hz").arg(rate), rate);
    selectData(m_sampleRate, proposal.audioSampleRate > 0 ? proposal.audioSampleRate : 22050,
               QStringLiteral("%1 Hz").arg(proposal.audioSampleRate));
    name(m_sampleRate, "ExportSampleRate");

    m_channels = new QComboBox;
    m_channels->addItem(text("Mono"), 1);
    m_channels->addItem(text("Stereo"), 2);
    selectData(m_channels, proposal.audioChannels == 2 ? 2 : 1, text("Mono"));
    name(m_channels, "ExportChannels");

    auto* video = new QGroupBox(text("ExportVideo"));
    auto* videoForm = new QFormLayout(video);
    videoForm->addRow(text("ExportVideoCodec"), m_videoCodec);
    videoForm->addRow(text("ExportFrameSize"), m_frameSize);
    videoForm->addRow(text("ExportFrameRate"), m_frameRate);
    videoForm->addRow(text("ExportVideoBitRate"), m_videoBitRate);

    auto* audio = new QGroupBox(text("ExportAudio"));
    auto* audioForm = new QFormLayout(audio);
    audioForm->addRow(text("ExportAudioCodec"), m_audioCodec);
    audioForm->addRow(text("ExportAudioBitRate"), m_audioBitRate);
    audioForm->addRow(text("ExportSampleRate"), m_sampleRate);
    audioForm->addRow(text("ExportChannels"), m_channels);

    auto* format = new QFormLayout;
    format->addRow(text("ExportFormat"), m_container);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(text("ExportOK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(text("ExportCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    // Without video there is no frame to size; without sound no rate to pick.
    auto syncEnabled = [this] {
        const bool hasVideo = !m_videoCodec->currentData().toString().isEmpty();
        const bool hasAudio = !m_audioCodec->currentData().toString().isEmpty();
        m_frameSize->setEnabled(hasVideo);
        m_frameRate->setEnabled(hasVideo);
        m_videoBitRate->setEnabled(hasVideo);
        m_audioBitRate->setEnabled(hasAudio);
        m_sampleRate->setEnabled(hasAudio);
        m_channels->setEnabled(hasAudio);
    };
    connect(m_videoCodec, &QComboBox::currentIndexChanged, this, syncEnabled);
    connect(m_audioCodec, &QComboBox::currentIndexChanged, this, syncEnabled);
    syncEnabled();

    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(text("ExportSettingsIntro"));
    intro->setWordWrap(true);
    layout->addWidget(intro);
    layout->addLayout(format);
    layout->addWidget(video);
    layout->addWidget(audio);
    layout->addWidget(buttons);
}

ConversionSettings ExportSettingsDialog::settings() const
{
    ConversionSettings chosen;
    chosen.container = m_container->currentData().toString();
    chosen.videoCodec = m_videoCodec->currentData().toString();
    chosen.frameSize = m_frameSize->currentData().toSize();
    chosen.frameRate = m_frameRate->value();
    chosen.videoBitRate = m_videoBitRate->value() * 1000;
    chosen.audioCodec = m_audioCodec->currentData().toString();
    chosen.audioBitRate = m_audioBitRate->value() * 1000;
    chosen.audioSampleRate = m_sampleRate->currentData().toInt();
    chosen.audioChannels = m_channels->currentData().toInt();
    return chosen;
}

ConversionSettings ExportSettingsDialog::defaultSettings()
{
    ConversionSettings settings;
    settings.container = QStringLiteral("mov");
    settings.videoCodec = QStringLiteral("mpeg4");
    settings.audioCodec = QStringLiteral("aac");
    settings.frameSize = QSize(320, 240);
    settings.frameRate = 15;
    settings.videoBitRate = 384000;
    settings.audioBitRate = 64000;
    settings.audioSampleRate = 22050;
    settings.audioChannels = 1;
    return settings;
}

std::optional<ConversionSettings> ExportSettingsDialog::choose(const ConversionSettings& proposal, QWidget* parent)
{
    ExportSettingsDialog dialog(proposal, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    // The dialog offers only valid settings; the round trip through the
    // stored form says so.
    return ConversionSettings::fromMap(dialog.settings().toMap());
}
