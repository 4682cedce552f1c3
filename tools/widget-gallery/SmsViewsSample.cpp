#include "SmsViewsSample.h"

#include "kestrova/views/SLTMessageInputView.h"
#include "kestrova/views/SLTMessageView.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QImage>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QTextEdit>
#include <QVBoxLayout>

namespace {

QCheckBox* makeSwitch(const QString& title, bool checked, QWidget* parent)
{
    auto* box = new QCheckBox(title, parent);
    box->setChecked(checked);
    return box;
}

// A round placeholder picture for the reading pane.
QImage samplePicture()
{
    QImage image(128, 128, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(70, 130, 190));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(image.rect());
    painter.setBrush(QColor(235, 240, 245));
    painter.drawEllipse(QRect(40, 22, 48, 48));
    painter.drawEllipse(QRect(22, 78, 84, 70));
    return image;
}

} // namespace

SmsViewsSample::SmsViewsSample(QWidget* parent)
    : QWidget(parent)
{
    setWindowTitle(QStringLiteral("SMS views"));
    compose_ = new SLTMessageInputView(this);
    compose_->setMinimumSize(420, 220);
    compose_->awakeFromNib();
    // A small checker for the demo: it flags "teh".
    compose_->setSpellChecker([](const QString& text) {
        QList<std::pair<int, int>> ranges;
        for (qsizetype at = text.indexOf(QStringLiteral("teh")); at >= 0; at = text.indexOf(QStringLiteral("teh"), at + 3))
            ranges.append({int(at), 3});
        return ranges;
    });

    auto* singlePart = makeSwitch(QStringLiteral("Single part only"), false, this);
    auto* unicode = makeSwitch(QStringLiteral("UCS2 allowed"), true, this);
    auto* greek = makeSwitch(QStringLiteral("Greek substitution"), false, this);
    connect(singlePart, &QCheckBox::toggled, this, [this](bool on) { compose_->setSinglePart(on); });
    connect(unicode, &QCheckBox::toggled, this, [this](bool on) { compose_->setSpecialCharsAllowed(on); });
    connect(greek, &QCheckBox::toggled, this, [this](bool on) { compose_->setUseGreekSubstitution(on); });
    auto* show = new QPushButton(QStringLiteral("Show in reading pane"), this);
    connect(show, &QPushButton::clicked, this, [this] { showInReadingPane(); });

    auto* area = new QScrollArea(this);
    area->setMinimumSize(420, 200);
    area->setAccessibleName(QStringLiteral("Reading pane"));
    reading_ = new SLTMessageView;
    area->setWidget(reading_);
    reading_->initSizes();
    reading_->setFoto(samplePicture());
    reading_->setAddress(QStringLiteral("<b>Anna Example</b><br>+49 170 1234567"));
    reading_->setMessage(QStringLiteral("Type in the field above, then show the text here."));

    auto* switches = new QHBoxLayout;
    for (QWidget* widget : {static_cast<QWidget*>(singlePart), static_cast<QWidget*>(unicode),
                            static_cast<QWidget*>(greek), static_cast<QWidget*>(show)})
        switches->addWidget(widget);
    switches->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(compose_, 1);
    layout->addLayout(switches);
    layout->addWidget(area, 1);

    compose_->setMessageText(QString());
    compose_->getTextView()->setFocus();
}

void SmsViewsSample::showInReadingPane()
{
    reading_->setMessage(compose_->messageText());
}
