#pragma once

#include "kestrova/views/MessageInputViewTools.h"
#include "platform/gui/Interface.h"

#include <QList>
#include <QString>
#include <QWidget>
#include <functional>
#include <utility>

class QCheckBox;
class QFrame;
class QLabel;
class QTextEdit;

// Sent when a change would make the text longer than the phone can send;
// object: the field's text widget.
inline const QString kQVSMSKitMessageViewNoMoreCharactersAllowed =
    QStringLiteral("QVSMSKitMessageViewNoMoreCharactersAllowed");

// The field in which the user writes an SMS: the text, and under it how many
// characters are still free in the last part, how many parts the text takes
// and a box for spell checking. Every change is checked against the length
// the phone can send: a typed character that does not fit never goes in, a
// paste is cut to the last whole character that fits, and a text set by the
// program is cut the same way (that cut joins the edit it mends, so it is no
// undo step of its own).
class SLTMessageInputView : public QWidget, public platform::gui::NibAwakening {
    Q_OBJECT
public:
    // Misspelled ranges of a text: (start, length) in UTF-16 units.
    using SpellChecker = std::function<QList<std::pair<int, int>>(const QString& text)>;

    explicit SLTMessageInputView(QWidget* parent = nullptr);
    ~SLTMessageInputView() override;

    void awakeFromNib() override;

    void setMessageText(const QString& text);
    QString messageText() const;

    // Take effect at the next check.
    void setSinglePart(bool singlePart) { singlePart_ = singlePart; }
    void setSpecialCharsAllowed(bool allowed) { specialCharsAllowed_ = allowed; }
    void setUseGreekSubstitution(bool greek) { useGreekSubstitution_ = greek; }

    bool specialCharsEnabled() const { return specialCharsEnabled_; }
    void setSpecialCharsEnabled(bool enabled) { specialCharsEnabled_ = enabled; }
    bool useSingleShiftTable() const { return useSingleShiftTable_; }
    int numParts() const;

    QTextEdit* getTextView() const { return messageTextView_; }

    // Without a checker the box is disabled; the setting is kept all the same.
    void setSpellChecker(SpellChecker checker);
    void setSpellCheckEnabled(bool enabled);
    bool spellCheckEnabled() const { return spellCheckEnabled_; }
    void actionCheckBoxSpellChecking();

    void refreshPartCountersWithLenght(int length, bool ucs2);
    void validateMessageText();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void layoutSubviews();
    void refreshPartCounters(const SmsTextMeasure& measure);
    bool fits(const SmsTextMeasure& measure) const;
    bool fits(QStringView text) const;
    int fittingUnits(QStringView before, QStringView middle, QStringView after) const;
    QString admitInsertion(int from, int to, const QString& inserted);
    void reportTooLong(const SmsTextMeasure& measure);
    void removeRange(int start, int length, int cursorPosition);
    void refreshSpellMarks();

    bool singlePart_ = false;
    bool specialCharsAllowed_ = true;
    bool specialCharsEnabled_ = false;
    bool useSingleShiftTable_ = false;
    bool useGreekSubstitution_ = false;
    bool spellCheckEnabled_ = false;
    bool validating_ = false;
    QString currentMessageText_;
    SpellChecker spellChecker_;

    QTextEdit* messageTextView_ = nullptr;
    QLabel* charCountField_ = nullptr;
    QLabel* partCountField_ = nullptr;
    QLabel* charCountLabel_ = nullptr;
    QLabel* partCountLabel_ = nullptr;
    QLabel* partCountLabel2_ = nullptr;
    QCheckBox* spellCheck_ = nullptr;
    QFrame* line_ = nullptr;
};
