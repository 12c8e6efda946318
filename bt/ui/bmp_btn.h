// The controls every KivoBT screen is built of: the owner-drawn bitmap
// button (also every label, icon and bar: a disabled button), the paged
// column of such buttons made at run time, and the bitmap slider.
#pragma once

#include "platform/dialogs/control.h"
#include "platform/dialogs/gdi.h"

#include <QImage>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kivo::bt {

using ce::dlg::Bitmap;
using ce::dlg::COLORREF;
using ce::dlg::Font;

constexpr COLORREF kWhite = 0xFFFFFF;
constexpr COLORREF kMagenta = 0xFF00FF;
constexpr COLORREF kCyan = 0xFFFF00;
constexpr COLORREF kKeyMinusOne = 0xFFFFFFFF;
// Posted to the parent while a repeating button is held.
constexpr unsigned kMsgButtonRepeat = 0x0400 + 550;
constexpr int kRepeatTimer = 9;

class CBmpBtnListener {
public:
    virtual ~CBmpBtnListener() = default;
    virtual void OnBmpBtnClick(int controlId) = 0;
};

// One line into what fits in width and the rest, the rest wrapped again;
// lines break after one of ",.; -" where they can. At least one character
// goes on each line, however narrow the width.
std::vector<std::u16string> WrapText(const QFont& font, const std::u16string& text, int width);

class CBmpBtn : public ce::dlg::Control {
public:
    CBmpBtn() = default;
    ~CBmpBtn() override;

    void SetBitmaps(int normalId, int pressedId, COLORREF key);
    void SetBitmapHandles(Bitmap normal, Bitmap pressed, COLORREF key);
    void SetBackground(Bitmap background) { m_background = std::move(background); }
    void SetBackgroundOrigin(int x, int y) { m_origin = QPoint(x, y); }
    void SetTextPlacement(bool hCentre, bool vCentre, int left, int top, bool multiLine);
    void SetTextColours(COLORREF pressed, COLORREF normal);
    void SetCaption(const std::u16string& text, bool createFont = false);
    void SetFonts(const Font& f1, const Font& f2 = nullptr, const Font& f3 = nullptr);
    void SetTouchEnabled(bool enabled) { m_touchEnabled = enabled; }
    void SetRepeatEnabled(const void* value) { m_repeatEnabled = value; }
    void SetListener(CBmpBtnListener* listener) { m_listener = listener; }
    void SetUserValue(void* value) { m_userValue = value; }
    void* UserValue() const { return m_userValue; }

    const std::u16string& Caption() const { return m_blocks[0].text; }
    std::u16string BlockText(int block) const { return m_blocks[block].text; }
    int NormalId() const { return m_normalId; }
    int PressedId() const { return m_pressedId; }
    bool Pressed() const { return m_pressed != m_neutral; }
    // What the last draw copied to the screen.
    const QImage& Frame() const { return m_frame; }
    // The text lines the last draw wrote: of which block, as shown (whole,
    // or cut with "..."), in which font, and where (its advance and height).
    struct DrawnLine {
        int block;
        std::u16string text;
        QFont font;
        QRect rect;
    };
    const std::vector<DrawnLine>& Drawn() const { return m_drawn; }
    // As a click from the keyboard: pen down and up at the centre.
    void Click();

protected:
    void paint(QPainter& painter) override;
    void penDown(const QPoint& point) override;
    void penUp(const QPoint& point) override;
    void doubleClick(const QPoint&) override { Click(); }
    bool keyDown(int key) override;

private:
    friend class CBmpBtnGroup;
    struct Block {
        std::u16string text;
        Font font;
        COLORREF normal = kWhite;
        COLORREF pressed = kWhite;
        bool hCentre = true;
        bool vCentre = true;
        int left = 0;
        int top = 0;
        bool defaultColour = true;
        bool multiLine = false;
        // Where a one-line text must end (0: the button's right edge), so
        // that it keeps clear of a text beside it.
        int right = 0;
    };
    void draw(QPainter& screen);
    void drawBlock(QPainter& p, int index);
    void onRepeatTimer();

    int m_normalId = 0;
    int m_pressedId = 0;
    Bitmap m_normal;
    Bitmap m_pressedBitmap;
    COLORREF m_key = 0;
    Bitmap m_background;
    QPoint m_origin;
    Block m_blocks[3];
    int m_pressed = 0;
    int m_neutral = 0;
    bool m_ownerDraw = false;
    bool m_touchEnabled = true;
    const void* m_repeatEnabled = nullptr;
    bool m_repeating = false;
    CBmpBtnListener* m_listener = nullptr;
    void* m_userValue = nullptr;
    QImage m_frame;
    std::vector<DrawnLine> m_drawn;
};

class CBmpBtnGroup {
public:
    CBmpBtnGroup() = default;
    ~CBmpBtnGroup();
    CBmpBtnGroup(const CBmpBtnGroup&) = delete;
    CBmpBtnGroup& operator=(const CBmpBtnGroup&) = delete;

    void Init(QWidget* parent, CBmpBtnListener* listener, const QRect& column, int perPage, Bitmap background,
        Bitmap selected, Bitmap pressed, Bitmap normal, int capacity);
    void Init(QWidget* parent, CBmpBtnListener* listener, const QRect& column, int perPage, Bitmap background,
        int selectedId, int pressedId, int normalId, int capacity);
    void Clear();
    void Reset(int capacity);
    // One or two lines.
    void Add(const std::u16string& first, const std::u16string& second, void* userValue);
    // A name, an optional second line and third text, and the row bitmaps.
    void Add(const std::u16string& name, const std::u16string& second, const std::u16string& third, Bitmap normal,
        Bitmap pressed, void* userValue);
    int IndexOfId(int controlId) const;
    void* ItemAt(int index) const;
    void Layout();
    void PreviousPage();
    void NextPage();
    void Select(int index);

    int Count() const { return int(m_buttons.size()); }
    int First() const { return m_first; }
    int Last() const { return m_last; }
    int ItemHeight() const { return m_itemHeight; }
    int SelectedId() const { return m_selectedId; }
    CBmpBtn* Button(int index) const;

private:
    void hideVisible();
    void retire();

    QWidget* m_parent = nullptr;
    CBmpBtnListener* m_listener = nullptr;
    QRect m_column;
    int m_perPage = 1;
    int m_itemHeight = 0;
    int m_capacity = 40;
    std::vector<std::unique_ptr<CBmpBtn>> m_buttons;
    int m_first = 0;
    int m_last = 0;
    int m_selectedId = -1;
    Bitmap m_background;
    Bitmap m_normal;
    Bitmap m_pressed;
    Bitmap m_selected;
};

class CBmpSlider : public ce::dlg::Control {
public:
    using PositionCallback = std::function<void(int value, void* user)>;
    using ReleaseCallback = std::function<void(int value)>;

    void SetBitmaps(int trackId, int filledId, int thumbId);
    void SetMaximum(int maximum) { m_maximum = maximum; }
    void SetPosition(int thumbLeft) { m_thumbLeft = thumbLeft; }
    void SetThumbWidth(int width) { m_thumbWidth = width; }
    void SetColourKey(COLORREF key) { m_key = key; }
    void SetDraggable(bool draggable) { m_draggable = draggable; }
    void SetPositionCallback(PositionCallback callback, void* user)
    {
        m_position = std::move(callback);
        m_user = user;
    }
    void SetReleaseCallback(ReleaseCallback callback) { m_release = std::move(callback); }
    int ThumbLeft() const { return m_thumbLeft; }

protected:
    void paint(QPainter& painter) override;
    void penDown(const QPoint& point) override;
    void penMove(const QPoint& point) override;
    void penUp(const QPoint& point) override;

private:
    // Moves the thumb to x; the value before it is limited to the maximum
    // (0 when the track has no length).
    unsigned track(int x);
    void report(unsigned value);

    Bitmap m_track;
    Bitmap m_filled;
    Bitmap m_thumb;
    COLORREF m_key = 0;
    int m_maximum = 0;
    int m_thumbLeft = 0;
    int m_thumbWidth = 0;
    int m_leftMargin = 2;
    int m_rightMargin = 5;
    bool m_draggable = true;
    bool m_dragging = false;
    QPoint m_last;
    PositionCallback m_position;
    void* m_user = nullptr;
    ReleaseCallback m_release;
};

} // namespace kivo::bt
