#include "kestrova/views/SLTMessageInputView.h"

#include "kestrova/sms/SmsPartLayout.h"
#include "platform/Localization.h"
#include "platform/NotificationCenter.h"
#include "platform/gui/Animation.h"

#include <QCheckBox>
#include <QFrame>
#include <QInputMethodEvent>
#include <QLabel>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QScopedValueRollback>
#include <QTextCursor>
#include <QTextEdit>

namespace {

const QString kLabelCharCount = QStringLiteral("labelCharCount");
const QString kLabelPartCount = QStringLiteral("labelPartCount");
const QString kLabelPartCount2 = QStringLiteral("labelPartCount2");
const QString kButtonSpellCheck = QStringLiteral("buttonSpellCheck");
const QString kSpellCheckUnavailable = QStringLiteral("spellCheckUnavailable");
const QString kMessageTextAccessibleName = QStringLiteral("messageTextAccessibleName");

constexpr int kMargin = 10;
constexpr int kSpacing = 10;
constexpr int kFullLayoutWidth = 350;
constexpr int kFullLayoutHeight = 150;

// No text the field keeps is longer than this many UTF-16 units (ten GSM
// parts of plain characters), so a paste or a draft is cut to a bit more than
// that before it reaches the text layout: a megabyte of text never freezes the
// window, and the length check still sees more than it can keep.
constexpr qsizetype kLongestKeptText = kSmsComposeMaxParts * kestrova::kGsmMultiPartSeptets;
constexpr qsizetype kInsertCap = 2 * kLongestKeptText;

// The first kInsertCap units of a text, not ending inside a surrogate pair.
QString capText(const QString& text)
{
    if (text.size() <= kInsertCap)
        return text;
    qsizetype end = kInsertCap;
    if (text[end - 1].isHighSurrogate())
        --end;
    return text.left(end);
}

// The text widget: plain text only. Typed and pasted text passes the field's
// gate before it reaches the document, so a character that does not fit is
// never inserted and leaves no undo step; what is pasted or dropped is capped
// first.
class MessageTextEdit : public QTextEdit {
public:
    // The part of `inserted` that may replace the units from..to.
    using Gate = std::function<QString(int from, int to, const QString& inserted)>;

    MessageTextEdit(QWidget* parent, Gate gate)
        : QTextEdit(parent)
        , gate_(std::move(gate))
    {
    }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        const QString text = event->text();
        const bool typing = !text.isEmpty()
            && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
            && ((text[0].unicode() >= 0x20 && text[0].unicode() != 0x7F) || text == QLatin1String("\r"));
        if (typing && !admits(text == QLatin1String("\r") ? QStringLiteral("\n") : text)) {
            event->accept();
            return;
        }
        QTextEdit::keyPressEvent(event);
    }

    void inputMethodEvent(QInputMethodEvent* event) override
    {
        if (!event->commitString().isEmpty() && !admits(event->commitString())) {
            event->accept();
            return;
        }
        QTextEdit::inputMethodEvent(event);
    }

    void insertFromMimeData(const QMimeData* source) override
    {
        if (!source || !source->hasText())
            return;
        const QTextCursor cursor = textCursor();
        const QString admitted = gate_(cursor.selectionStart(), cursor.selectionEnd(), capText(source->text()));
        if (!admitted.isEmpty())
            textCursor().insertText(admitted);
    }

private:
    // Whether the whole of a typed text may go in.
    bool admits(const QString& text)
    {
        const QTextCursor cursor = textCursor();
        return gate_(cursor.selectionStart(), cursor.selectionEnd(), text) == text;
    }

    Gate gate_;
};

QString localizedOrEmpty(const QString& key)
{
    const QString text = platform::localizedString(key);
    return text == key ? QString() : text;
}

QLabel* makeLabel(QWidget* parent, const QString& text, const QString& objectName)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(objectName);
    label->setTextInteractionFlags(Qt::NoTextInteraction);
    label->setAutoFillBackground(false);
    return label;
}

// The end positions of a text's characters (a surrogate pair is one).
QList<int> characterEnds(QStringView text)
{
    QList<int> ends;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        ends.append(int(i + 1));
    }
    return ends;
}

} // namespace

SLTMessageInputView::SLTMessageInputView(QWidget* parent)
    : QWidget(parent)
{
    messageTextView_ = new MessageTextEdit(
        this, [this](int from, int to, const QString& inserted) { return admitInsertion(from, to, inserted); });
    messageTextView_->setObjectName(QStringLiteral("messageTextView"));
    messageTextView_->setAcceptRichText(false);
    messageTextView_->setTabChangesFocus(true);
    messageTextView_->setLineWrapMode(QTextEdit::WidgetWidth);
    messageTextView_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    messageTextView_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    messageTextView_->document()->setDocumentMargin(7);
    messageTextView_->setAccessibleName(localizedOrEmpty(kMessageTextAccessibleName));

    const QString charLabel = platform::localizedString(kLabelCharCount);
    const QString partLabel = platform::localizedString(kLabelPartCount);
    charCountLabel_ = makeLabel(this, charLabel, QStringLiteral("charCountLabel"));
    charCountField_ = makeLabel(this, QStringLiteral("160"), QStringLiteral("charCountField"));
    partCountLabel_ = makeLabel(this, partLabel, QStringLiteral("partCountLabel"));
    partCountField_ = makeLabel(this, QStringLiteral("1"), QStringLiteral("partCountField"));
    charCountField_->setAccessibleName(charLabel);
    partCountField_->setAccessibleName(partLabel);
    for (QLabel* field : {charCountField_, partCountField_}) {
        field->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        field->setFixedWidth(field->fontMetrics().horizontalAdvance(QStringLiteral("160")) + 2);
    }
    const QString partLabel2 = localizedOrEmpty(kLabelPartCount2);
    if (!partLabel2.isEmpty())
        partCountLabel2_ = makeLabel(this, partLabel2, QStringLiteral("partCountLabel2"));

    spellCheck_ = new QCheckBox(platform::localizedString(kButtonSpellCheck), this);
    spellCheck_->setObjectName(QStringLiteral("spellCheck"));
    connect(spellCheck_, &QCheckBox::toggled, this, [this] { actionCheckBoxSpellChecking(); });

    line_ = new QFrame(this);
    line_->setObjectName(QStringLiteral("line"));
    line_->setFrameShape(QFrame::NoFrame);
    line_->setAutoFillBackground(true);
    QPalette linePalette = line_->palette();
    linePalette.setColor(QPalette::Window, Qt::black);
    line_->setPalette(linePalette);

    setFocusProxy(messageTextView_);
    setSpellChecker({});
    connect(messageTextView_, &QTextEdit::textChanged, this, [this] { validateMessageText(); });
    refreshPartCountersWithLenght(0, false);
    layoutSubviews();
}

SLTMessageInputView::~SLTMessageInputView() = default;

void SLTMessageInputView::awakeFromNib()
{
    layoutSubviews();
    const QSignalBlocker block(spellCheck_);
    spellCheck_->setChecked(spellCheckEnabled_);
}

void SLTMessageInputView::setMessageText(const QString& text)
{
    messageTextView_->setPlainText(capText(text));
    // setPlainText reports the change itself; an unchanged empty text does not.
    validateMessageText();
}

QString SLTMessageInputView::messageText() const
{
    return messageTextView_->toPlainText();
}

int SLTMessageInputView::numParts() const
{
    return partCountField_->text().toInt();
}

void SLTMessageInputView::setSpellChecker(SpellChecker checker)
{
    spellChecker_ = std::move(checker);
    spellCheck_->setEnabled(bool(spellChecker_));
    spellCheck_->setToolTip(spellChecker_ ? QString() : platform::localizedString(kSpellCheckUnavailable));
    spellCheck_->setAccessibleDescription(spellCheck_->toolTip());
    refreshSpellMarks();
}

void SLTMessageInputView::setSpellCheckEnabled(bool enabled)
{
    spellCheckEnabled_ = enabled;
    const QSignalBlocker block(spellCheck_);
    spellCheck_->setChecked(enabled);
    refreshSpellMarks();
}

void SLTMessageInputView::actionCheckBoxSpellChecking()
{
    spellCheckEnabled_ = spellCheck_->isChecked();
    refreshSpellMarks();
}

void SLTMessageInputView::refreshSpellMarks()
{
    QList<QTextEdit::ExtraSelection> marks;
    if (spellCheckEnabled_ && spellChecker_) {
        const QString text = messageText();
        QTextCharFormat format;
        format.setUnderlineStyle(QTextCharFormat::SpellCheckUnderline);
        format.setUnderlineColor(Qt::red);
        for (const auto& [start, length] : spellChecker_(text)) {
            if (start < 0 || length <= 0 || start > text.size() - length)
                continue;
            QTextEdit::ExtraSelection mark;
            mark.cursor = QTextCursor(messageTextView_->document());
            mark.cursor.setPosition(start);
            mark.cursor.setPosition(start + length, QTextCursor::KeepAnchor);
            mark.format = format;
            marks.append(mark);
        }
    }
    messageTextView_->setExtraSelections(marks);
}

void SLTMessageInputView::refreshPartCountersWithLenght(int length, bool ucs2)
{
    refreshPartCounters(MessageInputViewTools::measurePlainLength(length, ucs2, useSingleShiftTable_));
}

void SLTMessageInputView::refreshPartCounters(const SmsTextMeasure& measure)
{
    charCountField_->setText(QString::asprintf("%i", measure.freeInLastPart));
    partCountField_->setText(QString::asprintf("%i", measure.partCount));
    // Read with the text, so a screen reader in the field hears the counts.
    messageTextView_->setAccessibleDescription(charCountLabel_->text() + QLatin1Char(' ') + charCountField_->text()
                                               + QStringLiteral(", ") + partCountLabel_->text() + QLatin1Char(' ')
                                               + partCountField_->text());
}

bool SLTMessageInputView::fits(const SmsTextMeasure& measure) const
{
    if (measure.unicodeNeeded && !specialCharsAllowed_)
        return false;
    const int parts = singlePart_ ? 1 : kSmsComposeMaxParts;
    return measure.realLength
               <= MessageInputViewTools::getAllowedMessageLength(measure.singleShift, measure.unicodeNeeded, parts)
        && measure.partCount <= parts;
}

bool SLTMessageInputView::fits(QStringView text) const
{
    return fits(MessageInputViewTools::measure(text, useGreekSubstitution_));
}

void SLTMessageInputView::removeRange(int start, int length, int cursorPosition)
{
    QTextCursor cursor(messageTextView_->document());
    cursor.joinPreviousEditBlock();
    cursor.setPosition(start);
    cursor.setPosition(start + length, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    cursor.endEditBlock();
    QTextCursor shown = messageTextView_->textCursor();
    shown.setPosition(cursorPosition);
    messageTextView_->setTextCursor(shown);
}

void SLTMessageInputView::reportTooLong(const SmsTextMeasure& measure)
{
    if (measure.unicodeNeeded && !specialCharsAllowed_) {
        specialCharsEnabled_ = false;
        platform::gui::beep();
    } else {
        platform::NotificationCenter::defaultCenter().post(kQVSMSKitMessageViewNoMoreCharactersAllowed,
                                                           messageTextView_);
    }
}

int SLTMessageInputView::fittingUnits(QStringView before, QStringView middle, QStringView after) const
{
    const QList<int> ends = characterEnds(middle);
    const auto candidate = [&](int units) -> QString { return before.toString() + middle.left(units) + after; };
    if (!fits(candidate(0)))
        return -1;
    int lo = 0, hi = int(ends.size()); // characters: lo of them fit, more than hi do not
    while (lo < hi) {
        const int mid = (lo + hi + 1) / 2;
        if (fits(candidate(ends[mid - 1])))
            lo = mid;
        else
            hi = mid - 1;
    }
    return lo == 0 ? 0 : ends[lo - 1];
}

QString SLTMessageInputView::admitInsertion(int from, int to, const QString& inserted)
{
    const QString text = messageText();
    from = qBound(0, from, int(text.size()));
    to = qBound(from, to, int(text.size()));
    const QStringView prefix = QStringView(text).left(from);
    const QStringView suffix = QStringView(text).mid(to);
    const SmsTextMeasure measure =
        MessageInputViewTools::measure(QString(prefix + inserted + suffix), useGreekSubstitution_);
    if (fits(measure))
        return inserted;
    reportTooLong(measure);
    // A typed character goes in whole or not at all; a paste is cut to the
    // last whole character that fits.
    if (characterEnds(inserted).size() <= 1)
        return QString();
    return inserted.left(qMax(0, fittingUnits(prefix, inserted, suffix)));
}

void SLTMessageInputView::validateMessageText()
{
    if (validating_)
        return;
    const QScopedValueRollback guard(validating_, true);
    const QString text = messageText();
    if (text.isEmpty()) {
        useSingleShiftTable_ = false;
        specialCharsEnabled_ = false;
        currentMessageText_.clear();
        refreshPartCountersWithLenght(0, false);
        refreshSpellMarks();
        return;
    }
    SmsTextMeasure measure = MessageInputViewTools::measure(text, useGreekSubstitution_);
    if (!fits(measure)) {
        // A change that did not pass the gate (a text set by the program, an
        // undo, changed limits): cut what changed since the last accepted
        // text to what fits, never inside a surrogate pair.
        reportTooLong(measure);
        const QString& old = currentMessageText_;
        const qsizetype shorter = qMin(old.size(), text.size());
        qsizetype head = 0;
        while (head < shorter && old[head] == text[head])
            ++head;
        if (head > 0 && text[head - 1].isHighSurrogate())
            --head;
        qsizetype tail = 0;
        while (tail < shorter - head && old[old.size() - 1 - tail] == text[text.size() - 1 - tail])
            ++tail;
        if (tail > 0 && text[text.size() - tail].isLowSurrogate())
            --tail;
        const QStringView inserted = QStringView(text).mid(head, text.size() - head - tail);
        const int kept = fittingUnits(QStringView(text).left(head), inserted, QStringView(text).right(tail));
        if (kept >= 0) {
            removeRange(int(head + kept), int(inserted.size() - kept), int(head + kept));
        } else {
            // The text around the change is itself too long for the limits
            // now in force: keep its beginning.
            const int keptText = fittingUnits({}, text, {});
            removeRange(keptText, int(text.size() - keptText), keptText);
        }
        measure = MessageInputViewTools::measure(messageText(), useGreekSubstitution_);
    }
    useSingleShiftTable_ = measure.singleShift;
    specialCharsEnabled_ = measure.unicodeNeeded;
    currentMessageText_ = messageText();
    refreshPartCounters(measure);
    refreshSpellMarks();
}

void SLTMessageInputView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutSubviews();
}

void SLTMessageInputView::layoutSubviews()
{
    const int w = width();
    const int h = height();
    const bool full = w >= kFullLayoutWidth && h >= kFullLayoutHeight;
    QList<QWidget*> row {charCountLabel_, charCountField_, partCountLabel_, partCountField_};
    if (partCountLabel2_)
        row.append(partCountLabel2_);
    for (QWidget* widget : row)
        widget->setVisible(full);
    spellCheck_->setVisible(full);
    line_->setVisible(full);
    if (!full) {
        messageTextView_->setGeometry(kMargin, kMargin, qMax(0, w - 2 * kMargin), qMax(0, h - 2 * kMargin));
        return;
    }

    // The counter fields keep their fixed width, the labels fit their text.
    const auto widthOf = [](const QWidget* widget) {
        return widget->minimumWidth() == widget->maximumWidth() ? widget->minimumWidth() : widget->sizeHint().width();
    };
    const QSize box = spellCheck_->sizeHint();
    int rowHeight = box.height();
    int rowWidth = -kSpacing;
    for (QWidget* widget : row) {
        rowHeight = qMax(rowHeight, widget->sizeHint().height());
        rowWidth += widthOf(widget) + kSpacing;
    }
    const int rowTop = h - kMargin - rowHeight;
    spellCheck_->setGeometry(kMargin, rowTop + (rowHeight - box.height()) / 2, box.width(), box.height());
    int x = qMax((w - rowWidth) / 2, spellCheck_->geometry().right() + 1 + kSpacing);
    for (QWidget* widget : row) {
        const int width = widthOf(widget);
        widget->setGeometry(x, rowTop, width, rowHeight);
        x += width + kSpacing;
    }
    const int lineY = rowTop - kSpacing;
    line_->setGeometry(0, lineY, w, 1);
    messageTextView_->setGeometry(kMargin, kMargin, w - 2 * kMargin, qMax(0, lineY - 2 * kMargin));
}

void SLTMessageInputView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(Qt::black);
    painter.drawLine(0, 0, width() - 1, 0);
}
