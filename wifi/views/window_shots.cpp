#include "wifi/views/window_shots.h"

#include "wifi/core/KivoWiFiFlow.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QTimer>

namespace kivowifi {

namespace {

class WindowShots : public QObject {
public:
    WindowShots(KivoWiFiFlow* flow, const QString& folder)
        : QObject(flow)
        , m_flow(flow)
        , m_folder(folder)
    {
        qApp->installEventFilter(this);
        schedule();
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // Anything shown, hidden or repainted in the window may be a change;
        // the check after it decides.
        const QEvent::Type type = event->type();
        if ((type == QEvent::Paint || type == QEvent::Show || type == QEvent::Hide) && watched->isWidgetType()
            && (watched == m_flow || m_flow->isAncestorOf(static_cast<QWidget*>(watched))))
            schedule();
        return false;
    }

private:
    void schedule()
    {
        if (m_pending)
            return;
        m_pending = true;
        QTimer::singleShot(0, this, [this] {
            m_pending = false;
            check();
        });
    }

    // The view and the texts a picture stands for.
    QString state() const
    {
        QStringList texts;
        for (QLabel* label : m_flow->findChildren<QLabel*>())
            if (label->isVisible() && !label->text().isEmpty())
                texts << label->text().replace(QLatin1Char('\n'), QLatin1Char(' '));
        return QStringLiteral("view %1: %2").arg(m_flow->currentViewId()).arg(texts.join(QStringLiteral(" | ")));
    }

    void check()
    {
        if (!m_flow->isVisible())
            return;
        const QString now = state();
        if (now == m_last)
            return;
        m_last = now;
        const QString name
            = QStringLiteral("%1-view%2.png").arg(++m_count, 3, 10, QLatin1Char('0')).arg(m_flow->currentViewId());
        m_flow->grab().save(QDir(m_folder).filePath(name));
        QFile index(QDir(m_folder).filePath(QStringLiteral("shots.txt")));
        if (index.open(QIODevice::Append))
            index.write((name + QStringLiteral("  ") + now + QLatin1Char('\n')).toUtf8());
    }

    KivoWiFiFlow* m_flow;
    QString m_folder;
    QString m_last;
    int m_count = 0;
    bool m_pending = false;
};

} // namespace

bool startWindowShots(KivoWiFiFlow* flow, const QString& folder)
{
    if (!flow || !QDir().mkpath(folder))
        return false;
    new WindowShots(flow, folder);
    return true;
}

} // namespace kivowifi
