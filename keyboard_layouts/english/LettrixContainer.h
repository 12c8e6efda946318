// The English keyboard layout: four pages ("Capitalization", "LowerCase",
// "Numeric", "Symbol") of six rows, 122 keys, in a form 241 x 320.
//
// The layout object keeps no state: setupUi builds each form under its host
// with a LettrixContainerProxy that points at everything it made, and
// retranslateUi finds that proxy again, so one object serves any number of
// keyboard containers at once.
#pragma once

#include "controls/keyboard/zyrLayoutFactory.h"

#include <QVector>
#include <QWidget>

class QHBoxLayout;
class zyrKeyButton;
class zyrMultiPageKeyboard;

class LettrixContainer : public zyrBCLayout {
public:
    constexpr LettrixContainer() = default;
    ~LettrixContainer() override;
    void setupUi(int value, QWidget* host) override;
    void retranslateUi(int value, QWidget* host) override;
};

// The form's state, a child of the host named "LettrixContainer_proxy". It
// owns nothing itself: the keyboard is its Qt child and everything else
// descends from the keyboard.
class LettrixContainerProxy : public QWidget {
public:
    explicit LettrixContainerProxy(QWidget* host);
    ~LettrixContainerProxy() override;

    zyrMultiPageKeyboard* keyboard = nullptr;
    QVector<QWidget*> pages;
    QVector<QWidget*> rows;
    QVector<QHBoxLayout*> rowLayouts;
    QVector<zyrKeyButton*> keys; // in creation order
    // All 175 objects in creation order: the keyboard, then per page the
    // page and per row its widget, its layout and its keys.
    QVector<QObject*> created;
};
