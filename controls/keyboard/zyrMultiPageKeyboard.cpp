#include "controls/keyboard/zyrMultiPageKeyboard.h"

#include "controls/keyboard/zyrKeyButton.h"

#include <QCoreApplication>
#include <QPushButton>

namespace {

// Both tests: the class name alone could match a look-alike of another
// module, the cast alone could not tell a skipped key from a container.
enum class KeyTest { Cast, InheritsAndCast };

// Visits the keys below the list in child order, without descending into
// keys. handle returns true to stop the walk.
template <typename Handle>
bool walkKeys(const QList<QObject*>& children, KeyTest test, Handle&& handle)
{
    for (QObject* object : children) {
        if (test == KeyTest::InheritsAndCast && object->inherits("zyrKeyButton")) {
            if (auto* key = qobject_cast<zyrKeyButton*>(object))
                if (handle(key))
                    return true;
            continue;
        }
        if (auto* key = qobject_cast<zyrKeyButton*>(object)) {
            if (handle(key))
                return true;
            continue;
        }
        if (walkKeys(object->children(), test, handle))
            return true;
    }
    return false;
}

} // namespace

zyrMultiPageKeyboard::zyrMultiPageKeyboard(QWidget* parent)
    : QStackedWidget(parent)
{
}

zyrMultiPageKeyboard::~zyrMultiPageKeyboard() = default;

void zyrMultiPageKeyboard::setupConnections(const Children& children)
{
    walkKeys(children, KeyTest::InheritsAndCast, [this](zyrKeyButton* key) {
        switch (key->buttonType()) {
        case zyrKeyButton::Regular:
            connect(key, SIGNAL(clicked(QString)), this, SIGNAL(keypressed(QString)));
            connect(key, SIGNAL(extendedChars(QString)), this, SIGNAL(extendedChars(QString)));
            break;
        case zyrKeyButton::Control:
            if (key->keyCode() == Qt::Key_Shift)
                connect(key, SIGNAL(toggled(bool)), this, SLOT(shiftKeyDown(bool)));
            else
                connect(key, SIGNAL(clicked(int)), this, SIGNAL(keypressed(int)));
            break;
        case zyrKeyButton::Paging:
            connect(key, SIGNAL(clicked(QString)), this, SLOT(setPageByName(QString)));
            break;
        }
        return false;
    });
}

void zyrMultiPageKeyboard::removeConnections(const Children& children)
{
    walkKeys(children, KeyTest::InheritsAndCast, [this](zyrKeyButton* key) {
        switch (key->buttonType()) {
        case zyrKeyButton::Regular:
            disconnect(key, SIGNAL(clicked(QString)), this, SIGNAL(keypressed(QString)));
            disconnect(key, SIGNAL(extendedChars(QString)), this, SIGNAL(extendedChars(QString)));
            break;
        case zyrKeyButton::Control:
            if (key->keyCode() == Qt::Key_Shift)
                disconnect(key, SIGNAL(toggled(bool)), this, SLOT(shiftKeyDown(bool)));
            else
                disconnect(key, SIGNAL(clicked(int)), this, SIGNAL(keypressed(int)));
            break;
        case zyrKeyButton::Paging:
            disconnect(key, SIGNAL(clicked(QString)), this, SLOT(setPageByName(QString)));
            break;
        }
        return false;
    });
}

void zyrMultiPageKeyboard::showEvent(QShowEvent* event)
{
    setupConnections(children());
    QStackedWidget::showEvent(event);
}

void zyrMultiPageKeyboard::hideEvent(QHideEvent* event)
{
    removeConnections(children());
    QStackedWidget::hideEvent(event);
}

void zyrMultiPageKeyboard::makeConnections()
{
    setupConnections(children());
}

void zyrMultiPageKeyboard::shiftKeyDown(bool)
{
    setShiftState(children(), !shiftActive);
}

void zyrMultiPageKeyboard::setShiftState(const Children& children, bool on)
{
    shiftActive = on;
    walkKeys(children, KeyTest::Cast, [on](zyrKeyButton* key) {
        if (key->buttonType() == zyrKeyButton::Regular
            || (key->buttonType() == zyrKeyButton::Control && key->keyCode() == Qt::Key_Shift))
            key->setShiftState(on);
        return false;
    });
}

void zyrMultiPageKeyboard::retranslateUi(const Children& children)
{
    const QByteArray context = objectName().toLatin1();
    walkKeys(children, KeyTest::Cast, [&context](zyrKeyButton* key) {
        if (key->buttonType() != zyrKeyButton::Regular)
            return false;
        const QString upper
            = QCoreApplication::translate(context.constData(), key->keyStrBaseUpper().toLatin1().constData());
        const QString lower
            = QCoreApplication::translate(context.constData(), key->keyStrBaseLower().toLatin1().constData());
        if (!upper.isEmpty())
            key->setKeyStringUpper(upper);
        if (!lower.isEmpty())
            key->setKeyStringLower(lower);
        return false;
    });
}

void zyrMultiPageKeyboard::replaceKeyString(QString from, QString to, QString upper, QString lower)
{
    replaceKeyString(children(), from, to, upper, lower);
}

void zyrMultiPageKeyboard::replaceKeyString(
    const Children& children, QString from, QString to, QString upper, QString lower)
{
    walkKeys(children, KeyTest::Cast, [&](zyrKeyButton* key) {
        if (key->text() != from)
            return false;
        key->setText(to);
        if (key->buttonType() == zyrKeyButton::Regular) {
            key->setKeyStringUpper(upper);
            key->setKeyStringLower(lower);
        }
        return false;
    });
}

void zyrMultiPageKeyboard::addPage(QWidget* page)
{
    insertWidget(count(), page);
    pages.append({ page, true });
}

void zyrMultiPageKeyboard::insertPage(int index, QWidget* page)
{
    insertWidget(index, page);
}

void zyrMultiPageKeyboard::removePage(int index)
{
    QWidget* page = widget(index);
    for (int i = pages.size() - 1; i >= 0; --i)
        if (pages.at(i).widget == page)
            pages.removeAt(i);
    if (page)
        removeWidget(page);
}

void zyrMultiPageKeyboard::nextPage()
{
    if (count() == 0)
        return;
    setCurrentIndex((currentIndex() + 1) % count());
    rememberedPage = currentWidget();
}

void zyrMultiPageKeyboard::prevPage()
{
    if (count() == 0)
        return;
    setCurrentIndex((count() + currentIndex() - 1) % count());
    rememberedPage = currentWidget();
}

bool zyrMultiPageKeyboard::setPage(int index)
{
    if (!widget(index))
        return false;
    setCurrentIndex(index);
    rememberedPage = currentWidget();
    return true;
}

void zyrMultiPageKeyboard::setPageByName(QString iPageName)
{
    const QList<QWidget*> found = findChildren<QWidget*>(iPageName);
    // A widget that is no page of the stack (a key, a row) leaves the page.
    if (!found.isEmpty() && indexOf(found.first()) >= 0)
        setCurrentWidget(found.first());
}

void zyrMultiPageKeyboard::setPageByName()
{
    if (auto* button = qobject_cast<QPushButton*>(sender()))
        setPageByName(button->text());
}

void zyrMultiPageKeyboard::setFocusByName(QString name)
{
    if (auto* key = findChild<zyrKeyButton*>(name)) {
        key->setHasFocus(true);
        return;
    }
    if (auto* widget = findChild<QWidget*>(name))
        widget->setFocus();
}

bool zyrMultiPageKeyboard::hasEnabledKey(const Children& children)
{
    // Enabled as far as the keyboard goes: a host that disables the
    // keyboard (or a widget above it) must not empty the stack.
    return walkKeys(children, KeyTest::Cast, [this](zyrKeyButton* key) {
        return key->buttonType() != zyrKeyButton::Paging && key->isEnabledTo(this);
    });
}

bool zyrMultiPageKeyboard::isPageExists(const QString& name)
{
    const QList<QWidget*> found = findChildren<QWidget*>(name);
    return !found.isEmpty() && hasEnabledKey(found.first()->children());
}

void zyrMultiPageKeyboard::checkPages()
{
    const QList<PageEntry> entries = pages;
    for (const PageEntry& entry : entries) {
        QWidget* page = entry.widget;
        if (!page)
            continue;
        if (entry.shown && hasEnabledKey(page->children())) {
            if (indexOf(page) < 0)
                addWidget(page);
        } else if (indexOf(page) >= 0) {
            removeWidget(page);
        }
    }
    if (rememberedPage && indexOf(rememberedPage) >= 0)
        setCurrentIndex(indexOf(rememberedPage));
}

void zyrMultiPageKeyboard::showPage(QString name, bool show)
{
    QPointer<QWidget> page = findChild<QWidget*>(name);
    if (!page)
        return;
    for (PageEntry& entry : pages) {
        if (entry.widget == page) {
            entry.shown = show;
            break;
        }
    }
    checkPages();
}

void zyrMultiPageKeyboard::enableOneKey(const Children& children, QString text, Qt::Key key, bool enable)
{
    if (text == QLatin1String(" "))
        key = Qt::Key_Space;
    // The "no string" and "no code" sentinels stand for no key: an empty
    // string must not reach the keys without strings, nor Key_unknown the
    // Control keys without a code.
    walkKeys(children, KeyTest::Cast, [&](zyrKeyButton* button) {
        if (button->buttonType() == zyrKeyButton::Regular) {
            if (!text.isEmpty() && (button->currentKSUpper() == text || button->currentKSLower() == text))
                button->setEnabled(enable);
        } else if (button->buttonType() == zyrKeyButton::Control) {
            if (key != Qt::Key_unknown && button->keyCode() == key)
                button->setEnabled(enable);
        }
        return false;
    });
}

void zyrMultiPageKeyboard::enableOneKey(QString text, bool enable)
{
    enableOneKey(children(), text, Qt::Key_unknown, enable);
    checkPages();
}

void zyrMultiPageKeyboard::enableOneKey(Qt::Key key, bool enable)
{
    enableOneKey(children(), QString(), key, enable);
    checkPages();
}

void zyrMultiPageKeyboard::enableKeys(const Children& children, QVector<QString> texts, QVector<Qt::Key> codes, bool enable)
{
    if (texts.contains(QStringLiteral(" ")))
        codes.append(Qt::Key_Space);
    walkKeys(children, KeyTest::Cast, [&](zyrKeyButton* button) {
        if (button->buttonType() == zyrKeyButton::Regular) {
            if (!texts.isEmpty()
                && (texts.contains(button->currentKSUpper()) || texts.contains(button->currentKSLower())))
                button->setEnabled(enable);
        } else if (button->buttonType() == zyrKeyButton::Control) {
            if (!codes.isEmpty() && codes.contains(button->keyCode()))
                button->setEnabled(enable);
        }
        return false;
    });
}

void zyrMultiPageKeyboard::enableKeys(QVector<QString> texts, bool enable)
{
    if (texts.isEmpty())
        return;
    enableKeys(children(), texts, QVector<Qt::Key>(), enable);
    checkPages();
}

void zyrMultiPageKeyboard::enableKeys(QVector<Qt::Key> codes, bool enable)
{
    if (codes.isEmpty())
        return;
    enableKeys(children(), QVector<QString>(), codes, enable);
    checkPages();
}

void zyrMultiPageKeyboard::enableAllKeys(const Children& children, bool enable)
{
    walkKeys(children, KeyTest::Cast, [enable](zyrKeyButton* key) {
        if (key->buttonType() != zyrKeyButton::Paging)
            key->setEnabled(enable);
        return false;
    });
}

void zyrMultiPageKeyboard::enableAllKeys(bool enable)
{
    enableAllKeys(children(), enable);
    checkPages();
}
