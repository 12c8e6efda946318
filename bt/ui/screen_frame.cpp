#include "bt/ui/screen_frame.h"

#include "bt/core/bt_ipc.h"
#include "bt/core/bt_messages.h"
#include "bt/core/bt_records.h"
#include "bt/core/dlg_kivobt.h"
#include "bt/core/phone_link.h"
#include "bt/lang/lang_strings.h"
#include "bt/ui/templates.h"

#include <QPainter>

namespace kivo::bt {

std::u16string LangString(int id)
{
    return CeLangStringFileResMgr::Instance().String(id);
}

std::u16string Shortened(const std::u16string& text, size_t limit)
{
    return text.size() > limit ? Utf16Prefix(text, limit) + u"..." : text;
}

Font ArialFont(int height, int weight)
{
    return ce::dlg::createFont({ height, weight, 0, 0, "Arial" });
}

void FreeInternalRecord(ce::UINT message, ce::WPARAM wParam, ce::LPARAM lParam)
{
    if (message == WM_STKOUTMSG_DIALERINFO)
        delete reinterpret_cast<CallRecord*>(lParam);
    else if (message == WM_STKMAPMSG_NEWMSG)
        delete reinterpret_cast<SmsRecord*>(lParam);
    else if (message == WM_STKOUTMSG_MUSICINFO && (wParam == 0 || wParam == 6 || wParam == 7 || wParam == 31))
        delete reinterpret_cast<TrackBlock*>(lParam);
    else if (message == WM_STKOUTMSG_MUSICINFO && wParam == 3)
        delete reinterpret_cast<PlayStatus*>(lParam);
}

void RowPaging::Reset(int count, int perPage)
{
    m_pages = (count + perPage - 1) / perPage;
    m_page = 1;
    setKeys();
}

void RowPaging::setKeys()
{
    const bool up = m_page > 1;
    const bool down = m_page < m_pages;
    m_up.SetBitmaps(up ? 142 : 144, up ? 143 : 144, kWhite);
    m_up.enableWindow(up);
    m_down.SetBitmaps(down ? 145 : 147, down ? 146 : 147, kWhite);
    m_down.enableWindow(down);
    m_up.invalidate();
    m_down.invalidate();
}

void RowPaging::Down()
{
    if (m_page >= m_pages)
        return;
    m_rows.NextPage();
    ++m_page;
    setKeys();
}

void RowPaging::Up()
{
    if (m_page <= 1)
        return;
    m_rows.PreviousPage();
    --m_page;
    setKeys();
}

BtScreen::BtScreen(int templateId, std::string title, int backgroundId, bool topmost, bool internal)
    : Dialog(templateId, std::move(title))
    , m_backgroundId(backgroundId)
    , m_topmost(topmost)
    , m_internal(internal)
{
    if (m_internal)
        keepMessagesInProcess(InternalAddressMessages());
    RegisterScreenTemplates();
    onMessage(kMsgCloseScreens, [this](ce::WPARAM, ce::LPARAM) {
        if (ce::getForegroundWindow() == hwnd())
            onCancel();
        return ce::LRESULT(0);
    });
}

bool BtScreen::onInitDialog()
{
    moveWindow(0, 0, 240, 400);
    if (m_topmost)
        setTopmost();
    else if (!m_keepZOrder)
        setZOrder(true);
    m_background = ce::dlg::loadBitmap(m_backgroundId);
    if (m_internal)
        RegisterInternalWindow(hwnd());
    initScreen();
    ce::setForegroundWindow(hwnd());
    return true;
}

void BtScreen::onDestroy()
{
    if (m_internal)
        UnregisterInternalWindow(hwnd());
    destroyScreen();
}

void BtScreen::closeScreen(intptr_t result)
{
    if (m_internal && hwnd()) {
        UnregisterInternalWindow(hwnd());
        ce::MSG msg;
        while (ce::peekMessage(&msg, hwnd(), 0, 0, ce::PM_REMOVE))
            FreeInternalRecord(msg.message, msg.wParam, msg.lParam);
    }
    endDialog(result);
}

void BtScreen::onPaint(QPainter& painter)
{
    if (m_background)
        painter.drawImage(QRect(0, 0, 240, 400), *m_background);
}

void BtScreen::onPenDown(const QPoint&)
{
    if (!m_quietPen)
        ExternalPostMessage(WM_TOUCHEVENT_MOUSE_LBUTTONDOWN, 0, 0);
}

void BtScreen::placeOnBackground(CBmpBtn& button)
{
    button.SetBackground(m_background);
    const QRect r = button.windowRect();
    button.SetBackgroundOrigin(r.x(), r.y());
}

void BtScreen::bindLabel(CBmpBtn& label, int controlId, const std::u16string& text, const Font& font, int bitmapId)
{
    label.attach(*this, controlId);
    placeOnBackground(label);
    if (bitmapId)
        label.SetBitmaps(bitmapId, 0, 0);
    label.SetCaption(text);
    label.SetFonts(font);
    label.enableWindow(false);
}

void BtScreen::bindButton(
    CBmpBtn& button, int controlId, int normalId, int pressedId, const std::u16string& text, const Font& font)
{
    button.attach(*this, controlId);
    placeOnBackground(button);
    button.SetBitmaps(normalId, pressedId, kWhite);
    button.SetCaption(text);
    if (font)
        button.SetFonts(font);
}

} // namespace kivo::bt
