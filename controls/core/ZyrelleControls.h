// Process-wide settings that every widget of the library consults: the
// application's sound manager, the keypad-navigation switch, the style sheets
// given to scroll bars and progress bars, and the language of the controls.
//
// All of it belongs to the GUI thread; nothing is locked.
#pragma once

#include "controls/core/zyrcontrols_global.h"

#include <QLocale>
#include <QString>

class QObject;

namespace ZyrelleControls {

// Style sheets read by widgets when they are constructed; a sheet set later
// affects only widgets created afterwards. Empty by default (the
// application's style).
ZYRCONTROLS_EXPORT void SetVerticalScrollBarStyleSheet(const QString& sheet);
ZYRCONTROLS_EXPORT void SetHorizontalScrollBarStyleSheet(const QString& sheet);
ZYRCONTROLS_EXPORT void SetProgressBarStyleSheet(const QString& sheet);

// The application's object that plays widget sounds. It must offer the slot
// "onPlayWidgetSound(const QString&)". Not owned; null clears it (widgets
// already connected keep their connection), and so does the manager's
// destruction. See SoundHook.h.
ZYRCONTROLS_EXPORT void SetSoundManager(QObject* manager);
ZYRCONTROLS_EXPORT QObject* GetSoundManager();

// The device is driven by hardware keys: widgets draw a focus look, keep
// key-repeat timers and accept focus. Read at the moment of use.
ZYRCONTROLS_EXPORT bool IsKeypadNavigation();
ZYRCONTROLS_EXPORT void SetKeypadNavigation(bool enabled);

// The language of the controls (English until set). Changing it notifies
// nothing; widgets consult it when they next need it.
class ZYRCONTROLS_EXPORT ControlsLanguage {
public:
    static ControlsLanguage* Instance();
    // Deletes the instance; the next Instance() makes a fresh one (English).
    static void Destroy();

    QLocale::Language GetCurrentLanguage() const;
    void SetCurrentLanguage(QLocale::Language language);

    ControlsLanguage& operator=(const ControlsLanguage& other);

    static ControlsLanguage* _self;

protected:
    ControlsLanguage();
    ControlsLanguage(const ControlsLanguage& other);
    ~ControlsLanguage();

private:
    QLocale::Language m_language;
};

} // namespace ZyrelleControls
