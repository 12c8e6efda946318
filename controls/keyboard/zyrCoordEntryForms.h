// The coordinate entry widget's six forms, one per coordinate type. Each is
// a set-up routine that builds its layouts and masked fields on the given
// widget (naming it after the form when it has no name yet and resizing it
// to the form's design size), and a retranslate routine that sets every
// text through the application's translation, with the form's name as
// context. The texts are samples until the widget's setCoords replaces them.
//
// A form struct only points into the widget it built: it can be dropped
// right after setupUi.
#pragma once

#include "controls/core/zyrcontrols_global.h"

class QHBoxLayout;
class QVBoxLayout;
class QWidget;
class zyrInputWidget;

struct ZYRCONTROLS_EXPORT Ui_CELatLongDD {
    QVBoxLayout* verticalLayout = nullptr;
    QHBoxLayout* horizontalLayout_3 = nullptr;
    zyrInputWidget* latDD = nullptr;
    zyrInputWidget* latSign = nullptr;
    QHBoxLayout* horizontalLayout_2 = nullptr;
    zyrInputWidget* longDD = nullptr;
    zyrInputWidget* longSign = nullptr;

    void setupUi(QWidget* form);
    void retranslateUi(QWidget* form);
};

struct ZYRCONTROLS_EXPORT Ui_CELatLongDDMMMMM {
    QVBoxLayout* verticalLayout = nullptr;
    QHBoxLayout* horizontalLayout_3 = nullptr;
    zyrInputWidget* latDD = nullptr;
    zyrInputWidget* latMM = nullptr;
    zyrInputWidget* latSign = nullptr;
    QHBoxLayout* horizontalLayout_2 = nullptr;
    zyrInputWidget* longDD = nullptr;
    zyrInputWidget* longMM = nullptr;
    zyrInputWidget* longSign = nullptr;

    void setupUi(QWidget* form);
    void retranslateUi(QWidget* form);
};

struct ZYRCONTROLS_EXPORT Ui_CELatLongDDMMSS {
    QVBoxLayout* verticalLayout = nullptr;
    QHBoxLayout* horizontalLayout_3 = nullptr;
    zyrInputWidget* latDD = nullptr;
    zyrInputWidget* latMM = nullptr;
    zyrInputWidget* latSS = nullptr;
    zyrInputWidget* latSign = nullptr;
    QHBoxLayout* horizontalLayout_2 = nullptr;
    zyrInputWidget* longDD = nullptr;
    zyrInputWidget* longMM = nullptr;
    zyrInputWidget* longSS = nullptr;
    zyrInputWidget* longSign = nullptr;

    void setupUi(QWidget* form);
    void retranslateUi(QWidget* form);
};

// "CEZoneEN" and "CEMgrs" share their layout: the zone on the left, the
// easting row above the northing row on its right.
struct ZYRCONTROLS_EXPORT Ui_CEZoneForm {
    QHBoxLayout* horizontalLayout_3 = nullptr;
    zyrInputWidget* zone = nullptr;
    QVBoxLayout* verticalLayout = nullptr;
    QHBoxLayout* horizontalLayout_2 = nullptr;
    zyrInputWidget* longEntry = nullptr;
    zyrInputWidget* longSign = nullptr;
    QHBoxLayout* horizontalLayout = nullptr;
    zyrInputWidget* latEntry = nullptr;
    zyrInputWidget* latSign = nullptr;
};

struct ZYRCONTROLS_EXPORT Ui_CEZoneEN : Ui_CEZoneForm {
    void setupUi(QWidget* form);
    void retranslateUi(QWidget* form);
};

struct ZYRCONTROLS_EXPORT Ui_CEMgrs : Ui_CEZoneForm {
    void setupUi(QWidget* form);
    void retranslateUi(QWidget* form);
};

struct ZYRCONTROLS_EXPORT Ui_CENumeric {
    QVBoxLayout* verticalLayout = nullptr;
    zyrInputWidget* numEntry = nullptr;

    void setupUi(QWidget* form);
    void retranslateUi(QWidget* form);
};
