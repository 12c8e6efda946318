#include "controls/keyboard/zyrCoordEntryForms.h"

#include "controls/core/ZyrIcon.h"
#include "controls/keyboard/zyrInputWidget.h"

#include <QBoxLayout>
#include <QCoreApplication>
#include <QMetaObject>
#include <QWidget>

#include <initializer_list>

namespace {

using Type = zyrInputWidget::InputType;

// No border, transparent background.
const char kPlainSheet[] = "QLineEdit\n{ \n\tborder-style: none;\n\tbackground-color: rgba(0, 0, 0, 0);\n}\n";
// The same, also while focused.
const char kFocusSheet[] = "QLineEdit::focus\n{ \n\tborder-style: none;\n\tbackground-color: rgba(0, 0, 0, 0);\n}\n"
                           "QLineEdit\n{ \n\tborder-style: none;\n\tbackground-color: rgba(0, 0, 0, 0);\n}\n";

const QSizePolicy::Policy kPreferred = QSizePolicy::Preferred;
const QSizePolicy::Policy kExpanding = QSizePolicy::Expanding;
const QSizePolicy::Policy kMinExpanding = QSizePolicy::MinimumExpanding;

struct FieldSpec {
    const char* name;
    Type type;
    QSizePolicy::Policy horizontal;
    int minWidth; // 0: none
    int maxWidth; // 0: none
    int pointSize;
    bool rightAligned;
    bool readOnly;
    bool degrees; // the degree sign as superscript (U+02DA, not translated)
};

zyrInputWidget* makeField(QWidget* form, const FieldSpec& spec)
{
    auto* field = new zyrInputWidget(form);
    field->setObjectName(QString::fromLatin1(spec.name));
    QSizePolicy policy(spec.horizontal, QSizePolicy::Preferred);
    policy.setHorizontalStretch(0);
    policy.setVerticalStretch(0);
    policy.setHeightForWidth(field->sizePolicy().hasHeightForWidth());
    field->setSizePolicy(policy);
    if (spec.minWidth > 0)
        field->setMinimumSize(QSize(spec.minWidth, 0));
    if (spec.maxWidth > 0)
        field->setMaximumSize(QSize(spec.maxWidth, QWIDGETSIZE_MAX));
    QFont font;
    font.setPointSize(spec.pointSize);
    field->setFont(font);
    if (spec.rightAligned)
        field->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    field->setReadOnly(spec.readOnly);
    field->setInputType(spec.type);
    if (spec.degrees)
        field->setSuperScript(QString::fromUtf8("\xCB\x9A"));
    return field;
}

template <class Layout>
Layout* makeLayout(const char* name, int spacing, QWidget* form = nullptr)
{
    auto* layout = form ? new Layout(form) : new Layout();
    if (spacing >= 0)
        layout->setSpacing(spacing);
    layout->setObjectName(QString::fromLatin1(name));
    return layout;
}

// A field of a row and the form's pointer that keeps it.
struct RowField {
    zyrInputWidget** slot;
    FieldSpec spec;
};

// Builds the row's fields in order, sets its stretch factors and adds it to
// its parent layout.
QHBoxLayout* addRow(QWidget* form, QBoxLayout* parent, const char* name, int spacing,
    std::initializer_list<RowField> fields, std::initializer_list<int> stretches)
{
    auto* row = makeLayout<QHBoxLayout>(name, spacing);
    for (const RowField& f : fields) {
        *f.slot = makeField(form, f.spec);
        row->addWidget(*f.slot);
    }
    int index = 0;
    for (int stretch : stretches)
        row->setStretch(index++, stretch);
    parent->addLayout(row);
    return row;
}

QVBoxLayout* startForm(QWidget* form, const char* name, QSize size, int spacing, QMargins margins)
{
    if (form->objectName().isEmpty())
        form->setObjectName(QString::fromLatin1(name));
    form->resize(size);
    auto* top = makeLayout<QVBoxLayout>("verticalLayout", spacing, form);
    top->setContentsMargins(margins);
    return top;
}

QString translated(const char* context, const char* text)
{
    return *text ? QCoreApplication::translate(context, text) : QString();
}

enum ImageReset { NoReset, ResetNormal, ResetBoth };

struct FieldText {
    zyrInputWidget* field;
    const char* text;
    const char* superscript; // null: none set here
};

void retranslateFields(QWidget* form, const char* context, const char* sheet, ImageReset reset,
    std::initializer_list<FieldText> fields)
{
    form->setWindowTitle(QString());
    for (const FieldText& f : fields) {
        f.field->setStyleSheet(translated(context, sheet));
        f.field->setInputMask(QString());
        f.field->setText(translated(context, f.text));
        if (reset != NoReset)
            f.field->setNormalImage(QString());
        if (reset == ResetBoth)
            f.field->setFocusedImage(QString());
        if (f.superscript)
            f.field->setSuperScript(translated(context, f.superscript));
    }
}

void setupZoneForm(Ui_CEZoneForm& ui, QWidget* form, const char* name, bool mgrs)
{
    if (form->objectName().isEmpty())
        form->setObjectName(QString::fromLatin1(name));
    form->resize(240, 123);
    ui.horizontalLayout_3 = makeLayout<QHBoxLayout>("horizontalLayout_3", 1, form);
    ui.horizontalLayout_3->setContentsMargins(3, 9, 1, 9);
    ui.zone = makeField(form, { "zone", zyrInputWidget::ZONE, kPreferred, 0, 0, 16, false, false, false });
    ui.zone->setProperty("ssAlignment", QVariant(int(Qt::AlignLeft | Qt::AlignTop)));
    if (mgrs) {
        ui.zone->setStretchFont(90);
        ui.zone->setScaleFontSize(70);
        ui.zone->setBoldDataFont(true);
    }
    ui.horizontalLayout_3->addWidget(ui.zone);

    ui.verticalLayout = makeLayout<QVBoxLayout>("verticalLayout", -1);
    ui.horizontalLayout_2 = addRow(form, ui.verticalLayout, "horizontalLayout_2", 0,
        { { &ui.longEntry, { "longEntry", zyrInputWidget::EASTING, kExpanding, 0, 0, 18, false, false, false } },
            { &ui.longSign, { "longSign", zyrInputWidget::EASTING_SIGN, kExpanding, 0, 50, 16, false, true, false } } },
        {});
    ui.horizontalLayout = addRow(form, ui.verticalLayout, "horizontalLayout", 0,
        { { &ui.latEntry, { "latEntry", zyrInputWidget::NORTHING, kExpanding, 0, 0, 18, false, false, false } },
            { &ui.latSign, { "latSign", zyrInputWidget::NORTHING_SIGN, kExpanding, 0, 50, 16, false, true, false } } },
        {});
    ui.horizontalLayout_3->addLayout(ui.verticalLayout);
    ui.horizontalLayout_3->setStretch(0, 1);
    ui.horizontalLayout_3->setStretch(1, 3);
}

void retranslateZoneForm(Ui_CEZoneForm& ui, QWidget* form, const char* context, const char* sheet, const char* zone)
{
    retranslateFields(form, context, sheet, ResetNormal,
        { { ui.zone, zone, "Zone" }, { ui.longEntry, "123.45678", nullptr }, { ui.longSign, "E", nullptr },
            { ui.latEntry, "34.12345", nullptr }, { ui.latSign, "N", nullptr } });
}

} // namespace

void Ui_CELatLongDD::setupUi(QWidget* form)
{
    verticalLayout = startForm(form, "CELatLongDD", QSize(240, 120), 3, QMargins(3, 9, 1, 9));
    horizontalLayout_3 = addRow(form, verticalLayout, "horizontalLayout_3", 3,
        { { &latDD, { "latDD", zyrInputWidget::LAT_DEG, kPreferred, 0, 0, 18, true, false, true } },
            { &latSign, { "latSign", zyrInputWidget::NORTHING_SIGN, kExpanding, 0, 50, 16, false, false, false } } },
        { 4, 1 });
    horizontalLayout_2 = addRow(form, verticalLayout, "horizontalLayout_2", 3,
        { { &longDD, { "longDD", zyrInputWidget::LON_DEG, kPreferred, 0, 0, 18, true, false, true } },
            { &longSign, { "longSign", zyrInputWidget::EASTING_SIGN, kExpanding, 0, 50, 16, false, false, false } } },
        { 4, 1 });
    latDD->setAccuracy(0);
    longDD->setAccuracy(0);
    retranslateUi(form);
    QMetaObject::connectSlotsByName(form);
}

void Ui_CELatLongDD::retranslateUi(QWidget* form)
{
    retranslateFields(form, "CELatLongDD", kPlainSheet, ResetBoth,
        { { latDD, "", nullptr }, { latSign, "N", nullptr }, { longDD, "", nullptr }, { longSign, "W", nullptr } });
}

void Ui_CELatLongDDMMMMM::setupUi(QWidget* form)
{
    verticalLayout = startForm(form, "CELatLongDDMMMMM", QSize(241, 138), 3, QMargins(3, -1, 1, -1));
    horizontalLayout_3 = addRow(form, verticalLayout, "horizontalLayout_3", 3,
        { { &latDD, { "latDD", zyrInputWidget::LAT_DEG, kExpanding, 0, 0, 18, true, false, true } },
            { &latMM, { "latMM", zyrInputWidget::LAT_MIN, kExpanding, 0, 0, 18, true, false, false } },
            { &latSign, { "latSign", zyrInputWidget::NORTHING_SIGN, kExpanding, 0, 50, 16, false, false, false } } },
        { 1, 2, 1 });
    horizontalLayout_2 = addRow(form, verticalLayout, "horizontalLayout_2", 3,
        { { &longDD, { "longDD", zyrInputWidget::LON_DEG, kExpanding, 0, 0, 18, true, false, true } },
            { &longMM, { "longMM", zyrInputWidget::LON_MIN, kExpanding, 0, 0, 18, true, false, false } },
            { &longSign, { "longSign", zyrInputWidget::EASTING_SIGN, kExpanding, 0, 50, 16, false, false, false } } },
        { 1, 2, 1 });
    retranslateUi(form);
    QMetaObject::connectSlotsByName(form);
}

void Ui_CELatLongDDMMMMM::retranslateUi(QWidget* form)
{
    retranslateFields(form, "CELatLongDDMMMMM", kPlainSheet, NoReset,
        { { latDD, "", nullptr }, { latMM, "", "'" }, { latSign, "N", nullptr }, { longDD, "", nullptr },
            { longMM, "", "'" }, { longSign, "W", nullptr } });
}

void Ui_CELatLongDDMMSS::setupUi(QWidget* form)
{
    verticalLayout = startForm(form, "CELatLongDDMMSS", QSize(292, 138), 3, QMargins(3, -1, 1, -1));
    horizontalLayout_3 = addRow(form, verticalLayout, "horizontalLayout_3", 0,
        { { &latDD, { "latDD", zyrInputWidget::LAT_DEG, kMinExpanding, 10, 48, 18, true, false, true } },
            { &latMM, { "latMM", zyrInputWidget::LAT_MIN, kMinExpanding, 10, 44, 18, true, false, false } },
            { &latSS, { "latSS", zyrInputWidget::LAT_SEC, kMinExpanding, 10, 0, 18, true, false, false } },
            { &latSign, { "latSign", zyrInputWidget::NORTHING_SIGN, kMinExpanding, 10, 40, 16, false, false, false } } },
        { 2, 1, 2, 1 });
    horizontalLayout_2 = addRow(form, verticalLayout, "horizontalLayout_2", 0,
        { { &longDD, { "longDD", zyrInputWidget::LON_DEG, kMinExpanding, 10, 48, 18, true, false, true } },
            { &longMM, { "longMM", zyrInputWidget::LON_MIN, kMinExpanding, 10, 44, 18, true, false, false } },
            { &longSS, { "longSS", zyrInputWidget::LON_SEC, kMinExpanding, 10, 0, 18, true, false, false } },
            { &longSign, { "longSign", zyrInputWidget::EASTING_SIGN, kMinExpanding, 10, 40, 16, false, false, false } } },
        { 2, 1, 2, 1 });
    retranslateUi(form);
    QMetaObject::connectSlotsByName(form);
}

void Ui_CELatLongDDMMSS::retranslateUi(QWidget* form)
{
    retranslateFields(form, "CELatLongDDMMSS", kPlainSheet, NoReset,
        { { latDD, "", nullptr }, { latMM, "", "'" }, { latSS, "", "\"" }, { latSign, "N", nullptr },
            { longDD, "", nullptr }, { longMM, "", "'" }, { longSS, "", "\"" }, { longSign, "W", nullptr } });
}

void Ui_CEZoneEN::setupUi(QWidget* form)
{
    setupZoneForm(*this, form, "CEZoneEN", false);
    retranslateUi(form);
    QMetaObject::connectSlotsByName(form);
}

void Ui_CEZoneEN::retranslateUi(QWidget* form)
{
    retranslateZoneForm(*this, form, "CEZoneEN", kPlainSheet, "12J");
}

void Ui_CEMgrs::setupUi(QWidget* form)
{
    setupZoneForm(*this, form, "CEMgrs", true);
    retranslateUi(form);
    QMetaObject::connectSlotsByName(form);
}

void Ui_CEMgrs::retranslateUi(QWidget* form)
{
    retranslateZoneForm(*this, form, "CEMgrs", kFocusSheet, "00WWW");
}

void Ui_CENumeric::setupUi(QWidget* form)
{
    verticalLayout = startForm(form, "CENumeric", QSize(240, 64), 3, QMargins(3, -1, 1, -1));
    numEntry = makeField(form, { "numEntry", zyrInputWidget::NUMERIC, kExpanding, 0, 0, 18, false, false, false });
    verticalLayout->addWidget(numEntry);
    retranslateUi(form);
    QMetaObject::connectSlotsByName(form);
}

void Ui_CENumeric::retranslateUi(QWidget* form)
{
    retranslateFields(form, "CENumeric", kPlainSheet, ResetNormal, { { numEntry, "34.12345", nullptr } });
}
