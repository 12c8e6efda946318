// A dialog's child control: a child widget with a control id, bound to the
// dialog control of the same id (placed as the dialog's template says) or
// created at a place of its own. Subclasses draw and take pen and keys
// through the virtuals. Enabled and visible are the control's own: a
// disabled control draws and takes no pen.
#pragma once

#include <QPointer>
#include <QRect>
#include <QWidget>

namespace ce::dlg {

class Dialog;
class ControlWidget;

class Control {
public:
    Control() = default;
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    // Binds to the dialog's control id at its template place, hidden unless
    // visible. False when the template has no such control or it is bound.
    bool attach(Dialog& dialog, int id, bool visible = true);
    // Creates the control at rect on parent (a dialog's widget).
    bool create(QWidget* parent, int id, const QRect& rect, bool visible);
    void destroy();

    int id() const { return m_id; }
    QWidget* widget() const { return m_widget; }
    bool exists() const { return m_widget != nullptr; }

    void moveWindow(const QRect& rect);
    QRect windowRect() const; // in the parent's coordinates
    QRect clientRect() const;
    void showWindow(bool show);
    bool isVisible() const;
    void enableWindow(bool enable);
    bool isEnabled() const { return m_enabled; }
    // Schedules a full repaint / repaints at once.
    void invalidate();
    void updateWindow();
    // The click notification to the dialog (as the button control sends).
    void notifyClicked();

protected:
    friend class ControlWidget;
    virtual void paint(QPainter& painter) = 0;
    virtual void penDown(const QPoint&) { }
    virtual void penMove(const QPoint&) { }
    virtual void penUp(const QPoint&) { }
    virtual void doubleClick(const QPoint&) { }
    // True when the key was consumed.
    virtual bool keyDown(int) { return false; }

private:
    QPointer<QWidget> m_widget;
    int m_id = 0;
    bool m_enabled = true;
};

} // namespace ce::dlg
