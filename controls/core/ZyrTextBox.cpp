#include "controls/core/ZyrTextBox.h"

#include "controls/core/LibraryInternal.h"
#include "controls/core/SoundHook.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QTextDocument>

#include <algorithm>

namespace {

// The text a rich-text content shows; plain content as it is.
QString plainText(const QString& content)
{
    if (!Qt::mightBeRichText(content))
        return content;
    QTextDocument document;
    document.setHtml(content);
    return document.toPlainText();
}

} // namespace

ZyrTextBox::ZyrTextBox(QWidget* parent)
    : QLabel(parent)
{
}

ZyrTextBox::~ZyrTextBox() = default;

void ZyrTextBox::setFont(const QFont& font)
{
    QLabel::setFont(ZyrelleControls::Internal::FontForControlsLanguage(font));
}

void ZyrTextBox::setFontPixelSize(int pixelSize)
{
    m_fontPixelSize = pixelSize;
    QFont font = this->font();
    font.setFamily(QApplication::font().family());
    if (pixelSize > 0)
        font.setPixelSize(pixelSize);
    font.setStyleStrategy(QFont::PreferAntialias);
    setFont(font);
    updateText();
}

void ZyrTextBox::setEllipsis(bool on)
{
    m_elided = false;
    m_ellipsis = on;
    updateText();
}

void ZyrTextBox::setEditBox(bool on)
{
    m_editBox = on;
    updateText();
}

void ZyrTextBox::setIsClickable(bool on)
{
    m_clickable = on;
    // One manager connection at most, however often the box is made
    // clickable: each further one would sound the click once more.
    if (on && !m_soundConnected)
        m_soundConnected = ZyrelleControls::ConnectSoundHook(this, ZyrelleControls::SoundHookKind::ManagerOnly);
    update();
}

void ZyrTextBox::restoreFont()
{
    const QFont current = font();
    // Without a pixel size of its own the box keeps the size it has and
    // only returns to the normal width.
    const bool sizeDiffers = m_fontPixelSize > 0 && current.pixelSize() != m_fontPixelSize;
    if (!sizeDiffers && current.stretch() == 100)
        return;
    QFont font = current;
    font.setFamily(QApplication::font().family());
    if (m_fontPixelSize > 0)
        font.setPixelSize(m_fontPixelSize);
    font.setStretch(100);
    setFont(font);
}

QFont ZyrTextBox::fitFont(
    const QFont& given, const QString& content, int width, int minPixelSize, int maxStretch, QString* elidedText)
{
    QFont font(given);
    font.setStretch(100);
    const QString plain = plainText(content);
    auto measure = [&] { return QFontMetrics(font).size(Qt::TextExpandTabs, plain).width(); };
    int measured = measure();
    int pixelSize = font.pixelSize();
    bool condensed = false;
    QString elided;
    while (measured > width) {
        // The stretch that would fill 95% of the box.
        int needed = 95 * width / measured;
        if (pixelSize < minPixelSize)
            needed = std::max(needed, maxStretch);
        if (!condensed && needed >= maxStretch) {
            font.setStretch(needed);
            condensed = true;
        } else {
            font.setStretch(100);
            --pixelSize;
            if (pixelSize > 0)
                font.setPixelSize(pixelSize);
            condensed = false;
        }
        if (pixelSize < minPixelSize && condensed) {
            elided = QFontMetrics(font).elidedText(plain, Qt::ElideRight, width);
            break;
        }
        measured = measure();
    }
    if (elidedText)
        *elidedText = elided;
    return font;
}

void ZyrTextBox::updateText()
{
    if (m_proxy)
        return;
    if (m_content.isEmpty()) {
        if (!text().isEmpty())
            setText(m_content);
        return;
    }
    if (m_editBox) {
        const int contentWidth = QFontMetrics(font()).horizontalAdvance(plainText(m_content));
        const Qt::Alignment current = alignment();
        const Qt::Alignment wanted
            = (current & ~Qt::Alignment(0x1F)) | (contentWidth > width() ? Qt::AlignRight : Qt::AlignLeft);
        if (wanted != current)
            setAlignment(wanted);
        setText(m_content);
        return;
    }
    if (hasScaledContents()) {
        restoreFont();
        QString elided;
        setFont(fitFont(font(), m_content, width(), m_minFontPixelSize, m_maxFontStretch, &elided));
        if (!elided.isEmpty()) {
            m_elided = true;
            setText(elided);
        } else {
            setText(m_content);
        }
        return;
    }
    if (m_ellipsis) {
        // Every refit elides again, for the present size and font.
        m_elided = true;
        setText(QFontMetrics(font()).elidedText(m_content, Qt::ElideRight, width()));
        return;
    }
    if (wordWrap()) {
        restoreFont();
        setText(m_content);
        auto measure = [&](const QFont& font) {
            QRect bounds = QFontMetrics(font).boundingRect(QRect(0, 0, width(), 2000), Qt::TextWordWrap, m_content);
            return QSize(bounds.width(), bounds.height() - 2);
        };
        QFont font = this->font();
        QSize wrapped = measure(font);
        while (wrapped.height() > height() && font.pixelSize() > m_minFontPixelSize) {
            font.setPixelSize(font.pixelSize() - 1);
            setFont(font);
            font = this->font();
            wrapped = measure(font);
        }
        if (width() > 0 && width() < wrapped.width()) {
            font.setStretch(std::max(100 * width() / wrapped.width(), m_maxFontStretch));
            setFont(font);
        }
        return;
    }
    setText(m_content);
}

void ZyrTextBox::setContent(QString content)
{
    if (m_proxy) {
        m_proxy->close();
        m_proxy = nullptr;
    }
    m_content = content;
    m_elided = false;
    updateText();

    if (m_scrollable && width() < sizeHint().width()) {
        const QSize hint = sizeHint();
        ZyrTextBox* proxy = new ZyrTextBox(this);
        proxy->setAttribute(Qt::WA_DeleteOnClose);
        proxy->setFont(font());
        proxy->setPalette(palette());
        proxy->setAlignment(alignment());
        proxy->setWordWrap(wordWrap());
        if (m_fontPixelSize > 0)
            proxy->setFontPixelSize(m_fontPixelSize);
        proxy->setGeometry(0, 0, hint.width(), height());
        proxy->setContent(m_content);
        m_proxy = proxy;
        setText(QString());
        proxy->show();
    }
}

void ZyrTextBox::scrollButtonHandler(int key)
{
    if (!m_proxy)
        return;
    if (key == Qt::Key_Left) {
        if (m_proxy->x() < 0)
            m_proxy->move(m_proxy->x() + 1, m_proxy->y());
    } else if (key == Qt::Key_Right) {
        if (m_proxy->x() + m_proxy->width() > width())
            m_proxy->move(m_proxy->x() - 1, m_proxy->y());
    }
}

int ZyrTextBox::proxyLeft() const
{
    return m_proxy ? m_proxy->x() : 0;
}

void ZyrTextBox::setProxyLeft(int left)
{
    if (m_proxy)
        m_proxy->move(left, m_proxy->y());
}

void ZyrTextBox::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    m_elided = false;
    updateText();
}

void ZyrTextBox::mousePressEvent(QMouseEvent* event)
{
    QLabel::mousePressEvent(event);
    if (m_clickable && event->button() == Qt::LeftButton) {
        m_pressed = true;
        update();
    }
}

void ZyrTextBox::mouseMoveEvent(QMouseEvent* event)
{
    QLabel::mouseMoveEvent(event);
    if (!m_clickable)
        return;
    // The pressed look follows the finger in and out of the box.
    const bool inside = geometry().contains(event->pos() + pos());
    if (inside != m_pressed) {
        m_pressed = inside;
        update();
    }
}

void ZyrTextBox::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_clickable && event->button() == Qt::LeftButton) {
        m_pressed = false;
        update();
        if (geometry().contains(event->pos() + pos())) {
            emit clicked(objectName());
            emit clicked();
        }
    }
    QLabel::mouseReleaseEvent(event);
}

void ZyrTextBox::paintEvent(QPaintEvent* event)
{
    if (m_clickable) {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setPen(Qt::NoPen);
        QLinearGradient gradient(0, 0, 0, height());
        if (m_pressed) {
            gradient.setColorAt(0, QColor(236, 132, 38, 200));
            gradient.setColorAt(1, QColor(255, 255, 128, 200));
        } else {
            gradient.setColorAt(0, QColor(128, 128, 128, 100));
            gradient.setColorAt(1, QColor(255, 255, 255, 100));
        }
        painter.setBrush(gradient);
        painter.drawRoundedRect(rect(), 5, 5);
    }
    QLabel::paintEvent(event);
}
