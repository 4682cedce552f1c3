#pragma once

#include "devicewindow/media/ConversionSettings.h"

#include <QDialog>

#include <optional>

class QComboBox;
class QSpinBox;

// The export-settings dialog: container, video codec and frame size, frame
// rate and bit rate, audio codec, bit rate, sample rate and channels.
class ExportSettingsDialog : public QDialog {
    Q_OBJECT
public:
    explicit ExportSettingsDialog(const ConversionSettings& proposal, QWidget* parent = nullptr);

    ConversionSettings settings() const;

    // What the dialog proposes when nothing else is known: a QuickTime movie,
    // MPEG-4 video of 320x240 at 15 frames, AAC sound.
    static ConversionSettings defaultSettings();
    // Runs the dialog modally; nothing when cancelled.
    static std::optional<ConversionSettings> choose(const ConversionSettings& proposal, QWidget* parent = nullptr);

private:
    QComboBox* m_container;
    QComboBox* m_videoCodec;
    QComboBox* m_frameSize;
    QSpinBox* m_frameRate;
    QSpinBox* m_videoBitRate;
    QComboBox* m_audioCodec;
    QSpinBox* m_audioBitRate;
    QComboBox* m_sampleRate;
    QComboBox* m_channels;
};
