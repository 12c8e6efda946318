// The switchable click sound of the phx buttons and icons: their named click
// reaches the sound manager only while the sound is on.
#pragma once

class QObject;

class phxClickSound {
public:
    explicit phxClickSound(bool enabled)
        : m_enabled(enabled)
    {
    }

    // Whether the widget's constructor connected it to a manager.
    void setHooked(bool hooked) { m_hooked = hooked; }
    bool enabled() const { return m_enabled; }

    // Switching the sound on again reconnects a widget that was connected
    // at construction and lost the connection to a silent click.
    void setEnabled(QObject* widget, bool enabled);
    // Just before the widget emits its named click: with the sound off, the
    // manager connection goes.
    void beforeClick(QObject* widget);

private:
    bool m_enabled;
    bool m_hooked = false;
    bool m_connected = true;
};
