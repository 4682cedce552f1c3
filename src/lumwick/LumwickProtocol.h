#pragma once

#include <QImage>
#include <QString>
#include <QVariantMap>

// What the owner of a stand-alone wizard implements.
class LumwickProtocol {
public:
    virtual ~LumwickProtocol() = default;

    // The window title; a null string keeps the wizard's own title.
    virtual QString getAssistantTitle() = 0;
    // The logo; a null image keeps the form's logo.
    virtual QImage getAssistantLogo() = 0;
    // Declared for an end without a phone; the wizard never sends it.
    virtual void assistantDidEndWithoutPairing() = 0;
    // Sent once, when Next is pressed on the last pane, with the result.
    virtual void assistantDidEndWithPairing(const QVariantMap& properties) = 0;
    virtual bool isValid(const QVariantMap& properties) = 0;
};
