#include "controls/keyboard/zyrInputWidget.h"

#include "controls/core/ZyrIcon.h"
#include "controls/core/ZyrelleControls.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyleOptionFrame>
#include <QStylePainter>
#include <QValidator>

#include <algorithm>

namespace {

const char* const kUpOff = ":/Buttons/b_KB_AdjustUp_off.mif";
const char* const kDownOff = ":/Buttons/b_KB_AdjustDown_off.mif";
const char* const kUpOn = ":/Buttons/b_KB_AdjustUp_on.mif";
const char* const kDownOn = ":/Buttons/b_KB_AdjustDown_on.mif";

bool keypad()
{
    return ZyrelleControls::IsKeypadNavigation();
}

QRectF bounds(const QFontMetrics& metrics, const QString& text)
{
    return QRectF(metrics.boundingRect(text));
}

} // namespace

ZyrInputStyle::ZyrInputStyle() = default;
ZyrInputStyle::~ZyrInputStyle() = default;

int ZyrInputStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const
{
    if (metric == QStyle::PM_TextCursorWidth)
        return 0;
    return QProxyStyle::pixelMetric(metric, option, widget);
}

int ZyrInputStyle::styleHint(
    StyleHint hint, const QStyleOption* option, const QWidget* widget, QStyleHintReturn* returnData) const
{
    if (hint == QStyle::SH_BlinkCursorWhenTextSelected)
        return 0;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

zyrInputWidget::zyrInputWidget(QWidget* parent)
    : QLineEdit(parent)
    , m_style(new ZyrInputStyle)
{
    // The editing signal names its type InputType: known by that name, it
    // can be queued and spied on.
    qRegisterMetaType<InputType>("InputType");
    setAttribute(Qt::WA_TranslucentBackground);
    setAlignment(Qt::AlignCenter);

    m_savedPalette = palette();
    QPalette hidden = m_savedPalette;
    hidden.setColor(QPalette::WindowText, Qt::transparent);
    hidden.setColor(QPalette::Text, Qt::transparent);
    hidden.setBrush(QPalette::Highlight, Qt::NoBrush);
    hidden.setBrush(QPalette::HighlightedText, hidden.brush(QPalette::Text));
    setPalette(hidden);

    m_lastCursorPos = cursorPosition();
    connect(this, SIGNAL(cursorPositionChanged(int, int)), this, SLOT(udpateLastCursorPos(int, int)));
    connect(this, SIGNAL(clicked()), this, SLOT(startEditing()));

    // The widget owns its style (setStyle does not take it).
    m_style->setParent(this);
    setStyle(m_style);

    if (keypad()) {
        m_showUnderline = false;
        setReadOnly(true);
        QWidget* iconParent = parent && parent->parentWidget() ? parent->parentWidget() : this;
        auto makeIcon = [&](const char* image, int y) {
            auto* icon = new ZyrIcon(iconParent);
            const QPixmap pixmap(QString::fromLatin1(image));
            icon->setImage(pixmap);
            icon->setGeometry(0, y, pixmap.width(), pixmap.height());
            icon->hide();
            icon->setAttribute(Qt::WA_DeleteOnClose);
            return icon;
        };
        m_upArrowIcon = makeIcon(kUpOff, 140);
        m_downArrowIcon = makeIcon(kDownOff, 160);
    }
}

zyrInputWidget::~zyrInputWidget()
{
    // Rebuilding a form would otherwise leave two icons behind each time.
    delete m_upArrowIcon.data();
    delete m_downArrowIcon.data();
}

void zyrInputWidget::setNormalImage(const QString& path)
{
    m_normalImage = path;
    setImages();
}

void zyrInputWidget::setFocusedImage(const QString& path)
{
    m_focusedImage = path;
    setImages();
}

void zyrInputWidget::setSSAlignment(Qt::Alignment alignment)
{
    m_ssAlignment = alignment;
    update();
}

void zyrInputWidget::setImages()
{
    QString sheet;
    if (QFile::exists(m_focusedImage))
        sheet = QStringLiteral("QLineEdit::focus \n{ \n  border-image: url(%1);\nborder-width: 10;\n}\n")
                    .arg(m_focusedImage, 0, QLatin1Char(' '));
    else
        sheet = QStringLiteral("QLineEdit::focus\n{ \n\tborder-style: none;\n\tbackground-color: rgba(0, 0, 0, 0);\n}\n");
    if (QFile::exists(m_normalImage))
        sheet += QStringLiteral("QLineEdit\n{\n   border-image: url(%1);\nborder-width: 10;\n};\n")
                     .arg(m_normalImage, 0, QLatin1Char(' '));
    else
        sheet += QStringLiteral("QLineEdit\n{ \n\tborder-style: none;\n\tbackground-color: rgba(0, 0, 0, 0);\n}\n");
    m_styleSheetText = sheet;
    setStyleSheet(sheet);
    emit styleSheetChanged(sheet);
}

QColor zyrInputWidget::getUnderlineColor(UnderlineMode mode) const
{
    switch (mode) {
    case Editing:
        return QColor(247, 220, 50, 200);
    case Changed:
        return QColor(251, 112, 0, 200);
    default:
        return QColor(16, 132, 0, 200);
    }
}

void zyrInputWidget::AdjustFont()
{
    QFont font = this->font();
    font.setStretch(m_stretchFont);
    const float size = (float(m_scaleFontSize) * 0.01f) * float(font.pointSize());
    const int points = int(size);
    // A size of 0 is refused: the font keeps its size.
    if (points > 0)
        font.setPointSize(points);
    setFont(font);
}

QSize zyrInputWidget::sizeHint() const
{
    return QSize(200, 60);
}

bool zyrInputWidget::isModified() const
{
    return QLineEdit::isModified() || m_originalText != text();
}

void zyrInputWidget::switchEdit(bool on)
{
    if (on) {
        setReadOnly(false);
        m_editing = false;
        m_showCursor = false;
        return;
    }
    if (isReadOnly())
        return;
    m_editing = !m_editing;
    m_showCursor = m_editing;
    if (m_editing)
        udpateLastCursorPos(cursorPosition(), cursorPosition());
}

void zyrInputWidget::startEditing()
{
    if (isReadOnly())
        return;
    m_editing = true;
    emit editModeChanged(true);
    emit editing(m_inputType, text(), inputMask(), m_superScript);
}

void zyrInputWidget::finishEditing()
{
    if (isReadOnly())
        return;
    m_editing = false;
    emit editModeChanged(false);
}

void zyrInputWidget::keyInput(int key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(), false, 1);
    QCoreApplication::sendEvent(this, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(), false, 1);
    QCoreApplication::sendEvent(this, &release);
}

bool zyrInputWidget::validatorApplies() const
{
    return m_inputType != ZONE && m_inputType != NORTHING_SIGN && m_inputType != EASTING_SIGN;
}

bool zyrInputWidget::accepts(const QString& candidate) const
{
    const QValidator* v = validatorApplies() ? validator() : nullptr;
    if (v) {
        QString copy = candidate;
        int pos = 0;
        if (v->validate(copy, pos) == QValidator::Invalid)
            return false;
    }
    if (inputMask().isEmpty())
        return maxLength() >= candidate.length();
    QLineEdit probe;
    probe.setInputMask(inputMask());
    probe.setText(candidate);
    return probe.text() == candidate;
}

void zyrInputWidget::overwrite(const QString& s)
{
    // Worked out on a copy without the validator: the mask refuses the
    // character when the cursor does not move on, the validator when it
    // finds the result invalid. Whether the text changed says nothing (a
    // digit typed over the same digit is taken), and a validator must not
    // judge the half-way text with the character erased.
    QLineEdit probe;
    probe.setMaxLength(maxLength());
    probe.setInputMask(inputMask());
    probe.setText(text());
    probe.setCursorPosition(cursorPosition());
    probe.del();
    const int before = probe.cursorPosition();
    probe.insert(s);
    if (!s.isEmpty() && probe.cursorPosition() == before)
        return;
    const QValidator* v = validatorApplies() ? validator() : nullptr;
    if (v) {
        QString result = probe.text();
        int pos = probe.cursorPosition();
        if (v->validate(result, pos) == QValidator::Invalid)
            return;
    }
    // Applied the way it was worked out, so the line edit marks the text
    // edited; the validator has already had its say.
    const QPointer<const QValidator> kept = validator();
    setValidator(nullptr);
    del();
    insert(s);
    setValidator(kept.data());
}

void zyrInputWidget::keyInput(QString s)
{
    if (m_atomicContent) {
        setText(s);
        return;
    }
    const bool signedType = m_inputType == NORTHING || m_inputType == EASTING || m_inputType == NUMERIC;
    if (signedType && (s == tr("+") || s == tr("-"))) {
        // A new sign replaces a sign already in front.
        QString current = text();
        if (current.startsWith(tr("+")) || current.startsWith(tr("-")))
            current.remove(0, 1);
        const QString signedText = s + current;
        if (!accepts(signedText))
            return;
        setText(signedText);
        setUnderline(text());
        setCursorPosition(1);
        return;
    }
    if (!keypad()) {
        overwrite(s);
        return;
    }
    if (text().isEmpty()) {
        setText(s);
        setUnderline(text());
        return;
    }
    const int b = m_lastCursorPos;
    const int k = m_leadingCount;
    if (b < k) {
        if (s.isEmpty())
            return; // no character to repeat
        const QString filled = QString(k - b, s.at(0)) + text();
        if (accepts(filled)) {
            setText(filled);
            setUnderline(text());
        }
    } else if (b - k < text().length()) {
        QString replaced = text();
        replaced.replace(b - k, 1, s);
        if (accepts(replaced)) {
            setText(replaced);
            setUnderline(text());
        }
    } else {
        overwrite(s);
    }
    setCursorPosition(b);
}

void zyrInputWidget::udpateLastCursorPos(int oldPos, int newPos)
{
    m_lastCursorPos = newPos;
    setUnderline(text());
    const QString mask = inputMask();
    if (!mask.isEmpty() && oldPos >= 0 && newPos >= 0 && oldPos < mask.length() && newPos < mask.length()
        && mask.at(oldPos) != mask.at(newPos))
        emit currentMaskChanged(mask.at(newPos));
}

void zyrInputWidget::setUnderline(QString s)
{
    const QString shown = displayText();
    if (keypad()) {
        QString mask = inputMask();
        const int semicolon = mask.lastIndexOf(QLatin1Char(';'));
        if (semicolon >= 0)
            mask.truncate(semicolon);
        m_leadingCount = std::max(0, mask.length() - s.length());
    } else if (s.length() < m_originalText.length()) {
        // Grows while the cursor stays at the start, up to the characters
        // the text lacks against the original.
        if (cursorPosition() == 0 && m_lastCursorPos == 0)
            m_leadingCount = std::min(m_leadingCount + 1, m_originalText.length() - s.length());
        if (s == m_originalText.left(s.length()))
            m_leadingCount = 0;
    } else if (s.length() == m_originalText.length() || s.startsWith(m_originalText)) {
        m_leadingCount = 0;
    }

    m_underlineModes.clear();
    for (int i = 0; i < s.length(); ++i)
        m_underlineModes << (i < m_originalText.length() && m_originalText.at(i) == s.at(i) ? NoChange : Changed);
    for (int i = 0; i < m_leadingCount; ++i)
        m_underlineModes.prepend(Changed);
    while (m_underlineModes.size() < m_originalText.length())
        m_underlineModes << Changed;

    m_lastCursorPos = cursorPosition();
    if (!keypad()) {
        for (int i = 0; i < cursorPosition() && i < shown.length(); ++i)
            if (shown.at(i) == QLatin1Char(' '))
                --m_lastCursorPos;
    }
    m_lastCursorPos = std::min(m_lastCursorPos, m_underlineModes.size() - 1);
    if (m_lastCursorPos <= 0)
        m_lastCursorPos = 0;
    if (m_showCursor && !m_atomicContent && m_lastCursorPos <= m_underlineModes.size() - 1) {
        m_underlineModes[m_lastCursorPos] = cursorPosition() == maxLength() ? Changed : Editing;
    }
    update();
}

void zyrInputWidget::onArrowKey(QKeyEvent* event)
{
    const int key = event->key();
    if (key != Qt::Key_Up && key != Qt::Key_Down)
        return;
    ZyrIcon* icon = key == Qt::Key_Up ? m_upArrowIcon.data() : m_downArrowIcon.data();
    if (event->type() == QEvent::KeyPress) {
        if (!event->isAutoRepeat() && icon) {
            icon->setImage(QPixmap(QString::fromLatin1(key == Qt::Key_Up ? kUpOn : kDownOn)));
            icon->update();
        }
        return;
    }
    if (event->type() != QEvent::KeyRelease)
        return;

    const int d = key == Qt::Key_Up ? 1 : -1;
    const QString current = text();
    const int index = m_lastCursorPos - m_leadingCount;
    const QChar c = index >= 0 && index < current.length() ? current.at(index) : QChar();
    const QString mask = inputMask();
    const QChar m = m_lastCursorPos >= 0 && m_lastCursorPos < mask.length() ? mask.at(m_lastCursorPos) : QChar('9');

    const int type = m_inputType;
    const bool stepping = (type == ZONE && !m_atomicContent) || (type >= LAT_DEG && type <= LON_SEC)
        || (type >= NORTHING && type <= NUMERIC);
    if (stepping) {
        if (m == QLatin1Char('#')) {
            keyInput(QString(c == QLatin1Char('-') ? QLatin1Char('+') : QLatin1Char('-')));
        } else {
            int n = c.toLatin1() + d;
            if (m == QLatin1Char('9') || m == QLatin1Char('0') || type == NUMERIC) {
                if (n < '0')
                    n = '9';
                else if (n > '9')
                    n = '0';
                if (m_leadingCount > m_lastCursorPos)
                    n = '0';
            } else if (m == QLatin1Char('A') || m == QLatin1Char('a')) {
                if (n < 'A')
                    n = 'Z';
                else if (n > 'Z')
                    n = 'A';
                if (m_leadingCount > m_lastCursorPos)
                    n = 'A';
            }
            keyInput(QString(QChar(n)));
        }
    } else if (type == NORTHING_SIGN) {
        keyInput(QString(c) == QObject::tr("N") ? QObject::tr("S") : QObject::tr("N"));
    } else if (type == EASTING_SIGN) {
        keyInput(QString(c) == QObject::tr("E") ? QObject::tr("W") : QObject::tr("E"));
    }

    if (!event->isAutoRepeat() && icon) {
        icon->setImage(QPixmap(QString::fromLatin1(key == Qt::Key_Up ? kUpOff : kDownOff)));
        icon->update();
    }
}

void zyrInputWidget::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->pos())) {
        repaint();
        m_pressedInside = true;
    } else {
        event->ignore();
    }
}

void zyrInputWidget::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && m_pressedInside) {
        if (rect().contains(event->pos())) {
            emit clicked();
            return;
        }
        m_pressedInside = false;
    }
    event->ignore();
}

void zyrInputWidget::mouseDoubleClickEvent(QMouseEvent*)
{
}

void zyrInputWidget::mouseMoveEvent(QMouseEvent*)
{
}

int zyrInputWidget::superscriptPointSize(int pointSize, const QString& superscript)
{
    int size = pointSize - 4;
    if (!superscript.isEmpty() && superscript.at(0).isLetterOrNumber())
        size = std::min(12, size);
    return std::max(10, size);
}

zyrInputWidget::UnderlineMode zyrInputWidget::modeAt(int index) const
{
    // Entries are recomputed at cursor moves; a text changed since may
    // reach past them.
    return index >= 0 && index < m_underlineModes.size() ? m_underlineModes.at(index) : NoChange;
}

void zyrInputWidget::MoveArrowIcons(QRectF& r)
{
    if (!keypad())
        return;
    QPoint offset = pos();
    if (parentWidget())
        offset += parentWidget()->pos();
    if (m_upArrowIcon) {
        const QPoint at(int(((r.right() + r.left()) - m_upArrowIcon->image().width()) * 0.5f),
            int(r.top() - m_upArrowIcon->image().height() - 2.0f));
        m_upArrowIcon->move(at + offset);
    }
    if (m_downArrowIcon) {
        const QPoint at(int(((r.right() + r.left()) - m_downArrowIcon->image().width()) * 0.5f), int(r.bottom() + 2.0f));
        m_downArrowIcon->move(at + offset);
    }
}

void zyrInputWidget::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    QStyleOptionFrame panel;
    initStyleOption(&panel);
    painter.drawPrimitive(QStyle::PE_PanelLineEdit, panel);
    const QRectF R = rect();
    const QColor textColor = m_savedPalette.color(QPalette::WindowText);

    // Superscript.
    QRectF drawnSuperscript;
    if (!m_superScript.isEmpty()) {
        const int h = superscriptPointSize(painter.font().pointSize(), m_superScript);
        painter.save();
        QFont small = painter.font();
        small.setPointSize(h);
        painter.setFont(small);
        const QFontMetrics sm = painter.fontMetrics();
        const QRectF A = bounds(sm, QStringLiteral("A"));
        QRectF S = bounds(sm, m_superScript);
        float x = 0;
        if (m_ssAlignment & Qt::AlignLeft)
            x = h / 2;
        else if (m_ssAlignment & Qt::AlignRight)
            x = float(R.width() - S.width() - h / 2);
        double y = 0;
        if (m_ssAlignment & Qt::AlignTop)
            y = std::min(int(A.height() * 0.25f), int(R.height() * 0.125));
        else if (m_ssAlignment & Qt::AlignVCenter)
            y = int(R.height()) / 2 - h * 0.5;
        else if (m_ssAlignment & Qt::AlignBottom)
            y = R.height() - std::min(int(A.height() * 0.5f), int(R.height() * 0.125));
        S.moveTo(x, y);
        painter.setPen(textColor);
        if (!(isReadOnly() && m_superScript == tr("Zone"))) {
            painter.drawText(S, m_superScript, QTextOption());
            drawnSuperscript = S;
        }
        painter.restore();
    }

    // Data font.
    if (painter.font().bold() != m_boldDataFont) {
        QFont font = painter.font();
        font.setBold(m_boldDataFont);
        painter.setFont(font);
    }
    const QFontMetrics fm = painter.fontMetrics();

    QString T = text();
    if (isReadOnly() && T.isEmpty())
        T = QString(inputMask().length(), QLatin1Char('-'));

    QRectF textRect = bounds(fm, T);
    const int dot = T.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0 && T.length() - dot - 1 > 6)
        textRect.setWidth(textRect.width() + bounds(fm, QStringLiteral("A")).width());

    const float W = float(R.width()), H = float(R.height());
    const float w = float(textRect.width()), t = float(textRect.height());
    float x;
    if (alignment() & Qt::AlignRight) {
        if ((m_ssAlignment & Qt::AlignRight) && !drawnSuperscript.isNull())
            x = float(drawnSuperscript.x()) - w - 1.0f;
        else
            x = (W - w) * 0.5f;
    } else {
        float c = 0;
        if (keypad() && !isReadOnly() && m_leadingCount >= 1)
            c = float(int(m_leadingCount * bounds(fm, QStringLiteral("0")).width()));
        x = ((W - w) + c) * 0.5f;
    }
    textRect.moveTo(x, (H - t) * 0.5f);
    painter.setPen(textColor);
    painter.drawText(textRect, T, QTextOption());

    if (isReadOnly()) {
        if (m_upArrowIcon)
            m_upArrowIcon->hide();
        if (m_downArrowIcon)
            m_downArrowIcon->hide();
        return;
    }

    auto penFor = [this](UnderlineMode mode) {
        return QPen(QBrush(getUnderlineColor(mode), Qt::SolidPattern), 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    };
    float gap = painter.font().pointSize() < 20 ? 1.0f : 0.0f;
    const float wA = float(bounds(fm, QStringLiteral("A")).width());
    bool arrowsShown = false;
    const bool canShowCursor = m_showCursor && !m_atomicContent && cursorPosition() < maxLength();

    // Leading placeholders, right to left.
    QPointF p2 = textRect.bottomLeft();
    QPointF p1 = p2 - QPointF(wA, 0);
    for (int i = m_leadingCount - 1; i >= 0; --i) {
        const UnderlineMode mode = modeAt(i);
        painter.setPen(penFor(mode));
        if (m_showUnderline)
            painter.drawLine(p1, p2);
        if (mode == Editing && canShowCursor) {
            QRectF block = bounds(fm, QStringLiteral("0"));
            block.moveBottomLeft(p1);
            const float v = float((block.height() - t) * 0.5f);
            block.adjust(0, v, 0, v);
            painter.fillRect(block, getUnderlineColor(mode));
            if (keypad()) {
                MoveArrowIcons(block);
                arrowsShown = true;
            }
        }
        p1 -= QPointF(wA, 0);
        p2 -= QPointF(wA, 0);
    }

    // Text characters.
    const bool signType = m_inputType == NORTHING_SIGN || m_inputType == EASTING_SIGN;
    for (int j = 0; j < T.length(); ++j) {
        p1 = textRect.bottomLeft() + QPointF(j == 0 ? 0.0 : bounds(fm, T.left(j)).width(), 0);
        const UnderlineMode mode = modeAt(m_leadingCount + j);
        if (j == T.length() - 1)
            gap = 0.0f;
        QRectF charRect;
        if (T.at(j).isLetterOrNumber()) {
            charRect = bounds(fm, QString(T.at(j)));
            const QPointF end = p1 + QPointF(charRect.width() - gap, 0);
            painter.setPen(penFor(mode));
            if (m_showUnderline)
                painter.drawLine(p1, end);
        } else {
            charRect = bounds(fm, QStringLiteral("|"));
        }
        if (m_showCursor && ((signType && keypad()) || (mode == Editing && canShowCursor))) {
            charRect.moveBottomLeft(p1);
            const float u = float((charRect.height() - t) * 0.5f);
            if (keypad())
                charRect.adjust(-1, u - 4, 3, u + 2);
            else
                charRect.adjust(0, u, 1, u + 1);
            painter.fillRect(charRect, getUnderlineColor(Editing));
            if (keypad()) {
                MoveArrowIcons(charRect);
                arrowsShown = true;
            }
        }
    }
    for (ZyrIcon* icon : { m_upArrowIcon.data(), m_downArrowIcon.data() }) {
        if (icon)
            icon->setVisible(arrowsShown);
    }

    // Trailing placeholder.
    const int trailing = T.length() + m_leadingCount;
    if (trailing < m_underlineModes.size()) {
        const UnderlineMode mode = m_underlineModes.at(trailing);
        QRectF block = bounds(fm, QStringLiteral("0"));
        if (textRect.height() == 0) {
            textRect.setHeight(block.height());
            const float u = float(block.height() * -0.5f);
            textRect.adjust(0, u, 1, u - 1);
        }
        p1 = textRect.bottomRight() + QPointF(3.0, 0);
        p2 = p1 + QPointF(block.width(), 0);
        painter.setPen(penFor(mode));
        if (m_showUnderline)
            painter.drawLine(p1, p2);
        if (mode == Editing && canShowCursor) {
            block.moveBottomLeft(p1);
            const float b = float((block.height() - t) * 0.5f);
            block.adjust(0, b, 1, b + 1);
            painter.fillRect(block, getUnderlineColor(mode));
        }
    }
}
