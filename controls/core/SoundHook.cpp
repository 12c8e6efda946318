#include "controls/core/SoundHook.h"

#include "controls/core/ZyrelleControls.h"

#include <QDebug>
#include <QMetaObject>
#include <QObject>

namespace ZyrelleControls {
namespace {

const char* const kManagerSlot = SLOT(onPlayWidgetSound(const QString&));
const char* const kNamedClick = SIGNAL(clicked(const QString&));

// SIGNAL()/SLOT() strings carry a one-character code before the signature.
bool hasSignal(const QObject* object, const char* signal)
{
    QByteArray sig = QMetaObject::normalizedSignature(signal + 1);
    return object->metaObject()->indexOfSignal(sig.constData()) >= 0;
}

bool hasSlot(const QObject* object, const char* slot)
{
    QByteArray sig = QMetaObject::normalizedSignature(slot + 1);
    return object->metaObject()->indexOfSlot(sig.constData()) >= 0;
}

bool connectToManager(QObject* widget, QObject* manager, const char* signal)
{
    if (!hasSignal(widget, signal)) {
        qWarning() << "sound hook:" << widget->metaObject()->className() << "has no signal" << (signal + 1);
        return false;
    }
    if (!hasSlot(manager, kManagerSlot)) {
        qWarning() << "sound hook: the sound manager" << manager->metaObject()->className() << "has no slot"
                   << (kManagerSlot + 1);
        return false;
    }
    return bool(QObject::connect(widget, signal, manager, kManagerSlot));
}

} // namespace

bool ConnectSoundHook(QObject* widget, SoundHookKind kind)
{
    QObject* manager = GetSoundManager();
    if (!widget || !manager)
        return false;
    if (kind == SoundHookKind::Full) {
        const char* ownClick = SIGNAL(clicked());
        const char* ownSlot = SLOT(onClicked());
        if (!hasSignal(widget, ownClick) || !hasSlot(widget, ownSlot)) {
            qWarning() << "sound hook:" << widget->metaObject()->className() << "lacks clicked() or onClicked()";
            return false;
        }
        QObject::connect(widget, ownClick, widget, ownSlot);
    }
    return connectToManager(widget, manager, kNamedClick);
}

bool DisconnectSoundHook(QObject* widget)
{
    QObject* manager = GetSoundManager();
    if (!widget || !manager)
        return false;
    return QObject::disconnect(widget, kNamedClick, manager, kManagerSlot);
}

bool ConnectSoundSignal(QObject* widget, const char* signal)
{
    QObject* manager = GetSoundManager();
    if (!widget || !manager || !signal || !*signal)
        return false;
    return connectToManager(widget, manager, signal);
}

} // namespace ZyrelleControls
