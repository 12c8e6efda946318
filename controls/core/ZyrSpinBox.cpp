#include "controls/core/ZyrSpinBox.h"

#include "controls/core/ZyrIcon.h"
#include "controls/core/ZyrPushButton.h"
#include "controls/core/ZyrTextBox.h"

#include <QPalette>

#include <algorithm>

ZyrAbstractSpinBox::ZyrAbstractSpinBox(QWidget* parent)
    : QWidget(parent)
    , m_upArrow(new ZyrPushButton(this))
    , m_downArrow(new ZyrPushButton(this))
    , m_background(new ZyrIcon(this))
    , m_text(nullptr)
    , m_highlight(new QWidget(m_background))
{
    m_highlight->resize(0, 0);
    m_highlight->setAutoFillBackground(true);
    m_highlight->setBackgroundRole(QPalette::Window);
    QPalette palette = m_highlight->palette();
    palette.setColor(QPalette::Window, m_highlightColor);
    m_highlight->setPalette(palette);

    m_text = new ZyrTextBox(m_background);
    m_text->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    m_text->setFontPixelSize(10);

    connect(m_upArrow, SIGNAL(clicked()), this, SLOT(onArrowUp()));
    connect(m_downArrow, SIGNAL(clicked()), this, SLOT(onArrowDown()));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

ZyrAbstractSpinBox::~ZyrAbstractSpinBox() = default;

void ZyrAbstractSpinBox::showValue()
{
    m_text->setContent(valueToBePrinted());
}

void ZyrAbstractSpinBox::setInitValue(int value)
{
    m_value = value;
    showValue();
}

void ZyrAbstractSpinBox::setContentMargin(int margin)
{
    m_laidOut = false;
    m_contentMargin = margin;
    update();
}

void ZyrAbstractSpinBox::setHighlightPosition(const QPoint& position)
{
    m_highlightPosition = position;
    m_highlight->move(position);
    update();
}

void ZyrAbstractSpinBox::setHighlightSize(const QSize& size)
{
    m_highlightSize = size;
    m_highlight->resize(size);
    update();
}

void ZyrAbstractSpinBox::setHighlightColor(const QColor& color)
{
    m_highlightColor = color;
    QPalette palette = m_highlight->palette();
    palette.setColor(QPalette::Window, color);
    m_highlight->setPalette(palette);
    update();
}

QPixmap ZyrAbstractSpinBox::upArrowNormal() const
{
    return m_upArrow->normal();
}

void ZyrAbstractSpinBox::setUpArrowNormal(const QPixmap& image)
{
    m_upArrow->setNormal(image);
    m_upArrow->resizeToImage();
    m_laidOut = false;
    layoutSpinBox();
}

QPixmap ZyrAbstractSpinBox::upArrowPressed() const
{
    return m_upArrow->pressed();
}

void ZyrAbstractSpinBox::setUpArrowPressed(const QPixmap& image)
{
    m_upArrow->setPressed(image);
}

QPixmap ZyrAbstractSpinBox::downArrowNormal() const
{
    return m_downArrow->normal();
}

void ZyrAbstractSpinBox::setDownArrowNormal(const QPixmap& image)
{
    m_downArrow->setNormal(image);
    m_downArrow->resizeToImage();
    m_laidOut = false;
    layoutSpinBox();
}

QPixmap ZyrAbstractSpinBox::downArrowPressed() const
{
    return m_downArrow->pressed();
}

void ZyrAbstractSpinBox::setDownArrowPressed(const QPixmap& image)
{
    m_downArrow->setPressed(image);
}

QPixmap ZyrAbstractSpinBox::background() const
{
    return m_background->image();
}

void ZyrAbstractSpinBox::setBackground(const QPixmap& image)
{
    m_background->setImage(image);
    m_background->resizeToImage();
    m_laidOut = false;
    layoutSpinBox();
}

int ZyrAbstractSpinBox::fontSize() const
{
    return m_text ? m_text->font().pixelSize() : -1;
}

void ZyrAbstractSpinBox::setFontSize(int pixelSize)
{
    m_text->setFontPixelSize(pixelSize);
}

void ZyrAbstractSpinBox::OnUpArrow()
{
    m_upArrow->click();
}

void ZyrAbstractSpinBox::OnDownArrow()
{
    m_downArrow->click();
}

QSize ZyrAbstractSpinBox::sizeHint() const
{
    return size();
}

void ZyrAbstractSpinBox::layoutSpinBox()
{
    if (m_laidOut)
        return;
    m_text->resize(m_background->size());
    m_laidOut = true;
}

void ZyrAbstractSpinBox::paintEvent(QPaintEvent*)
{
    layoutSpinBox();
    if (hasFocus()) {
        m_highlight->show();
        m_highlight->raise();
    } else {
        m_highlight->hide();
        m_highlight->lower();
    }
}

void ZyrAbstractSpinBox::onArrowUp()
{
    setFocus();
    if (m_locked)
        return;
    if (m_value < m_maximum)
        ++m_value;
    else if (m_cyclic)
        m_value = m_minimum;
    reflectValueChanging();
}

void ZyrAbstractSpinBox::onArrowDown()
{
    setFocus();
    if (m_locked)
        return;
    if (m_value > m_minimum)
        --m_value;
    else if (m_cyclic)
        m_value = m_maximum;
    reflectValueChanging();
}

void ZyrAbstractSpinBox::reflectValueChanging()
{
    showValue();
    if (m_blocking)
        m_locked = true;
    emit valueChanging(m_value);
}

ZyrAbstractVerticalSpinBox::ZyrAbstractVerticalSpinBox(QWidget* parent)
    : ZyrAbstractSpinBox(parent)
{
}

ZyrAbstractVerticalSpinBox::~ZyrAbstractVerticalSpinBox() = default;

QSize ZyrAbstractVerticalSpinBox::sizeHint() const
{
    return size();
}

void ZyrAbstractVerticalSpinBox::layoutSpinBox()
{
    if (!m_upArrow || !m_background || m_laidOut)
        return;
    const QSize up = m_upArrow->size();
    const QSize back = m_background->size();
    const int margin = m_contentMargin;
    resize(std::max(up.width(), back.width()), back.height() + 2 * up.height() + 2 * margin);
    const bool narrow = back.width() < up.width();
    const int arrowX = narrow ? 0 : (back.width() >> 1) - (up.width() >> 1);
    m_upArrow->move(arrowX, 0);
    m_background->move(narrow ? (up.width() >> 1) - (back.width() >> 1) : 0, up.height() + margin);
    m_downArrow->move(arrowX, back.height() + 2 * margin + up.height());
    m_text->move(0, 0);
    ZyrAbstractSpinBox::layoutSpinBox();
}

ZyrVerticalSpinBox::ZyrVerticalSpinBox(QWidget* parent)
    : ZyrAbstractVerticalSpinBox(parent)
{
    showValue();
}

ZyrVerticalSpinBox::~ZyrVerticalSpinBox() = default;

QString ZyrVerticalSpinBox::valueToBePrinted()
{
    return QString::number(m_value);
}

ZyrStringVerticalSpinBox::ZyrStringVerticalSpinBox(QWidget* parent)
    : ZyrAbstractVerticalSpinBox(parent)
{
    m_minimum = 0;
    m_maximum = 0;
    showValue();
}

ZyrStringVerticalSpinBox::~ZyrStringVerticalSpinBox() = default;

void ZyrStringVerticalSpinBox::setValues(const QStringList& values)
{
    m_values = values;
    m_minimum = 0;
    m_maximum = values.size() - 1;
    showValue();
}

QString ZyrStringVerticalSpinBox::valueToBePrinted()
{
    return m_values.value(m_value);
}
