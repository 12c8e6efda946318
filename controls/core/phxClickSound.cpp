#include "controls/core/phxClickSound.h"

#include "controls/core/SoundHook.h"
#include "controls/core/ZyrelleControls.h"

#include <QObject>

void phxClickSound::setEnabled(QObject* widget, bool enabled)
{
    m_enabled = enabled;
    if (enabled && m_hooked && !m_connected && ZyrelleControls::GetSoundManager())
        m_connected = ZyrelleControls::ConnectSoundSignal(widget, SIGNAL(clicked(const QString&)));
}

void phxClickSound::beforeClick(QObject* widget)
{
    if (ZyrelleControls::GetSoundManager() && !m_enabled && m_connected) {
        ZyrelleControls::DisconnectSoundHook(widget);
        m_connected = false;
    }
}
