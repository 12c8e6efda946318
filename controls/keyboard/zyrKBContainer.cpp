#include "controls/keyboard/zyrKBContainer.h"

#include "controls/core/LibraryInternal.h"
#include "controls/keyboard/zyrKeyButton.h"
#include "controls/keyboard/zyrKeyExtWidget.h"
#include "controls/keyboard/zyrLayoutFactory.h"
#include "controls/keyboard/zyrMultiPageKeyboard.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QTranslator>
#include <QVBoxLayout>

namespace {

const char16_t* wide(const QString& text)
{
    return reinterpret_cast<const char16_t*>(text.utf16());
}

// A layout name longer than this does not fit the name buffer.
constexpr int kMaxLayoutName = 99;

} // namespace

zyrKBContainer::zyrKBContainer(QWidget* parent)
    : QWidget(parent)
{
    m_box = new QVBoxLayout;
    m_box->setContentsMargins(0, 0, 0, 0);
    m_box->setSpacing(0);
    setLayout(m_box);
}

zyrKBContainer::~zyrKBContainer()
{
    if (m_translator) {
        QCoreApplication::removeTranslator(m_translator);
        delete m_translator;
        m_translator = nullptr;
    }
    delete m_content;
    m_content = nullptr;
    zyrLayoutFactory::unloadLayoutDll(wide(m_dllPath));
    delete m_popup.data();
}

void zyrKBContainer::loadKeyboard(const QString& dllPath, const QString& qmPath)
{
    if (QString::compare(dllPath, m_dllPath, Qt::CaseInsensitive) != 0) {
        if (!zyrLayoutFactory::loadLayoutDll(wide(dllPath)))
            return;

        // The file's base name: after the last backslash (a slash is no
        // separator), cut before ".dll" written in small letters.
        QString name = dllPath.mid(dllPath.lastIndexOf(QLatin1Char('\\')) + 1);
        const int extension = name.indexOf(QLatin1String(".dll"));
        if (extension >= 0)
            name.truncate(extension);
        name += ZyrelleControls::Internal::LayoutNameSuffix();
        const QByteArray name8 = name.toUtf8();

        zyrBCLayout* layout = nullptr;
        if (name.size() <= kMaxLayoutName && name8.size() <= kMaxLayoutName)
            layout = zyrLayoutFactory::createLayout(name8.constData());

        if (layout) {
            auto* content = new QWidget;
            layout->setupUi(0, content);
            zyrMultiPageKeyboard* keyboard = content->findChild<zyrMultiPageKeyboard*>();
            if (!keyboard) {
                // A form without a keyboard is never adopted; the plug-in
                // that built it is released once the form is gone.
                qWarning("zyrKBContainer: layout %s built no keyboard", name8.constData());
                delete content;
                zyrLayoutFactory::unloadLayoutDll(wide(dllPath));
            } else {
                if (m_content) {
                    m_box->removeWidget(m_content);
                    delete m_content;
                }
                m_content = content;
                m_layout = layout;
                m_keyboard = keyboard;
                setSizePolicy(keyboard->sizePolicy());
                setMinimumSize(keyboard->minimumSize());
                m_box->addWidget(m_content);
                connect(keyboard, SIGNAL(keypressed(QString)), this, SIGNAL(keypressed(QString)));
                connect(keyboard, SIGNAL(keypressed(int)), this, SIGNAL(keypressed(int)));
                connect(keyboard, SIGNAL(extendedChars(QString)), this, SLOT(popupExtChars(QString)));
                // The old form is gone before the plug-in that built it.
                zyrLayoutFactory::unloadLayoutDll(wide(m_dllPath));
                m_dllPath = dllPath;
            }
        }
    }

    if (qmPath == m_qmPath)
        return;
    if (m_translator) {
        QCoreApplication::removeTranslator(m_translator);
        delete m_translator;
    }
    // A file that does not load is tried again by the next call naming it.
    m_translator = new QTranslator;
    if (m_translator->load(qmPath)) {
        QCoreApplication::installTranslator(m_translator);
        if (m_layout)
            m_layout->retranslateUi(0, m_content);
        m_qmPath = qmPath;
    }
}

QSize zyrKBContainer::sizeHint() const
{
    return m_keyboard ? m_keyboard->sizeHint() : QSize(240, 240);
}

void zyrKBContainer::paintEvent(QPaintEvent* event)
{
    if (!m_bkgdImage.isNull()) {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.fillRect(rect(), QBrush(m_bkgdImage));
    }
    QWidget::paintEvent(event);
}

void zyrKBContainer::enableOneKey(QString key, bool enable)
{
    if (m_keyboard)
        m_keyboard->enableOneKey(key, enable);
}

void zyrKBContainer::enableOneKey(Qt::Key key, bool enable)
{
    if (m_keyboard)
        m_keyboard->enableOneKey(key, enable);
}

void zyrKBContainer::enableAllKeys(bool enable)
{
    if (m_keyboard)
        m_keyboard->enableAllKeys(enable);
}

void zyrKBContainer::enableKeys(QVector<QString> keys, bool enable)
{
    if (m_keyboard)
        m_keyboard->enableKeys(keys, enable);
}

void zyrKBContainer::enableKeys(QVector<Qt::Key> keys, bool enable)
{
    if (m_keyboard)
        m_keyboard->enableKeys(keys, enable);
}

void zyrKBContainer::showPage(QString page, bool show)
{
    if (m_keyboard)
        m_keyboard->showPage(page, show);
}

void zyrKBContainer::connectPopup()
{
    connect(m_popup, SIGNAL(clicked(QString)), this, SIGNAL(keypressed(QString)));
    connect(m_popup, SIGNAL(clicked(QString)), m_popup, SLOT(close()));
    if (m_keyboard) {
        connect(m_keyboard, SIGNAL(keypressed(QString)), m_popup, SLOT(close()));
        connect(m_keyboard, SIGNAL(keypressed(int)), m_popup, SLOT(close()));
    }
}

void zyrKBContainer::popupExtChars(QString iChars)
{
    if (iChars.isEmpty() || m_popup)
        return;
    m_popup = new zyrKeyExtWidget;
    m_popup->setExtChars(iChars);
    connectPopup();
    m_box->insertWidget(0, m_popup);
}

void zyrKBContainer::popupExtChars()
{
    if (m_popup)
        return;
    zyrKeyButton* focused = nullptr;
    for (zyrKeyButton* key : findChildren<zyrKeyButton*>()) {
        if (key->isHasFocus()) {
            focused = key;
            break;
        }
    }
    if (!focused)
        return;
    const QString chars = focused->getExtChars();
    if (chars.isEmpty())
        return;

    m_popup = new zyrKeyExtWidget(this);
    m_popup->setExtChars(chars);
    connectPopup();
    m_popup->setNormalXBmp(QPixmap(QStringLiteral(":/Bkgd/bkgd_KB_ExtendedCharacters.mif")));
    // One 20-pixel cell per character inside a 10-pixel border, kept from
    // passing the right edge at 240.
    const int n = m_popup->buttonCount();
    const QPoint at = focused->pos();
    int left = at.x();
    if (220 - 20 * n - at.x() < 0)
        left = 220 - 20 * n;
    m_popup->setGeometry(left, at.y(), 20 * n + 20, 46);
    m_popup->show();
}

bool zyrKBContainer::processKeyEvent(QKeyEvent* event)
{
    if (!m_popup)
        return false;
    if (event && !event->isAutoRepeat())
        m_popup->processKey(event->key());
    return true;
}
