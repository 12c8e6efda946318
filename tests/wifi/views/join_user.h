// What the add-network tests do as a user would: tap a listed network or
// "Add Network" on the network list, tap the add-network screen's fields and
// buttons, type on the keyboard screen's Lettrix keys; and what they read
// back from the add-network screen.
#pragma once

#include "controls/core/phxVirtualList.h"
#include "controls/keyboard/zyrKBContainer.h"
#include "controls/keyboard/zyrKeyButton.h"
#include "controls/keyboard/zyrMultiPageKeyboard.h"
#include "wifi/core/KivoWiFiFlow.h"
#include "wifi/views/WiFiJoinNetworkView.h"
#include "wifi/views/WiFiMainView.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <map>
#include <utility>

namespace join_user {

template <typename W = QWidget> W* child(QWidget* view, const char* name)
{
    return view->findChild<W*>(QLatin1String(name));
}

inline void tap(QWidget* w)
{
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, w->rect().center());
    QApplication::processEvents();
}

// The index of a network in the flow's visible list, -1 when not there.
inline int apIndex(KivoWiFiFlow* flow, const QString& name)
{
    for (int i = 0; i < flow->getAPCount(); ++i)
        if (flow->getAPName(i) == name)
            return i;
    return -1;
}

// The network list, shown, with the visible networks in its rows.
inline WiFiMainView* showList(KivoWiFiFlow* flow)
{
    flow->switchView(MAIN_VIEW_ID, 0);
    auto* list = qobject_cast<WiFiMainView*>(flow->view(MAIN_VIEW_ID));
    list->endRefresh();
    return list;
}

inline WiFiJoinNetworkView* chooseFromList(KivoWiFiFlow* flow, const QString& name)
{
    auto* rows = showList(flow)->findChild<phxVirtualList*>(QStringLiteral("virtuallist"));
    const QModelIndex row = rows->model()->index(apIndex(flow, name), 0);
    rows->scrollTo(row);
    QApplication::processEvents();
    QTest::mouseClick(rows->viewport(), Qt::LeftButton, Qt::NoModifier, rows->visualRect(row).center());
    return qobject_cast<WiFiJoinNetworkView*>(flow->view(JOIN_VIEW_ID));
}

inline WiFiJoinNetworkView* addNewNetwork(KivoWiFiFlow* flow)
{
    tap(child(showList(flow), "JoinBtn"));
    return qobject_cast<WiFiJoinNetworkView*>(flow->view(JOIN_VIEW_ID));
}

// The keyboard screen is current: the user types `text` on its keys (letters,
// digits, blanks and the few symbols listed) and leaves by Escape.
inline void typeOnKeyboard(KivoWiFiFlow* flow, const QString& text)
{
    ASSERT_EQ(flow->currentViewId(), KEYBOARD_VIEW_ID);
    zyrMultiPageKeyboard* keyboard
        = flow->view(KEYBOARD_VIEW_ID)->findChild<zyrKBContainer*>(QStringLiteral("KeyboardContainer"))->keyboard();
    auto tapKey = [&](int page, const QString& name) {
        keyboard->setCurrentIndex(page);
        auto* key = keyboard->widget(page)->findChild<zyrKeyButton*>(name);
        ASSERT_TRUE(key && key->isVisible()) << name.toStdString();
        QTest::mouseClick(key, Qt::LeftButton);
    };
    static const std::map<QChar, std::pair<int, QString>> symbols = {
        { '!', { 2, "Exclamation_P" } },
        { '-', { 3, "Hyphen" } },
    };
    for (QChar c : text) {
        if (c.isLower())
            tapKey(1, c);
        else if (c.isUpper())
            tapKey(0, c);
        else if (c.isDigit())
            tapKey(2, QStringLiteral("Num") + c);
        else if (c == ' ')
            tapKey(1, QStringLiteral("Space"));
        else
            tapKey(symbols.at(c).first, symbols.at(c).second);
    }
    tapKey(1, QStringLiteral("btnBack"));
    ASSERT_EQ(flow->currentViewId(), JOIN_VIEW_ID);
}

// The add-network screen's fields.
inline QString nameShown(QWidget* v)
{
    return child<QLineEdit>(v, "NameEdit")->text();
}
inline QString passwordShown(QWidget* v)
{
    return child<QLineEdit>(v, "PasswordEdit")->text();
}
inline QString labelShown(QWidget* v)
{
    return child<QLabel>(v, "SecurityType")->text();
}
inline bool joinEnabled(QWidget* v)
{
    return child<QPushButton>(v, "JoinBtn")->isEnabled();
}
inline bool passwordVisible(QWidget* v)
{
    return !child<QLineEdit>(v, "PasswordEdit")->isHidden() && !child<QLabel>(v, "Password")->isHidden();
}

} // namespace join_user
