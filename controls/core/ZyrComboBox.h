// A skinned drop-down: the box and its arrow are images by state, the
// current text shows in a child ZyrTextBox, and the pop-up is the
// library's own: a frameless window with a flick-scrolled list whose rows
// are images, opening below the box or, without room there, above it.
//
// A tap within 8 pixels or Return opens it; a tap on a row chooses that
// row; a tap elsewhere, Escape, F4, Alt+Down or the list losing the focus
// closes it without a choice. A drag in the list scrolls and chooses
// nothing. For 100 ms after opening, releases do not close it (the release
// that opened it among them).
#pragma once

#include "controls/core/ZyrKineticViews.h"
#include "controls/core/zyrcontrols_global.h"

#include <QComboBox>
#include <QItemDelegate>
#include <QPixmap>
#include <QPoint>
#include <QPointer>
#include <QTimer>

class ZyrComboBox;
class ZyrTextBox;

// Paints the pop-up's rows from the combo box's item images.
class ZyrComboBoxDelegate : public QItemDelegate {
    Q_OBJECT
public:
    explicit ZyrComboBoxDelegate(ZyrComboBox* combo);
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool pressed = false;

private:
    ZyrComboBox* m_combo;
};

// The pop-up's list.
class ZyrComboBoxListView : public ZyrVirtualList {
    Q_OBJECT
public:
    explicit ZyrComboBoxListView(ZyrComboBox* combo);
    // Set by every kinetic scroll step; a release then chooses nothing.
    bool scrolled = false;
    // Cleared by the combo box that goes away first.
    QPointer<ZyrComboBox> combo;

protected slots:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool KineticScroll(const QPoint& p) override;
    void KineticStop(const QPoint& p) override;

private:
    void updateCurrentRow();
    void choose();
};

class ZYRCONTROLS_EXPORT ZyrComboBox : public QComboBox {
    Q_OBJECT
    Q_PROPERTY(int fontPixelSize READ fontPixelSize WRITE setFontPixelSize)
    Q_PROPERTY(QPixmap normal READ normal WRITE setNormal)
    Q_PROPERTY(QPixmap focused READ focused WRITE setFocused)
    Q_PROPERTY(QPixmap pressed READ pressed WRITE setPressed)
    Q_PROPERTY(QPixmap disabled READ disabled WRITE setDisabled)
    Q_PROPERTY(QPixmap arrowNormal READ arrowNormal WRITE setArrowNormal)
    Q_PROPERTY(QPixmap arrowPressed READ arrowPressed WRITE setArrowPressed)
    Q_PROPERTY(QPoint arrowOrigin READ arrowOrigin WRITE setArrowOrigin)
    Q_PROPERTY(QPixmap itemNormal READ itemNormal WRITE setItemNormal)
    Q_PROPERTY(QPixmap itemFocused READ itemFocused WRITE setItemFocused)
    Q_PROPERTY(QPixmap itemPressed READ itemPressed WRITE setItemPressed)
    Q_PROPERTY(int textMargin READ textMargin WRITE setTextMargin)
    Q_PROPERTY(int popupTextMargin READ popupTextMargin WRITE setPopupTextMargin)
    Q_PROPERTY(int popupOffset READ popupOffset WRITE setPopupOffset)
    Q_PROPERTY(bool eventPropagation READ eventPropagation WRITE setEventPropagation)

public:
    enum TPopupDirection { Below = 0, Above = 1 };
    Q_ENUM(TPopupDirection)

    explicit ZyrComboBox(QWidget* parent = nullptr);
    // An open pop-up goes with the box, silently.
    ~ZyrComboBox() override;

    int fontPixelSize() const { return font().pixelSize(); }
    void setFontPixelSize(int pixelSize);
    QPixmap normal() const { return m_normal; }
    // Also fixes the box's size to the image's.
    void setNormal(const QPixmap& image);
    QPixmap focused() const { return m_focused; }
    void setFocused(const QPixmap& image) { m_focused = image; }
    QPixmap pressed() const { return m_pressed; }
    void setPressed(const QPixmap& image);
    QPixmap disabled() const { return m_disabled; }
    void setDisabled(const QPixmap& image) { m_disabled = image; }
    QPixmap arrowNormal() const { return m_arrowNormal; }
    void setArrowNormal(const QPixmap& image);
    QPixmap arrowPressed() const { return m_arrowPressed; }
    void setArrowPressed(const QPixmap& image) { m_arrowPressed = image; }
    QPoint arrowOrigin() const { return m_arrowOrigin; }
    void setArrowOrigin(const QPoint& origin);
    QPixmap itemNormal() const { return m_itemNormal; }
    // Also the open list's row height.
    void setItemNormal(const QPixmap& image);
    QPixmap itemFocused() const { return m_itemFocused; }
    void setItemFocused(const QPixmap& image) { m_itemFocused = image; }
    QPixmap itemPressed() const { return m_itemPressed; }
    void setItemPressed(const QPixmap& image) { m_itemPressed = image; }
    int textMargin() const { return m_textMargin; }
    void setTextMargin(int margin);
    int popupTextMargin() const { return m_popupTextMargin; }
    void setPopupTextMargin(int margin) { m_popupTextMargin = margin; }
    int popupOffset() const { return m_popupOffset; }
    void setPopupOffset(int offset) { m_popupOffset = offset; }
    bool eventPropagation() const { return m_eventPropagation; }
    void setEventPropagation(bool on) { m_eventPropagation = on; }

    // Makes the index current and emits activated with it and its text.
    void setNewItem(int index);
    void emitHighlightedSignals(int index);

    void showPopup() override;
    using QComboBox::hidePopup;
    virtual void hidePopup(bool restoreFocus);

    // The open pop-up's window and list (null while closed).
    QWidget* popupWindow() const { return m_popupWindow; }
    ZyrComboBoxListView* popupList() const { return m_listView; }
    ZyrTextBox* label() const { return m_label; }

signals:
    void clicked(const QString& strObjName);

public slots:
    void guard();
    void onCurrentIndexChanged(QString text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    friend class ZyrComboBoxDelegate;
    void labelInitializing();
    TPopupDirection popupDirection(const QPoint& below, const QPoint& above, const QRect& screen) const;
    QRect prepareViewContainer(TPopupDirection direction, const QPoint& below, const QPoint& above,
        const QRect& screen, bool* clipped) const;
    void closePopupWindow();

    ZyrComboBoxListView* m_listView = nullptr;
    ZyrComboBoxDelegate* m_delegate;
    QPixmap m_normal;
    QPixmap m_focused;
    QPixmap m_pressed;
    QPixmap m_disabled;
    QPixmap m_itemNormal;
    QPixmap m_itemFocused;
    QPixmap m_itemPressed;
    QPixmap m_arrowNormal;
    QPixmap m_arrowPressed;
    QPoint m_arrowOrigin;
    ZyrTextBox* m_label;
    int m_textMargin = 0;
    int m_popupTextMargin = 5;
    int m_popupOffset = 8;
    bool m_popupShown = false;
    bool m_closingPress = false;
    bool m_eventPropagation = false;
    QWidget* m_popupWindow = nullptr;
    QPoint m_pressPosition;
    QTimer m_guard;
};
