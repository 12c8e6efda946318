// What every KivoBT screen shares: a modal 240 x 400 dialog at 0, 0 drawn on
// its background bitmap, whose visible elements are bitmap buttons bound to
// its template's controls (labels are disabled ones on the background), with
// texts from the language strings. A pen-down on it is a touch for the
// clients; message 9001 closes it as Cancel when it is in front.
#pragma once

#include "bt/ui/bmp_btn.h"
#include "platform/dialogs/dialog.h"

#include <string>

namespace kivo::bt {

// Frees the heap record an internal message carries (none for most).
void FreeInternalRecord(ce::UINT message, ce::WPARAM wParam, ce::LPARAM lParam);

// The language string with the id (empty when unknown).
std::u16string LangString(int id);
// A text longer than limit characters: its first limit and "...".
std::u16string Shortened(const std::u16string& text, size_t limit);
Font ArialFont(int height, int weight);

// The Up and Down keys of a paged column of rows and the page it shows: Up
// is off on page 1, Down on the last page.
class RowPaging {
public:
    RowPaging(CBmpBtnGroup& rows, CBmpBtn& up, CBmpBtn& down)
        : m_rows(rows)
        , m_up(up)
        , m_down(down)
    {
    }
    // Page 1 of the pages count rows fill, perPage to a page; keys set.
    void Reset(int count, int perPage);
    void Down();
    void Up();
    int Page() const { return m_page; }
    int Pages() const { return m_pages; }

private:
    void setKeys();

    CBmpBtnGroup& m_rows;
    CBmpBtn& m_up;
    CBmpBtn& m_down;
    int m_page = 1;
    int m_pages = 0;
};

class BtScreen : public ce::dlg::Dialog {
public:
    // topmost: above every window that is not topmost (else at the top
    // of the ordinary windows, unless it keeps its z-order); internal:
    // takes the core's internal messages while open.
    BtScreen(int templateId, std::string title, int backgroundId, bool topmost, bool internal);

protected:
    bool onInitDialog() override;
    void onDestroy() override;
    void onPaint(QPainter& painter) override;
    void onPenDown(const QPoint&) override;
    // The screen's own initialisation and clean-up.
    virtual void initScreen() { }
    virtual void destroyScreen() { }

    // A label: disabled, on the background at its own place.
    void bindLabel(CBmpBtn& label, int controlId, const std::u16string& text, const Font& font, int bitmapId = 0);
    // A button with its bitmaps (white key) and caption.
    void bindButton(
        CBmpBtn& button, int controlId, int normalId, int pressedId, const std::u16string& text, const Font& font);
    // Closes the screen: it leaves the internal window list first, and the
    // heap records of internal messages still queued for it are freed.
    void closeScreen(intptr_t result);
    void onCancel() override { closeScreen(ce::dlg::IDCANCEL); }
    void onOK() override { closeScreen(ce::dlg::IDOK); }
    const Bitmap& Background() const { return m_background; }
    // The screen opens where it is in the z-order instead of in front.
    void keepZOrder() { m_keepZOrder = true; }
    // A pen-down on the screen itself is no touch for the clients.
    void quietPen() { m_quietPen = true; }

public:
    // Gives a bound button the background behind it.
    void placeOnBackground(CBmpBtn& button);

private:
    int m_backgroundId;
    bool m_topmost;
    bool m_internal;
    bool m_keepZOrder = false;
    bool m_quietPen = false;
    Bitmap m_background;
};

} // namespace kivo::bt
