#include "wifi/views/WiFiKeyBoardView.h"

#include "controls/keyboard/zyrKBContainer.h"
#include "wifi/core/KivoWiFiFlow.h"
#include "wifi/views/forms/WiFiKeyBoardViewClass.h"
#include "wifi/views/view_timing.h"

#include <QLineEdit>
#include <QTimerEvent>

namespace {

const char* const kPromptStyle = "color: gray;border-image: url(:/Join_network/bkgd_search_key.png);";
const char* const kTextStyle = "color: black;border-image: url(:/Join_network/bkgd_search_key.png);";

} // namespace

WiFiKeyBoardView::WiFiKeyBoardView(const QString&, KivoWiFiFlow* flow)
    : KivoWiFiBaseVirtualList(flow)
    , m_form(new WiFiKeyBoardView400x240Class)
    , m_pFlow(flow)
{
    m_form->setupUi(this);
    m_title = m_form->lblTitleText;
    m_edit = m_form->InputEdit;
    m_keyboard = m_form->KeyboardContainer;
    if (m_keyboard) {
        connect(m_keyboard, SIGNAL(keypressed(QString)), this, SLOT(addText(QString)));
        connect(m_keyboard, SIGNAL(keypressed(int)), this, SLOT(translateControlKeys(int)));
    }
    setStyleSheets(m_pFlow ? m_pFlow->currentDayNightMode() : QStringLiteral("Day"));
}

WiFiKeyBoardView::~WiFiKeyBoardView()
{
    m_remaskTimer.stop();
    delete m_form;
}

// The screen has no button of its own: the keyboard draws its keys, and
// the line edit's look follows what it shows.
void WiFiKeyBoardView::setStyleSheets(const QString&) { }

bool WiFiKeyBoardView::showsPrompt() const
{
    const QString text = m_edit->text();
    return text == QObject::tr("   Enter network name") || text == QObject::tr("   Enter password");
}

void WiFiKeyBoardView::setEditStyle(bool prompt)
{
    m_edit->setStyleSheet(QLatin1String(prompt ? kPromptStyle : kTextStyle));
}

void WiFiKeyBoardView::clearPrompt()
{
    if (!showsPrompt())
        return;
    m_edit->clear();
    setEditStyle(false);
    m_keyboard->enableOneKey(Qt::Key_Escape, true);
}

void WiFiKeyBoardView::setupView(const QString& text, int inputType)
{
    // The container reloads only for another plug-in name.
    m_keyboard->loadKeyboard(QStringLiteral("Lettrix.dll"), QString());
    m_title->setText(inputType == 3 ? QObject::tr("WIFI Settings") : QObject::tr("Add Network"));

    m_remaskTimer.stop();
    m_mask.clear();
    m_typedPassword.clear();
    if (inputType == INPUT_NAME)
        m_name = text;
    else if (inputType == INPUT_PASSWORD)
        m_password = text;
    m_inputType = inputType;

    bool prompt = false;
    if (inputType == INPUT_NAME) {
        if (m_name.isEmpty() || m_name == QObject::tr("Must Input")) {
            m_edit->setText(QObject::tr("   Enter network name"));
            m_keyboard->enableOneKey(Qt::Key_Escape, false);
            prompt = true;
        } else {
            m_edit->setText(m_name);
        }
    } else if (inputType == INPUT_PASSWORD) {
        if (m_password.isEmpty()) {
            m_edit->setText(QObject::tr("   Enter password"));
            m_keyboard->enableOneKey(Qt::Key_Escape, false);
            prompt = true;
        } else {
            m_edit->setText(m_password);
        }
    }
    // A prompt left by the hardware back key kept Escape off: a text to
    // edit gets it back.
    if (!prompt)
        m_keyboard->enableOneKey(Qt::Key_Escape, true);
    const bool passwordPrompt = m_edit->text() == QObject::tr("   Enter password");
    if (inputType == INPUT_PASSWORD && !passwordPrompt)
        m_typedPassword = m_edit->text();
    setEditStyle(prompt);
    m_edit->setEchoMode(
        inputType == INPUT_PASSWORD && !passwordPrompt ? QLineEdit::Password : QLineEdit::Normal);
    m_keyboard->show();
}

QString WiFiKeyBoardView::resultText() const
{
    if (m_inputType != INPUT_PASSWORD)
        return showsPrompt() ? QString() : m_edit->text();
    return m_typedPassword;
}

void WiFiKeyBoardView::addText(QString text)
{
    m_edit->setFocus();
    clearPrompt();
    if (m_inputType == INPUT_PASSWORD) {
        // Edit the typed password where the line edit edits its text: at
        // the cursor, over a selection.
        int at = m_edit->cursorPosition();
        if (m_edit->hasSelectedText()) {
            at = m_edit->selectionStart();
            m_typedPassword.remove(at, m_edit->selectedText().length());
        }
        at = qBound(0, at, m_typedPassword.length());
        m_mask = QString(m_typedPassword.length(), QLatin1Char('*'));
        m_edit->setText(m_mask);
        m_edit->setCursorPosition(at);
        m_remaskMs = REMASK_MS;
        m_remaskTimer.start(kivowifi::screenInterval(m_remaskMs), this);
        m_edit->setEchoMode(QLineEdit::Normal);
        // Only the newest character is readable.
        m_edit->insert(text);
        m_typedPassword.insert(at, text);
    } else {
        m_edit->setEchoMode(QLineEdit::Normal);
        m_edit->insert(text);
    }
    m_edit->setFocus();
}

void WiFiKeyBoardView::translateControlKeys(int key)
{
    switch (key) {
    case Qt::Key_Backspace: {
        clearPrompt();
        if (m_inputType == INPUT_PASSWORD) {
            if (m_edit->hasSelectedText())
                m_typedPassword.remove(m_edit->selectionStart(), m_edit->selectedText().length());
            else if (m_edit->cursorPosition() > 0)
                m_typedPassword.remove(m_edit->cursorPosition() - 1, 1);
        }
        m_edit->backspace();
        m_edit->setFocus();
        break;
    }
    case Qt::Key_Space:
        addText(QStringLiteral(" "));
        break;
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_pFlow)
            m_pFlow->onBackBtnClick();
        break;
    case Qt::Key_Left:
        m_edit->cursorBackward(false);
        break;
    case Qt::Key_Right:
        m_edit->cursorForward(false);
        break;
    default:
        m_edit->setFocus();
        break;
    }
}

void WiFiKeyBoardView::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_remaskTimer.timerId())
        return;
    m_remaskTimer.stop();
    if (m_edit->text() != QObject::tr("   Enter password") && (m_inputType == INPUT_PASSWORD || m_inputType == 3))
        m_edit->setEchoMode(QLineEdit::Password);
}
