#include "bt/ui/bmp_btn.h"

#include "bt/core/bt_ipc.h"
#include "bt/core/bt_messages.h"

#include "platform/debug.h"
#include "platform/dialogs/dialog.h"
#include "platform/dialogs/services.h"

#include <QCoreApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>
#include <QTimer>

#include <algorithm>

namespace kivo::bt {

namespace {

bool isBreak(char16_t c)
{
    return c == u',' || c == u'.' || c == u';' || c == u' ' || c == u'-';
}

// Room kept free between a one-line text and the edges of its button.
constexpr int kTextMargin = 2;

// How far a one-line text may shrink to fit before it is cut: to 70% of its
// font, not below 12 pixels.
int smallestPixelSize(const QFont& font)
{
    const int given = font.pixelSize() > 0 ? font.pixelSize() : QFontInfo(font).pixelSize();
    return std::min(given, std::max(12, given * 7 / 10));
}

COLORREF effectiveKey(COLORREF key)
{
    return key == kWhite || key == kKeyMinusOne ? kMagenta : key;
}

} // namespace

std::vector<std::u16string> WrapText(const QFont& font, const std::u16string& text, int width)
{
    std::vector<std::u16string> lines;
    std::u16string rest = text;
    while (!rest.empty()) {
        // Nothing fitting would leave the rest as it was, for ever.
        const size_t n = size_t(std::max(1, ce::dlg::fitCount(font, rest, width)));
        std::u16string line = rest.substr(0, n);
        std::u16string remainder = rest.substr(n);
        if (!remainder.empty() && !isBreak(line.back()) && !isBreak(remainder.front())) {
            const size_t at = line.find_last_of(u",.; -");
            if (at != std::u16string::npos) {
                remainder = line.substr(at + 1) + remainder;
                line.erase(at + 1);
            }
        }
        lines.push_back(std::move(line));
        rest = std::move(remainder);
    }
    return lines;
}

// ---- CBmpBtn --------------------------------------------------------------------------

CBmpBtn::~CBmpBtn()
{
    ce::dlg::killTimers(this);
}

void CBmpBtn::SetBitmaps(int normalId, int pressedId, COLORREF key)
{
    if (normalId != m_normalId) {
        m_normal.reset();
        m_normalId = normalId;
        m_normal = ce::dlg::loadBitmap(normalId);
    }
    if (pressedId != m_pressedId) {
        m_pressedBitmap.reset();
        m_pressedId = pressedId;
        m_pressedBitmap = ce::dlg::loadBitmap(pressedId);
    }
    m_key = key;
}

void CBmpBtn::SetBitmapHandles(Bitmap normal, Bitmap pressed, COLORREF key)
{
    m_normal = std::move(normal);
    m_pressedBitmap = std::move(pressed);
    m_normalId = 0;
    m_pressedId = 0;
    m_key = key;
}

void CBmpBtn::SetTextPlacement(bool hCentre, bool vCentre, int left, int top, bool multiLine)
{
    Block& b = m_blocks[0];
    b.hCentre = hCentre;
    b.vCentre = vCentre;
    b.left = left;
    b.top = top;
    b.multiLine = multiLine;
}

void CBmpBtn::SetTextColours(COLORREF pressed, COLORREF normal)
{
    Block& b = m_blocks[0];
    b.pressed = pressed;
    b.normal = normal;
    b.defaultColour = false;
}

void CBmpBtn::SetCaption(const std::u16string& text, bool createFont)
{
    m_blocks[0].text = text;
    if (createFont && !m_blocks[0].font)
        m_blocks[0].font = ce::dlg::createFont({ 20, 500, 0, 0, "Arial" });
}

void CBmpBtn::SetFonts(const Font& f1, const Font& f2, const Font& f3)
{
    const Font given[3] = { f1, f2, f3 };
    for (int i = 0; i < 3; ++i)
        if (given[i])
            m_blocks[i].font = ce::dlg::createFont(*given[i]);
}

void CBmpBtn::paint(QPainter& painter)
{
    // A full repaint shows the released look; only the pen's own redraw
    // shows the pressed one.
    if (!m_ownerDraw)
        m_pressed = m_neutral;
    draw(painter);
}

void CBmpBtn::draw(QPainter& screen)
{
    const QRect client = clientRect();
    QImage off(client.size(), QImage::Format_RGB32);
    off.fill(Qt::black);
    {
        QPainter p(&off);
        if (m_background)
            p.drawImage(QPoint(0, 0), *m_background, QRect(m_origin, client.size()));
        const bool pressed = m_pressed != m_neutral;
        const Bitmap& bitmap = pressed ? (m_pressedBitmap ? m_pressedBitmap : m_normal)
                                       : (m_normal ? m_normal : m_pressedBitmap);
        if (bitmap) {
            const QRect dst = m_background ? QRect(QPoint(0, 0), bitmap->size()) : client;
            if (m_key == 0) {
                p.drawImage(dst, *bitmap);
            } else if (!ce::dlg::transparentBlt(p, dst, *bitmap, effectiveKey(m_key))) {
                ce::debugPrintf("%d\r\n", 0);
            }
        }
        m_drawn.clear();
        for (int i = 0; i < 3; ++i)
            if (!m_blocks[i].text.empty())
                drawBlock(p, i);
    }
    m_frame = off;
    screen.drawImage(QPoint(0, 0), off);
}

void CBmpBtn::drawBlock(QPainter& p, int index)
{
    const Block& b = m_blocks[index];
    const QFont font = b.font ? ce::dlg::toQFont(*b.font) : (widget() ? widget()->font() : QFont());
    p.setPen(ce::dlg::toQColor(m_pressed != m_neutral ? b.pressed : b.normal));
    const QRect client = clientRect();
    auto write = [&](const QFont& f, const std::u16string& text, int x, int y) {
        const QFontMetrics m(f);
        const QString s = QString::fromStdU16String(text);
        p.setFont(f);
        p.drawText(QPoint(x, y + m.ascent()), s);
        m_drawn.push_back({ index, text, f, QRect(x, y, m.horizontalAdvance(s), m.height()) });
    };
    if (!b.multiLine) {
        // One line, whole in its room; a caption centred both ways may take
        // the lines its height holds; else smaller, else cut with "...".
        const int from = b.hCentre ? kTextMargin : b.left;
        const int to = (b.right > 0 ? std::min(b.right, client.width()) : client.width()) - kTextMargin;
        if (b.hCentre && b.vCentre && ce::dlg::textWidth(font, b.text) > to - from) {
            const QFontMetrics m(font);
            std::vector<std::u16string> lines = WrapText(font, b.text, to - from);
            for (std::u16string& line : lines)
                while (line.size() > 1 && line.back() == u' ')
                    line.pop_back();
            const bool fits = int(lines.size()) * m.height() <= client.height()
                && std::all_of(lines.begin(), lines.end(),
                    [&](const std::u16string& line) { return ce::dlg::textWidth(font, line) <= to - from; });
            if (fits) {
                int y = (client.height() - int(lines.size()) * m.height()) / 2;
                for (const std::u16string& line : lines) {
                    write(font, line, (client.width() - ce::dlg::textWidth(font, line)) / 2, y);
                    y += m.height();
                }
                return;
            }
        }
        const ce::dlg::FittedLine line = ce::dlg::fitLine(font, b.text, to - from, smallestPixelSize(font));
        const QFontMetrics m(line.font);
        const int advance = m.horizontalAdvance(QString::fromStdU16String(line.text));
        const int x = b.hCentre ? (client.width() - advance) / 2 : b.left;
        const int y = b.vCentre ? (client.height() - m.height()) / 2 : b.top;
        write(line.font, line.text, x, y);
        return;
    }
    const QFontMetrics m(font);
    const int width = client.width() - b.left;
    std::vector<std::u16string> lines;
    size_t start = 0;
    while (start <= b.text.size()) {
        size_t end = b.text.find_first_of(u"\r\n", start);
        if (end == std::u16string::npos)
            end = b.text.size();
        for (std::u16string& line : WrapText(font, b.text.substr(start, end - start), width))
            lines.push_back(std::move(line));
        if (end < b.text.size() && b.text[end] == u'\r' && end + 1 < b.text.size() && b.text[end + 1] == u'\n')
            ++end;
        start = end + 1;
    }
    int y = b.top;
    for (size_t i = 0; i < lines.size(); ++i) {
        // The last line with room below it says that the text goes on.
        const bool cut = i + 1 < lines.size() && y + 2 * m.height() > client.height();
        const std::u16string line = cut ? ce::dlg::elideRight(font, lines[i], width, true) : lines[i];
        const int advance = m.horizontalAdvance(QString::fromStdU16String(line));
        write(font, line, b.hCentre ? b.left + (width - advance) / 2 : b.left, y);
        if (cut)
            break;
        y += m.height();
    }
}

void CBmpBtn::penDown(const QPoint&)
{
    if (m_touchEnabled) {
        ce::dlg::setCapture(this);
        m_pressed = 1;
        if (m_repeatEnabled) {
            m_repeating = true;
            ce::dlg::setTimer(this, kRepeatTimer, 500, [this] { onRepeatTimer(); });
        }
        // The button's own redraw for its changed state.
        m_ownerDraw = true;
        if (widget()) {
            QImage sink(clientRect().size(), QImage::Format_RGB32);
            QPainter p(&sink);
            draw(p);
            if (widget()->isVisible())
                widget()->repaint();
        }
        m_ownerDraw = false;
    }
    ExternalPostMessage(WM_TOUCHEVENT_MOUSE_LBUTTONDOWN, 0, 0);
}

void CBmpBtn::onRepeatTimer()
{
    ce::dlg::killTimer(this, kRepeatTimer);
    if (!m_repeatEnabled || !m_repeating)
        return;
    ce::dlg::setTimer(this, kRepeatTimer, 100, [this] { onRepeatTimer(); });
    if (!widget())
        return;
    if (ce::dlg::Dialog* d = ce::dlg::Dialog::fromWidget(widget()->parentWidget()))
        ce::postMessage(d->hwnd(), kMsgButtonRepeat, 0, 0);
}

void CBmpBtn::penUp(const QPoint& point)
{
    if (!m_touchEnabled)
        return;
    if (m_repeatEnabled) {
        m_repeating = false;
        ce::dlg::killTimer(this, kRepeatTimer);
    }
    m_pressed = m_neutral;
    invalidate();
    const bool held = ce::dlg::getCapture() == this;
    if (held) {
        ce::dlg::releaseCapture();
        if (clientRect().contains(point))
            notifyClicked();
    }
    if (m_listener)
        m_listener->OnBmpBtnClick(id());
}

void CBmpBtn::Click()
{
    const QPoint centre = clientRect().center();
    penDown(centre);
    penUp(centre);
}

bool CBmpBtn::keyDown(int key)
{
    if (key != 13)
        return false;
    Click();
    return true;
}

// ---- CBmpBtnGroup -------------------------------------------------------------------

CBmpBtnGroup::~CBmpBtnGroup()
{
    retire();
}

void CBmpBtnGroup::Init(QWidget* parent, CBmpBtnListener* listener, const QRect& column, int perPage,
    Bitmap background, Bitmap selected, Bitmap pressed, Bitmap normal, int capacity)
{
    m_parent = parent;
    m_listener = listener;
    m_column = column;
    m_perPage = std::max(1, perPage);
    m_itemHeight = column.height() / m_perPage;
    m_background = std::move(background);
    m_selected = std::move(selected);
    m_pressed = std::move(pressed);
    m_normal = std::move(normal);
    Reset(capacity);
}

void CBmpBtnGroup::Init(QWidget* parent, CBmpBtnListener* listener, const QRect& column, int perPage,
    Bitmap background, int selectedId, int pressedId, int normalId, int capacity)
{
    Init(parent, listener, column, perPage, std::move(background),
        selectedId ? ce::dlg::loadBitmap(selectedId) : nullptr, ce::dlg::loadBitmap(pressedId),
        ce::dlg::loadBitmap(normalId), capacity);
}

void CBmpBtnGroup::retire()
{
    // A listener may rebuild the group from inside a button's own pen-up:
    // the buttons go once the event that runs it has returned.
    if (m_buttons.empty())
        return;
    auto retired = std::make_shared<std::vector<std::unique_ptr<CBmpBtn>>>(std::move(m_buttons));
    m_buttons.clear();
    for (auto& b : *retired) {
        b->showWindow(false);
        b->SetListener(nullptr);
    }
    if (QCoreApplication::instance())
        QTimer::singleShot(0, QCoreApplication::instance(), [retired] { retired->clear(); });
}

void CBmpBtnGroup::Clear()
{
    retire();
    m_first = 0;
    m_last = 0;
    m_selectedId = -1;
}

void CBmpBtnGroup::Reset(int capacity)
{
    Clear();
    m_capacity = std::max(0, capacity);
    m_buttons.reserve(size_t(m_capacity));
}

CBmpBtn* CBmpBtnGroup::Button(int index) const
{
    return index >= 0 && index < Count() ? m_buttons[size_t(index)].get() : nullptr;
}

namespace {

Font rowFont(int weight)
{
    return ce::dlg::createFont({ 20, weight, 1, 48, "Arial" });
}

} // namespace

void CBmpBtnGroup::Add(const std::u16string& first, const std::u16string& second, void* userValue)
{
    Add(first, second, {}, nullptr, nullptr, userValue);
}

void CBmpBtnGroup::Add(const std::u16string& name, const std::u16string& second, const std::u16string& third,
    Bitmap normal, Bitmap pressed, void* userValue)
{
    const bool form2 = normal || pressed || !third.empty();
    const Font bold = rowFont(700);
    const Font regular = rowFont(400);
    const int count = Count();
    if (count >= m_capacity || !m_parent)
        return;
    if (count == m_last + 1 && m_last - m_first + 1 < m_perPage)
        ++m_last;
    int id = 2010;
    while (IndexOfId(id) >= 0)
        ++id;
    auto button = std::make_unique<CBmpBtn>();
    const QRect rect(m_column.left(), m_column.top() + count * m_itemHeight, m_column.width(), m_itemHeight);
    button->create(m_parent, id, rect, false);
    button->widget()->setObjectName(QStringLiteral("BTN%1").arg(id));
    button->SetBackground(m_background);
    if (form2) {
        m_normal = normal;
        m_pressed = pressed;
    }
    button->SetBitmapHandles(m_normal, m_pressed, kCyan);
    auto setBlock = [&](int i, const std::u16string& text, const Font& font, int left, int top) {
        CBmpBtn::Block& b = button->m_blocks[i];
        b.text = text;
        b.font = ce::dlg::createFont(*font);
        b.normal = b.pressed = 0x00003C;
        b.defaultColour = false;
        b.hCentre = b.vCentre = false;
        b.left = left;
        b.top = top;
    };
    if (!form2) {
        setBlock(0, name, second.empty() ? bold : regular, 5, 2);
        if (!second.empty())
            setBlock(1, second, regular, 5, m_itemHeight / 2);
    } else {
        setBlock(0, name, bold, 40, 2);
        if (!second.empty())
            setBlock(1, second, regular, 40, m_itemHeight / 2);
        if (!third.empty()) {
            // The third text ends inside the row however long it is, and
            // the name keeps clear of it.
            const int width = ce::dlg::textWidth(ce::dlg::toQFont(*bold), third);
            const int left = std::max(0, std::min(235, rect.width() - 5 - width));
            setBlock(2, third, bold, left, 2);
            button->m_blocks[0].right = std::max(41, left - 6);
        }
    }
    button->SetUserValue(userValue);
    button->SetListener(m_listener);
    m_buttons.push_back(std::move(button));
    if (Count() - 1 == m_last)
        Layout();
}

int CBmpBtnGroup::IndexOfId(int controlId) const
{
    for (int i = 0; i < Count(); ++i)
        if (m_buttons[size_t(i)]->id() == controlId)
            return i;
    return -1;
}

void* CBmpBtnGroup::ItemAt(int index) const
{
    const CBmpBtn* b = Button(index);
    return b ? b->UserValue() : nullptr;
}

void CBmpBtnGroup::Layout()
{
    for (int i = m_first; i <= m_last && i < Count(); ++i) {
        CBmpBtn& b = *m_buttons[size_t(i)];
        b.moveWindow(QRect(m_column.left(), m_column.top() + m_itemHeight * (i - m_first), m_column.width(),
            m_itemHeight));
        b.showWindow(true);
    }
}

void CBmpBtnGroup::hideVisible()
{
    for (int i = m_first; i <= m_last && i < Count(); ++i)
        m_buttons[size_t(i)]->showWindow(false);
}

void CBmpBtnGroup::PreviousPage()
{
    if (m_first < 1)
        return;
    hideVisible();
    m_first = std::max(0, m_first - m_perPage);
    m_last = m_first + m_perPage - 1 < Count() ? m_first + m_perPage - 1 : Count() - 1;
    Layout();
}

void CBmpBtnGroup::NextPage()
{
    if (m_last >= Count() - 1)
        return;
    hideVisible();
    m_first = m_last + 1;
    m_last = m_last + m_perPage + 1 < Count() ? m_last + m_perPage : Count() - 1;
    Layout();
}

void CBmpBtnGroup::Select(int index)
{
    if (index < 0 || index >= Count())
        return;
    const int previous = IndexOfId(m_selectedId);
    if (previous >= 0) {
        m_buttons[size_t(previous)]->SetBitmapHandles(m_normal, m_pressed, kCyan);
        m_buttons[size_t(previous)]->invalidate();
    }
    CBmpBtn& b = *m_buttons[size_t(index)];
    if (m_selected)
        b.SetBitmapHandles(m_selected, m_selected, kCyan);
    m_selectedId = b.id();
}

// ---- CBmpSlider -----------------------------------------------------------------------

void CBmpSlider::SetBitmaps(int trackId, int filledId, int thumbId)
{
    m_track = ce::dlg::loadBitmap(trackId);
    m_filled = ce::dlg::loadBitmap(filledId);
    m_thumb = ce::dlg::loadBitmap(thumbId);
}

unsigned CBmpSlider::track(int x)
{
    const int width = clientRect().width();
    m_thumbLeft = std::max(x, m_leftMargin + m_thumbWidth / 2) - m_thumbWidth / 2;
    const int length = width - m_leftMargin - m_thumbWidth - m_rightMargin;
    m_thumbLeft = std::min(m_thumbLeft, m_leftMargin + std::max(0, length));
    // A slider no wider than its thumb and margins has no track to divide.
    if (length <= 0)
        return 0;
    return unsigned(m_thumbLeft - m_leftMargin) * unsigned(m_maximum + 1) / unsigned(length);
}

void CBmpSlider::report(unsigned value)
{
    if (m_position && m_user)
        m_position(int(std::min(unsigned(m_maximum), value)), m_user);
    invalidate();
}

void CBmpSlider::penDown(const QPoint& point)
{
    if (!m_draggable)
        return;
    m_dragging = true;
    m_last = point;
    if (m_maximum != 0)
        report(track(point.x()));
}

void CBmpSlider::penMove(const QPoint& point)
{
    if (!m_dragging || point == m_last)
        return;
    m_last = point;
    if (m_maximum != 0)
        report(track(point.x()));
}

void CBmpSlider::penUp(const QPoint& point)
{
    const bool dragging = m_dragging;
    m_dragging = false;
    if (!dragging || m_maximum == 0)
        return;
    const unsigned value = track(point.x());
    if (m_release)
        m_release(int(value));
    report(value);
}

void CBmpSlider::paint(QPainter& painter)
{
    const QRect client = clientRect();
    QImage off(client.size(), QImage::Format_RGB32);
    off.fill(Qt::black);
    {
        QPainter p(&off);
        if (m_track)
            p.drawImage(client, *m_track);
        if (m_filled && m_thumbLeft > m_leftMargin)
            p.drawImage(QRect(m_leftMargin, 0, m_thumbLeft - m_leftMargin, client.height()), *m_filled,
                QRect(0, 0, m_thumbLeft - m_leftMargin, m_filled->height()));
        if (m_thumb) {
            const QRect dst(m_thumbLeft, 0, m_thumb->width(), m_thumb->height());
            if (m_key != 0)
                ce::dlg::transparentBlt(p, dst, *m_thumb, m_key);
            else
                p.drawImage(dst, *m_thumb);
        }
    }
    painter.drawImage(QPoint(0, 0), off);
}

} // namespace kivo::bt
