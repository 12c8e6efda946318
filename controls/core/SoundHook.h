// The sound hook: how every clickable widget of the library reports its
// clicks to the application's sound manager (see SetSoundManager).
//
// A clickable widget declares the signal
//     void clicked(const QString& strObjName);
// and emits it with its own objectName() on each click: from its slot
// onClicked() when it is a button (or another widget with a clicked()
// signal of its own), or from its own click handling otherwise. The signal
// is emitted whether or not a manager is connected.
//
// In its constructor the widget calls ConnectSoundHook once. Only when a
// manager is registered at that moment are connections made; a widget built
// before the registration stays silent for its whole life.
#pragma once

#include "controls/core/zyrcontrols_global.h"

class QObject;

namespace ZyrelleControls {

enum class SoundHookKind {
    // The widget's own "clicked()" to its own "onClicked()", and its
    // "clicked(const QString&)" to the manager's "onPlayWidgetSound(const QString&)".
    Full,
    // Only "clicked(const QString&)" to the manager (widgets that emit the
    // named click from their own click handling).
    ManagerOnly,
};

// Applies the hook to the widget under construction. Returns true when the
// widget is now connected to a manager; false when no manager is registered
// or the widget lacks the signals and slots the hook needs (logged).
ZYRCONTROLS_EXPORT bool ConnectSoundHook(QObject* widget, SoundHookKind kind = SoundHookKind::Full);

// Removes the widget's "clicked(const QString&)" connection to the
// registered manager (a widget whose click sound was switched off). Returns
// true when a connection was removed.
ZYRCONTROLS_EXPORT bool DisconnectSoundHook(QObject* widget);

// The same for a sound signal of another name that also carries the
// object name, such as a key button's "playSound(const QString&)". The
// signature is given as for SIGNAL(), e.g. SIGNAL(playSound(const QString&)).
ZYRCONTROLS_EXPORT bool ConnectSoundSignal(QObject* widget, const char* signal);

} // namespace ZyrelleControls
