#include "platform/dialogs/control.h"

#include "platform/dialogs/dialog.h"
#include "platform/dialogs/services.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace ce::dlg {

class ControlWidget : public QWidget {
public:
    ControlWidget(Control* control, QWidget* parent)
        : QWidget(parent)
        , m_control(control)
    {
        setFocusPolicy(Qt::StrongFocus);
    }
    void detach() { m_control = nullptr; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        if (!m_control)
            return;
        QPainter p(this);
        m_control->paint(p);
    }
    void mousePressEvent(QMouseEvent* e) override
    {
        if (m_control && m_control->isEnabled() && e->button() == Qt::LeftButton)
            m_control->penDown(e->pos());
    }
    void mouseMoveEvent(QMouseEvent* e) override
    {
        if (m_control && m_control->isEnabled())
            m_control->penMove(e->pos());
    }
    void mouseReleaseEvent(QMouseEvent* e) override
    {
        if (m_control && m_control->isEnabled() && e->button() == Qt::LeftButton)
            m_control->penUp(e->pos());
    }
    void mouseDoubleClickEvent(QMouseEvent* e) override
    {
        if (m_control && m_control->isEnabled() && e->button() == Qt::LeftButton)
            m_control->doubleClick(e->pos());
    }
    void keyPressEvent(QKeyEvent* e) override
    {
        const int key = e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter ? 13 : e->key();
        if (!m_control || !m_control->isEnabled() || !m_control->keyDown(key))
            QWidget::keyPressEvent(e);
    }

private:
    Control* m_control;
};

Control::~Control()
{
    destroy();
}

bool Control::attach(Dialog& dialog, int id, bool visible)
{
    QRect rect;
    if (m_widget || !dialog.widget() || !templateItem(dialog.templateId(), id, &rect))
        return false;
    return create(dialog.widget(), id, rect, visible);
}

bool Control::create(QWidget* parent, int id, const QRect& rect, bool visible)
{
    if (m_widget || !parent)
        return false;
    m_id = id;
    m_widget = new ControlWidget(this, parent);
    m_widget->setObjectName(QStringLiteral("control%1").arg(id));
    m_widget->setGeometry(rect);
    m_widget->setVisible(visible);
    return true;
}

void Control::destroy()
{
    if (getCapture() == this)
        releaseCapture();
    if (m_widget) {
        static_cast<ControlWidget*>(m_widget.data())->detach();
        delete m_widget;
    }
}

void Control::moveWindow(const QRect& rect)
{
    if (m_widget)
        m_widget->setGeometry(rect);
}

QRect Control::windowRect() const
{
    return m_widget ? m_widget->geometry() : QRect();
}

QRect Control::clientRect() const
{
    return m_widget ? m_widget->rect() : QRect();
}

void Control::showWindow(bool show)
{
    if (m_widget)
        m_widget->setVisible(show);
}

bool Control::isVisible() const
{
    return m_widget && !m_widget->isHidden();
}

void Control::enableWindow(bool enable)
{
    if (m_enabled == enable)
        return;
    m_enabled = enable;
    invalidate();
}

void Control::invalidate()
{
    if (m_widget)
        m_widget->update();
}

void Control::updateWindow()
{
    if (m_widget)
        m_widget->repaint();
}

void Control::notifyClicked()
{
    if (!m_widget)
        return;
    if (Dialog* d = Dialog::fromWidget(m_widget->parentWidget()))
        d->command(m_id);
}

} // namespace ce::dlg
