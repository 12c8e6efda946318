#include "zyr_widget_test.h"

#include "controls/core/ZyrIcon.h"
#include "controls/core/ZyrelleControls.h"
#include "controls/keyboard/zyrCoordEntryForms.h"
#include "controls/keyboard/zyrCoordEntryWidget.h"
#include "controls/keyboard/zyrInputWidget.h"

#include <QApplication>
#include <QDoubleValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QSignalSpy>
#include <QTest>
#include <QTranslator>

#include <gtest/gtest.h>

#include <functional>

namespace {

using namespace zyrtest;
using IT = zyrInputWidget::InputType;
using CW = zyrCoordEntryWidget;

struct Keypad {
    explicit Keypad(bool on) { ZyrelleControls::SetKeypadNavigation(on); }
    ~Keypad() { ZyrelleControls::SetKeypadNavigation(false); }
};

const QString kDegrees = QString::fromUtf8("\xCB\x9A");
const char kPlainSheet[] = "QLineEdit\n{ \n\tborder-style: none;\n\tbackground-color: rgba(0, 0, 0, 0);\n}\n";
const char kFocusSheet[] = "QLineEdit::focus\n{ \n\tborder-style: none;\n\tbackground-color: rgba(0, 0, 0, 0);\n}\n"
                           "QLineEdit\n{ \n\tborder-style: none;\n\tbackground-color: rgba(0, 0, 0, 0);\n}\n";

zyrInputWidget* fieldOf(QWidget* form, const char* name)
{
    return form->findChild<zyrInputWidget*>(QString::fromLatin1(name));
}

// The changed-position underline (#FB7000 at alpha 200 over the light
// window background).
bool isOrange(const QColor& c)
{
    return c.red() > 200 && c.green() > 100 && c.green() < 180 && c.blue() < 100;
}

bool isGreen(const QColor& c)
{
    return c.green() - c.red() > 60 && c.green() - c.blue() > 60;
}

bool isDark(const QColor& c)
{
    return c.lightness() < 80;
}

bool anyPixel(const QImage& image, const QRect& area, const std::function<bool(const QColor&)>& test)
{
    const QRect r = area & image.rect();
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (test(image.pixelColor(x, y)))
                return true;
    return false;
}

struct FormCase {
    const char* form;
    std::function<void(QWidget*)> setup;
    QSize size;
    const char* sheet;
};

struct FieldRow {
    const char* form;
    const char* name;
    IT type;
    int pointSize;
    int maxWidth; // QWIDGETSIZE_MAX: none
    int minWidth;
    bool rightAligned;
    bool readOnly;
    const char* text;
    QString superscript;
};

const int kNone = QWIDGETSIZE_MAX;

const FieldRow kFieldRows[] = {
    { "CELatLongDD", "latDD", zyrInputWidget::LAT_DEG, 18, kNone, 0, true, false, "", kDegrees },
    { "CELatLongDD", "latSign", zyrInputWidget::NORTHING_SIGN, 16, 50, 0, false, false, "N", QString() },
    { "CELatLongDD", "longDD", zyrInputWidget::LON_DEG, 18, kNone, 0, true, false, "", kDegrees },
    { "CELatLongDD", "longSign", zyrInputWidget::EASTING_SIGN, 16, 50, 0, false, false, "W", QString() },
    { "CELatLongDDMMMMM", "latDD", zyrInputWidget::LAT_DEG, 18, kNone, 0, true, false, "", kDegrees },
    { "CELatLongDDMMMMM", "latMM", zyrInputWidget::LAT_MIN, 18, kNone, 0, true, false, "", "'" },
    { "CELatLongDDMMMMM", "latSign", zyrInputWidget::NORTHING_SIGN, 16, 50, 0, false, false, "N", QString() },
    { "CELatLongDDMMMMM", "longDD", zyrInputWidget::LON_DEG, 18, kNone, 0, true, false, "", kDegrees },
    { "CELatLongDDMMMMM", "longMM", zyrInputWidget::LON_MIN, 18, kNone, 0, true, false, "", "'" },
    { "CELatLongDDMMMMM", "longSign", zyrInputWidget::EASTING_SIGN, 16, 50, 0, false, false, "W", QString() },
    { "CELatLongDDMMSS", "latDD", zyrInputWidget::LAT_DEG, 18, 48, 10, true, false, "", kDegrees },
    { "CELatLongDDMMSS", "latMM", zyrInputWidget::LAT_MIN, 18, 44, 10, true, false, "", "'" },
    { "CELatLongDDMMSS", "latSS", zyrInputWidget::LAT_SEC, 18, kNone, 10, true, false, "", "\"" },
    { "CELatLongDDMMSS", "latSign", zyrInputWidget::NORTHING_SIGN, 16, 40, 10, false, false, "N", QString() },
    { "CELatLongDDMMSS", "longDD", zyrInputWidget::LON_DEG, 18, 48, 10, true, false, "", kDegrees },
    { "CELatLongDDMMSS", "longMM", zyrInputWidget::LON_MIN, 18, 44, 10, true, false, "", "'" },
    { "CELatLongDDMMSS", "longSS", zyrInputWidget::LON_SEC, 18, kNone, 10, true, false, "", "\"" },
    { "CELatLongDDMMSS", "longSign", zyrInputWidget::EASTING_SIGN, 16, 40, 10, false, false, "W", QString() },
    { "CEZoneEN", "zone", zyrInputWidget::ZONE, 16, kNone, 0, false, false, "12J", "Zone" },
    { "CEZoneEN", "longEntry", zyrInputWidget::EASTING, 18, kNone, 0, false, false, "123.45678", QString() },
    { "CEZoneEN", "longSign", zyrInputWidget::EASTING_SIGN, 16, 50, 0, false, true, "E", QString() },
    { "CEZoneEN", "latEntry", zyrInputWidget::NORTHING, 18, kNone, 0, false, false, "34.12345", QString() },
    { "CEZoneEN", "latSign", zyrInputWidget::NORTHING_SIGN, 16, 50, 0, false, true, "N", QString() },
    { "CEMgrs", "zone", zyrInputWidget::ZONE, 16, kNone, 0, false, false, "00WWW", "Zone" },
    { "CEMgrs", "longEntry", zyrInputWidget::EASTING, 18, kNone, 0, false, false, "123.45678", QString() },
    { "CEMgrs", "longSign", zyrInputWidget::EASTING_SIGN, 16, 50, 0, false, true, "E", QString() },
    { "CEMgrs", "latEntry", zyrInputWidget::NORTHING, 18, kNone, 0, false, false, "34.12345", QString() },
    { "CEMgrs", "latSign", zyrInputWidget::NORTHING_SIGN, 16, 50, 0, false, true, "N", QString() },
    { "CENumeric", "numEntry", zyrInputWidget::NUMERIC, 18, kNone, 0, false, false, "34.12345", QString() },
};

std::vector<FormCase> formCases()
{
    return {
        { "CELatLongDD", [](QWidget* w) { Ui_CELatLongDD().setupUi(w); }, QSize(240, 120), kFocusSheet },
        { "CELatLongDDMMMMM", [](QWidget* w) { Ui_CELatLongDDMMMMM().setupUi(w); }, QSize(241, 138), kPlainSheet },
        { "CELatLongDDMMSS", [](QWidget* w) { Ui_CELatLongDDMMSS().setupUi(w); }, QSize(292, 138), kPlainSheet },
        // Every field's image reset rebuilds its sheet with the focus rule.
        { "CEZoneEN", [](QWidget* w) { Ui_CEZoneEN().setupUi(w); }, QSize(240, 123), kFocusSheet },
        { "CEMgrs", [](QWidget* w) { Ui_CEMgrs().setupUi(w); }, QSize(240, 123), kFocusSheet },
        { "CENumeric", [](QWidget* w) { Ui_CENumeric().setupUi(w); }, QSize(240, 64), kFocusSheet },
    };
}

TEST(CoordEntryForms, EachFormBuildsItsFieldsAsTabled)
{
    for (const FormCase& form : formCases()) {
        SCOPED_TRACE(form.form);
        QWidget host;
        form.setup(&host);
        EXPECT_EQ(host.objectName(), QString::fromLatin1(form.form));
        EXPECT_EQ(host.size(), form.size);
        EXPECT_TRUE(host.windowTitle().isEmpty());
        host.show();
        host.layout()->activate();
        const QImage image = shot(&host, QStringLiteral("form_") + QString::fromLatin1(form.form));

        int rows = 0;
        for (const FieldRow& row : kFieldRows) {
            if (qstrcmp(row.form, form.form) != 0)
                continue;
            ++rows;
            SCOPED_TRACE(row.name);
            zyrInputWidget* f = fieldOf(&host, row.name);
            ASSERT_NE(f, nullptr);
            EXPECT_EQ(f->parentWidget(), &host);
            EXPECT_EQ(f->inputType(), row.type);
            EXPECT_EQ(f->font().pointSize(), row.pointSize);
            EXPECT_EQ(f->maximumWidth(), row.maxWidth);
            EXPECT_GE(f->width(), row.minWidth);
            EXPECT_LE(f->width(), row.maxWidth);
            EXPECT_EQ(f->alignment(), row.rightAligned ? Qt::AlignRight | Qt::AlignVCenter : Qt::AlignCenter);
            EXPECT_EQ(f->isReadOnly(), row.readOnly);
            EXPECT_EQ(f->text(), QString::fromUtf8(row.text));
            EXPECT_TRUE(f->inputMask().isEmpty());
            EXPECT_EQ(f->superScript(), row.superscript);
            EXPECT_EQ(f->styleSheet(), QString::fromLatin1(form.sheet));
            EXPECT_TRUE(f->normalImage().isEmpty());
            // An editable field draws its sample text with the changed
            // underline; a read-only one has no underline, an empty one
            // none either.
            const QRect area = f->geometry();
            EXPECT_EQ(anyPixel(image, area, isOrange), *row.text != '\0' && !row.readOnly);
            if (*row.text) {
                EXPECT_TRUE(anyPixel(image, area, isDark)) << "the text is drawn";
            }
        }
        EXPECT_EQ(rows, host.findChildren<zyrInputWidget*>().size());
    }
}

TEST(CoordEntryForms, LayoutValuesAndTheZoneFieldsExtras)
{
    QWidget dd;
    dd.setObjectName(QStringLiteral("mine"));
    Ui_CELatLongDD ddUi;
    ddUi.setupUi(&dd);
    EXPECT_EQ(dd.objectName(), QStringLiteral("mine")) << "a name already given stays";
    EXPECT_EQ(ddUi.verticalLayout->spacing(), 3);
    EXPECT_EQ(ddUi.verticalLayout->contentsMargins(), QMargins(3, 9, 1, 9));
    EXPECT_EQ(ddUi.horizontalLayout_3->stretch(0), 4);
    EXPECT_EQ(ddUi.horizontalLayout_3->stretch(1), 1);
    EXPECT_EQ(ddUi.latDD->sizePolicy().horizontalPolicy(), QSizePolicy::Preferred);
    EXPECT_EQ(ddUi.latSign->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);

    QWidget ss;
    Ui_CELatLongDDMMSS ssUi;
    ssUi.setupUi(&ss);
    EXPECT_EQ(ssUi.horizontalLayout_2->spacing(), 0);
    EXPECT_EQ(ssUi.horizontalLayout_2->stretch(2), 2);
    EXPECT_EQ(ssUi.longSS->sizePolicy().horizontalPolicy(), QSizePolicy::MinimumExpanding);

    QWidget zoneEN, mgrs;
    Ui_CEZoneEN zoneUi;
    zoneUi.setupUi(&zoneEN);
    Ui_CEMgrs mgrsUi;
    mgrsUi.setupUi(&mgrs);
    for (QBoxLayout* top : { zoneUi.horizontalLayout_3, mgrsUi.horizontalLayout_3 }) {
        EXPECT_EQ(top->spacing(), 1);
        EXPECT_EQ(top->stretch(0), 1);
        EXPECT_EQ(top->stretch(1), 3);
        EXPECT_EQ(top->itemAt(1)->layout(), top == zoneUi.horizontalLayout_3 ? static_cast<QLayout*>(zoneUi.verticalLayout)
                                                                           : mgrsUi.verticalLayout);
    }
    EXPECT_EQ(zoneUi.verticalLayout->itemAt(0)->layout(), zoneUi.horizontalLayout_2) << "easting above northing";
    EXPECT_EQ(zoneUi.horizontalLayout_2->itemAt(0)->widget(), zoneUi.longEntry);
    EXPECT_EQ(zoneUi.zone->ssAlignment(), Qt::AlignLeft | Qt::AlignTop);
    EXPECT_EQ(mgrsUi.zone->ssAlignment(), Qt::AlignLeft | Qt::AlignTop);
    EXPECT_EQ(zoneUi.zone->scaleFontSize(), 100);
    EXPECT_FALSE(zoneUi.zone->boldDataFont());
    EXPECT_EQ(mgrsUi.zone->stretchFont(), 90);
    EXPECT_EQ(mgrsUi.zone->scaleFontSize(), 70);
    EXPECT_TRUE(mgrsUi.zone->boldDataFont());
}

// Translates the one context it is made for.
class ContextTranslator : public QTranslator {
public:
    ContextTranslator(const char* context, QMap<QString, QString> texts)
        : m_context(context)
        , m_texts(std::move(texts))
    {
    }
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* source, const char*, int) const override
    {
        if (qstrcmp(context, m_context) != 0)
            return QString();
        return m_texts.value(QString::fromUtf8(source));
    }

private:
    const char* m_context;
    QMap<QString, QString> m_texts;
};

TEST(CoordEntryForms, ATranslatorForOneFormChangesThatFormOnly)
{
    ContextTranslator translator("CEMgrs",
        { { "Zone", "Zn" }, { "00WWW", "33UXP" }, { "E", "O" }, { "N", "B" }, { "123.45678", "9.5" } });
    QCoreApplication::installTranslator(&translator);
    QWidget mgrs, zoneEN, dd;
    Ui_CEMgrs().setupUi(&mgrs);
    Ui_CEZoneEN().setupUi(&zoneEN);
    Ui_CELatLongDD().setupUi(&dd);
    QCoreApplication::removeTranslator(&translator);

    EXPECT_EQ(fieldOf(&mgrs, "zone")->superScript(), QStringLiteral("Zn"));
    EXPECT_EQ(fieldOf(&mgrs, "zone")->text(), QStringLiteral("33UXP"));
    EXPECT_EQ(fieldOf(&mgrs, "longSign")->text(), QStringLiteral("O"));
    EXPECT_EQ(fieldOf(&mgrs, "latSign")->text(), QStringLiteral("B"));
    EXPECT_EQ(fieldOf(&mgrs, "longEntry")->text(), QStringLiteral("9.5"));
    EXPECT_EQ(fieldOf(&mgrs, "latEntry")->text(), QStringLiteral("34.12345"));

    EXPECT_EQ(fieldOf(&zoneEN, "zone")->superScript(), QStringLiteral("Zone"));
    EXPECT_EQ(fieldOf(&zoneEN, "zone")->text(), QStringLiteral("12J"));
    EXPECT_EQ(fieldOf(&zoneEN, "longSign")->text(), QStringLiteral("E"));
    EXPECT_EQ(fieldOf(&dd, "latSign")->text(), QStringLiteral("N"));
    EXPECT_EQ(fieldOf(&dd, "latDD")->superScript(), kDegrees) << "the degree sign is not translated";
}

QList<int> typesOf(const QVector<CoordData>& coords)
{
    QList<int> types;
    for (const CoordData& c : coords)
        types << c.type;
    return types;
}

TEST(CoordEntryWidget, ANewWidgetShowsTheDegreesForm)
{
    CW w;
    EXPECT_EQ(w.coordType(), CW::LAT_LONG_DD);
    EXPECT_EQ(w.coordSubType(), CW::LAT_LONG);
    EXPECT_EQ(w.objectName(), QStringLiteral("CELatLongDD"));
    EXPECT_TRUE(w.windowTitle().isEmpty());
    EXPECT_TRUE(w.modifiable());
    EXPECT_FALSE(w.readOnly());
    const QVector<CoordData> coords = w.getCoords();
    EXPECT_EQ(typesOf(coords), QList<int>({ 1, 4, 7, 8 }));
    const char* texts[] = { "", "", "N", "W" };
    for (int i = 0; i < coords.size(); ++i) {
        EXPECT_EQ(coords[i].text, QString::fromLatin1(texts[i]));
        EXPECT_EQ(coords[i].top, 2147483648.0f) << "no validator yet";
        EXPECT_EQ(coords[i].bottom, -2147483648.0f);
        EXPECT_EQ(coords[i].decimals, 0);
    }
    for (const char* name : { "latDD", "latSign", "longDD", "longSign" })
        EXPECT_FALSE(fieldOf(&w, name)->isHidden()) << name;

    const CoordData blank;
    EXPECT_EQ(blank.top, 2147483648.0f);
    EXPECT_EQ(blank.bottom, -2147483648.0f);
    EXPECT_EQ(blank.decimals, 6);
    EXPECT_EQ(blank.type, zyrInputWidget::ZONE);
}

TEST(CoordEntryWidget, EachTypeBuildsItsFormAndKeepsTheSize)
{
    CW w;
    w.resize(300, 90);
    QSignalSpy changed(&w, SIGNAL(coordTypeChanged(CoordType)));
    ASSERT_TRUE(changed.isValid());
    const struct {
        CW::CoordType type;
        QList<int> types;
        CW::CoordSubType subType;
    } cases[] = {
        { CW::LAT_LONG_DD_MMMMM, { 1, 2, 4, 5, 7, 8 }, CW::LAT_LONG },
        { CW::LAT_LONG_DD_MM_SSS, { 1, 2, 3, 4, 5, 6, 7, 8 }, CW::LAT_LONG },
        { CW::ZONE_NORTHING_EASTING, { 0, 7, 8, 9, 10 }, CW::NOT_USED },
        { CW::MGRS_USNG, { 0, 7, 8, 9, 10 }, CW::NOT_USED },
        { CW::NUMERIC_COORD, { 11 }, CW::NOT_USED },
        { CW::LAT_LONG_DD, { 1, 4, 7, 8 }, CW::LAT_LONG },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.type));
        changed.clear();
        w.setCoordType(c.type);
        EXPECT_EQ(w.coordType(), c.type);
        EXPECT_EQ(w.coordSubType(), c.subType);
        EXPECT_EQ(typesOf(w.getCoords()), c.types);
        EXPECT_EQ(w.size(), QSize(300, 90));
        ASSERT_EQ(changed.size(), 1);
        EXPECT_EQ(changed[0][0].value<CW::CoordType>(), c.type);
        EXPECT_EQ(w.objectName(), QStringLiteral("CELatLongDD")) << "named once, by the first form";
    }

    // The same type again: nothing happens, texts stay.
    w.edited(zyrInputWidget::NORTHING_SIGN, QStringLiteral("S"));
    changed.clear();
    w.setCoordType(CW::LAT_LONG_DD);
    EXPECT_TRUE(changed.isEmpty());
    EXPECT_EQ(fieldOf(&w, "latSign")->text(), QStringLiteral("S"));

    // No such type: no fields, but the type is stored and reported.
    w.setCoordType(CW::NUM_COORD_TYPES);
    EXPECT_EQ(changed.size(), 1);
    EXPECT_EQ(w.coordType(), CW::NUM_COORD_TYPES);
    EXPECT_TRUE(w.getCoords().isEmpty());
    EXPECT_TRUE(w.findChildren<zyrInputWidget*>().isEmpty());
    w.setCoords({ CoordData(zyrInputWidget::LAT_DEG, "1", "", 0, false, false, 9, -9, 2) });
    w.setReadOnly(true);
    EXPECT_FALSE(w.isModified());
}

TEST(CoordEntryWidget, ATypeChangeReplacesEveryChildAndAppliesTheWidgetsSettings)
{
    CW w;
    QPointer<QLabel> hostChild = new QLabel(&w);
    QFont font = w.font();
    font.setPointSize(20);
    w.setFont(font);
    w.setReadOnly(true);
    w.setNormalPromptImage(QStringLiteral("/no/such/normal.png"));
    w.setFocusedPromptImage(QStringLiteral("/no/such/focused.png"));
    w.setCoordType(CW::MGRS_USNG);
    EXPECT_TRUE(hostChild.isNull());
    for (zyrInputWidget* f : w.findChildren<zyrInputWidget*>()) {
        SCOPED_TRACE(f->objectName().toStdString());
        EXPECT_TRUE(f->isReadOnly());
        EXPECT_EQ(f->normalImage(), QStringLiteral("/no/such/normal.png"));
        EXPECT_EQ(f->focusedImage(), QStringLiteral("/no/such/focused.png"));
        // The zone field is scaled to 70 % of the widget's font.
        EXPECT_EQ(f->font().pointSize(), f->objectName() == QStringLiteral("zone") ? 14 : 20);
    }
    w.setReadOnly(false);
    EXPECT_FALSE(fieldOf(&w, "latSign")->isReadOnly()) << "the widget's flag replaces the form's";
}

TEST(CoordEntryWidget, CoordsRoundTripWithFloatBoundsAndTheFieldsAccuracy)
{
    CW w;
    w.setCoordType(CW::LAT_LONG_DD_MM_SSS);
    fieldOf(&w, "latDD")->setAccuracy(3);
    const double precise = 90.123456789;
    const QVector<CoordData> given = {
        CoordData(zyrInputWidget::ZONE, "33U", "", 0, false, false, 1, 0, 0), // no such field here
        CoordData(zyrInputWidget::LAT_DEG, "47", "99", 9, true, false, float(precise), -float(precise), 0),
        CoordData(zyrInputWidget::LAT_MIN, "05", "99", 9, false, true, 59.99f, 0.0f, 2),
        CoordData(zyrInputWidget::LON_SEC, "30.5", "99.9", 0, false, false, 60, 0, 1),
        CoordData(zyrInputWidget::NORTHING_SIGN, "S", "A", 0, false, false, 1e9f, -1e9f, 0),
    };
    w.setCoords(given);

    const QVector<CoordData> back = w.getCoords();
    ASSERT_EQ(typesOf(back), QList<int>({ 1, 2, 3, 4, 5, 6, 7, 8 }));
    const CoordData& deg = back[0];
    EXPECT_EQ(deg.text, QStringLiteral("47"));
    EXPECT_EQ(deg.inputMask, QStringLiteral("99"));
    EXPECT_EQ(deg.top, float(precise)) << "narrowed to float";
    EXPECT_EQ(deg.bottom, -float(precise));
    EXPECT_EQ(deg.decimals, 0);
    EXPECT_EQ(deg.accuracy, 3) << "the field's own, not the record's";
    EXPECT_TRUE(deg.readOnly);
    EXPECT_FALSE(deg.atomicContent);
    EXPECT_EQ(back[1].text, QStringLiteral("05"));
    EXPECT_TRUE(back[1].atomicContent);
    EXPECT_EQ(back[1].top, 59.99f);
    EXPECT_EQ(back[1].decimals, 2);
    EXPECT_EQ(back[6].text, QStringLiteral("S"));
    EXPECT_EQ(back[2].text, QString()) << "fields without a record are emptied";
    EXPECT_EQ(back[2].decimals, 0) << "and have no validator";
    EXPECT_EQ(back[7].text, QString());
    EXPECT_EQ(fieldOf(&w, "latDD")->originalText(), QStringLiteral("47"));
    EXPECT_EQ(fieldOf(&w, "latDD")->font().family(), QStringLiteral("Arial"));
    EXPECT_EQ(fieldOf(&w, "longSS")->font().family(), QStringLiteral("Arial")) << "the last of the six";
    EXPECT_NE(fieldOf(&w, "latSign")->font().family(), QStringLiteral("Arial"));
    EXPECT_FALSE(w.isModified());
    w.resize(292, 138);
    w.show();
    const QImage image = shot(&w, "coord_dms");
    EXPECT_TRUE(anyPixel(image, fieldOf(&w, "latMM")->geometry(), isGreen)) << "unchanged against the original";
    EXPECT_FALSE(anyPixel(image, fieldOf(&w, "latMM")->geometry(), isOrange));

    // A record's read-only lasts until the next setReadOnly.
    w.setReadOnly(true);
    EXPECT_TRUE(fieldOf(&w, "latMM")->isReadOnly());
    w.setReadOnly(false);
    EXPECT_FALSE(fieldOf(&w, "latDD")->isReadOnly());

    fieldOf(&w, "latMM")->setText(QStringLiteral("06"));
    EXPECT_TRUE(w.isModified());
}

TEST(CoordEntryWidget, AReplacedValidatorIsDeletedButNotOneTheHostOwns)
{
    CW w;
    const QVector<CoordData> coords = { CoordData(zyrInputWidget::LAT_DEG, "12", "", 0, false, false, 90, -90, 0) };
    w.setCoords(coords);
    QPointer<const QValidator> first = fieldOf(&w, "latDD")->validator();
    ASSERT_FALSE(first.isNull());
    w.setCoords(coords);
    EXPECT_TRUE(first.isNull());
    EXPECT_NE(fieldOf(&w, "latDD")->validator(), nullptr);

    QDoubleValidator hostOwned(0, 1, 1);
    fieldOf(&w, "longDD")->setValidator(&hostOwned);
    w.setCoords({});
    EXPECT_EQ(fieldOf(&w, "longDD")->validator(), nullptr);
    EXPECT_EQ(fieldOf(&w, "latDD")->validator(), nullptr);
}

TEST(CoordEntryWidget, SubTypesShowAndHideTheLatitudeAndLongitudeFields)
{
    const struct {
        CW::CoordType type;
        CW::CoordSubType subType;
        QStringList shown;
        QStringList hidden;
    } cases[] = {
        { CW::LAT_LONG_DD, CW::LAT_ONLY, { "latDD", "latSign" }, { "longDD", "longSign" } },
        { CW::LAT_LONG_DD_MM_SSS, CW::LONG_ONLY, { "longDD", "longMM", "longSS", "longSign" },
            { "latDD", "latMM", "latSS", "latSign" } },
        { CW::MGRS_USNG, CW::LAT_ONLY, { "latSign", "zone", "latEntry", "longEntry" }, { "longSign" } },
        { CW::ZONE_NORTHING_EASTING, CW::LONG_ONLY, { "longSign", "zone" }, { "latSign" } },
        { CW::NUMERIC_COORD, CW::LAT_ONLY, { "numEntry" }, {} },
        { CW::LAT_LONG_DD_MMMMM, CW::NOT_USED, { "latDD", "latMM", "latSign", "longDD", "longMM", "longSign" }, {} },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.type) * 10 + int(c.subType));
        CW w;
        w.setCoordType(c.type);
        w.setCoordSubType(c.subType);
        EXPECT_EQ(w.coordSubType(), c.subType);
        for (const QString& name : c.shown)
            EXPECT_FALSE(fieldOf(&w, qPrintable(name))->isHidden()) << name.toStdString();
        for (const QString& name : c.hidden)
            EXPECT_TRUE(fieldOf(&w, qPrintable(name))->isHidden()) << name.toStdString();
    }

    CW w;
    w.setCoordSubType(CW::LONG_ONLY);
    w.setCoordType(CW::LAT_LONG_DD_MMMMM);
    EXPECT_EQ(w.coordSubType(), CW::LAT_LONG);
    for (zyrInputWidget* f : w.findChildren<zyrInputWidget*>())
        EXPECT_FALSE(f->isHidden()) << f->objectName().toStdString();
}

TEST(CoordEntryWidget, ATapIsAReleaseLessThanFifteenPixelsFromItsPress)
{
    CW w;
    w.resize(240, 120);
    w.show();
    QSignalSpy clicked(&w, SIGNAL(clicked()));
    const struct {
        const char* target; // null: the widget itself
        QPoint move;
        int clicks;
        bool readOnly;
    } cases[] = {
        { nullptr, QPoint(14, 0), 1, false },
        { nullptr, QPoint(15, 0), 0, false },
        { nullptr, QPoint(7, 7), 1, true },
        { nullptr, QPoint(-8, 7), 0, true },
        { "latDD", QPoint(0, 14), 1, false },
        { "latDD", QPoint(15, 0), 0, false },
        { "longSign", QPoint(-7, -7), 1, false },
        { "longSign", QPoint(8, 7), 0, true },
        { "longDD", QPoint(10, 4), 1, true },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.target ? c.target : "widget") + " " + std::to_string(c.move.x()) + ","
            + std::to_string(c.move.y()));
        w.setReadOnly(c.readOnly);
        QWidget* target = c.target ? static_cast<QWidget*>(fieldOf(&w, c.target)) : &w;
        const QPoint press = c.target ? target->rect().center() : QPoint(1, 60);
        clicked.clear();
        QTest::mousePress(target, Qt::LeftButton, Qt::NoModifier, press);
        QTest::mouseRelease(target, Qt::LeftButton, Qt::NoModifier, press + c.move);
        EXPECT_EQ(clicked.size(), c.clicks);
    }
}

QRgb over(const QColor& top, const QColor& bottom)
{
    const double a = top.alphaF();
    return qRgb(int(top.red() * a + bottom.red() * (1 - a)), int(top.green() * a + bottom.green() * (1 - a)),
        int(top.blue() * a + bottom.blue() * (1 - a)));
}

bool near(QRgb a, QRgb b)
{
    return qAbs(qRed(a) - qRed(b)) <= 6 && qAbs(qGreen(a) - qGreen(b)) <= 6 && qAbs(qBlue(a) - qBlue(b)) <= 6;
}

TEST(CoordEntryWidget, ReadOnlyAndModifiableItPaintsLikeAButton)
{
    CW w;
    w.resize(240, 120);
    w.show();
    const QColor window = w.palette().color(QPalette::Window);
    // Left margin: no field covers it. Top and bottom rows of the gradient.
    const QPoint top(1, 2), bottom(1, 117);

    QImage plain = shot(&w, "coord_editable");
    EXPECT_TRUE(near(plain.pixel(top), window.rgb()));

    w.setReadOnly(true);
    QImage rest = shot(&w, "coord_read_only");
    EXPECT_TRUE(near(rest.pixel(top), over(QColor(128, 128, 128, 100), window)));
    EXPECT_TRUE(near(rest.pixel(bottom), over(QColor(255, 255, 255, 100), window)));

    QTest::mousePress(&w, Qt::LeftButton, Qt::NoModifier, QPoint(1, 60));
    QImage pressed = shot(&w, "coord_pressed");
    QTest::mouseRelease(&w, Qt::LeftButton, Qt::NoModifier, QPoint(1, 60));
    EXPECT_TRUE(near(pressed.pixel(top), over(QColor(236, 132, 38, 200), window)));
    EXPECT_TRUE(near(pressed.pixel(bottom), over(QColor(255, 255, 128, 200), window)));

    w.setModifiable(false);
    EXPECT_TRUE(near(shot(&w, "coord_not_modifiable").pixel(top), window.rgb()));

    w.setBkgdImage(solid(10, 10, QColor(0, 0, 200)));
    const QImage image = shot(&w, "coord_background");
    EXPECT_EQ(image.pixel(top), qRgb(0, 0, 200)) << "stretched over the whole widget";
    EXPECT_EQ(image.pixel(bottom), qRgb(0, 0, 200));
}

TEST(CoordEntryWidget, OneFieldEditsAtATimeAndReportsItsRecord)
{
    CW w;
    w.resize(240, 120);
    w.show();
    w.setCoords({ CoordData(zyrInputWidget::LAT_DEG, "47", "99", 0, false, false, 90, -90, 0),
        CoordData(zyrInputWidget::LON_DEG, "008", "999", 0, false, false, 180, -180, 0) });
    QSignalSpy editing(&w, SIGNAL(editing(CoordData, QString)));
    zyrInputWidget* lat = fieldOf(&w, "latDD");
    QPointer<zyrInputWidget> lon = fieldOf(&w, "longDD");

    QTest::mouseClick(lat, Qt::LeftButton);
    ASSERT_EQ(editing.size(), 1);
    const CoordData record = editing[0][0].value<CoordData>();
    EXPECT_EQ(record.type, zyrInputWidget::LAT_DEG);
    EXPECT_EQ(record.text, QStringLiteral("47"));
    EXPECT_EQ(record.top, 90.0f);
    EXPECT_EQ(editing[0][1].toString(), kDegrees);
    EXPECT_EQ(w.getCurrentInput(), lat);

    // A second setModifiable(true) does not double the reports.
    w.setModifiable(true);
    QTest::mouseClick(lon, Qt::LeftButton);
    EXPECT_EQ(editing.size(), 2);
    EXPECT_FALSE(lat->isEditing()) << "the previous field finished first";
    EXPECT_TRUE(lon->isEditing());
    EXPECT_EQ(w.getCurrentInput(), lon);

    delete lon.data();
    EXPECT_TRUE(w.getCurrentInput().isNull());

    w.edited(zyrInputWidget::LAT_DEG, QStringLiteral("48"));
    EXPECT_EQ(lat->text(), QStringLiteral("48"));
    EXPECT_EQ(w.focusWidget(), lat);
    w.edited(zyrInputWidget::ZONE, QStringLiteral("33U")); // no such field: nothing

    // Not modifiable at a type change: the new fields report nothing.
    w.setModifiable(false);
    w.setCoordType(CW::NUMERIC_COORD);
    editing.clear();
    QTest::mouseClick(fieldOf(&w, "numEntry"), Qt::LeftButton);
    EXPECT_TRUE(editing.isEmpty());
    EXPECT_TRUE(w.getCurrentInput().isNull());
}

// A host connects by the signatures as the widget documents them.
class Host : public QObject {
    Q_OBJECT
public:
    typedef zyrInputWidget::InputType InputType;
    typedef zyrCoordEntryWidget::CoordType CoordType;
    QList<int> editedTypes, changedTypes;
signals:
    void edited(InputType type, QString text);
    void editCoord(InputType type, QString text, QString mask, QString superscript);
public slots:
    void onEditing(InputType type, QString, QString, QString) { editedTypes << type; }
    void onCoordTypeChanged(CoordType type) { changedTypes << type; }
};

TEST(CoordEntryWidget, HostsConnectByTheDocumentedSignatures)
{
    CW w;
    Host host;
    zyrInputWidget* lat = fieldOf(&w, "latDD");
    EXPECT_TRUE(QObject::connect(lat, SIGNAL(editing(InputType,QString,QString,QString)), &host,
        SLOT(onEditing(InputType,QString,QString,QString))));
    EXPECT_TRUE(QObject::connect(&host, SIGNAL(edited(InputType,QString)), &w, SLOT(edited(InputType,QString))));
    EXPECT_TRUE(QObject::connect(&host, SIGNAL(editCoord(InputType,QString,QString,QString)), &w,
        SLOT(editCoord(InputType,QString,QString,QString))));
    EXPECT_TRUE(
        QObject::connect(&w, SIGNAL(coordTypeChanged(CoordType)), &host, SLOT(onCoordTypeChanged(CoordType))));
    QSignalSpy editing(&w, SIGNAL(editing(CoordData,QString)));

    emit host.edited(zyrInputWidget::LAT_DEG, QStringLiteral("12"));
    EXPECT_EQ(lat->text(), QStringLiteral("12"));
    emit host.editCoord(zyrInputWidget::LAT_DEG, QString(), QString(), QStringLiteral("x"));
    ASSERT_EQ(editing.size(), 1);
    EXPECT_EQ(editing[0][0].value<CoordData>().text, QStringLiteral("12"));
    QTest::mouseClick(lat, Qt::LeftButton);
    EXPECT_EQ(host.editedTypes, QList<int>({ zyrInputWidget::LAT_DEG }));
    EXPECT_EQ(editing.size(), 2) << "the field's own signal reaches the widget's slot";

    // Queued, the types are known by these names too.
    QObject::disconnect(&w, SIGNAL(coordTypeChanged(CoordType)), &host, SLOT(onCoordTypeChanged(CoordType)));
    QObject::connect(&w, SIGNAL(coordTypeChanged(CoordType)), &host, SLOT(onCoordTypeChanged(CoordType)),
        Qt::QueuedConnection);
    w.setCoordType(CW::NUMERIC_COORD);
    QCoreApplication::processEvents();
    EXPECT_EQ(host.changedTypes, QList<int>({ CW::NUMERIC_COORD }));
}

// Up and Down step the letters of fields that setCoords filled (each with a
// number validator) and their digits as before.
TEST(CoordEntryWidget, KeypadStepsLettersAndDigitsOfFieldsItFilled)
{
    Keypad keypad(true);
    struct Case {
        CW::CoordType form;
        const char* name;
        IT type;
        const char* text;
        const char* mask;
        int cursor;
        int key;
        const char* expected;
    };
    const int up = Qt::Key_Up, down = Qt::Key_Down;
    const Case cases[] = {
        { CW::LAT_LONG_DD, "latSign", zyrInputWidget::NORTHING_SIGN, "N", "A", 0, up, "S" },
        { CW::LAT_LONG_DD, "latSign", zyrInputWidget::NORTHING_SIGN, "S", "A", 0, down, "N" },
        { CW::LAT_LONG_DD, "longSign", zyrInputWidget::EASTING_SIGN, "E", "A", 0, up, "W" },
        { CW::LAT_LONG_DD, "longSign", zyrInputWidget::EASTING_SIGN, "W", "A", 0, up, "E" },
        { CW::ZONE_NORTHING_EASTING, "zone", zyrInputWidget::ZONE, "32T", "99A", 2, up, "32U" },
        { CW::MGRS_USNG, "zone", zyrInputWidget::ZONE, "32T", "99A", 1, down, "31T" },
        { CW::LAT_LONG_DD, "latDD", zyrInputWidget::LAT_DEG, "45", "99", 1, up, "46" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + c.text);
        QWidget host;
        auto* w = new CW(&host);
        w->setCoordType(c.form);
        w->setCoords({ CoordData(c.type, c.text, c.mask, 0, false, false, 90, -90, 0) });
        zyrInputWidget* f = fieldOf(w, c.name);
        ASSERT_NE(f->validator(), nullptr);
        f->switchEdit(true);
        f->setCursorPosition(c.cursor);
        QKeyEvent press(QEvent::KeyPress, c.key, Qt::NoModifier);
        f->onArrowKey(&press);
        QKeyEvent release(QEvent::KeyRelease, c.key, Qt::NoModifier);
        f->onArrowKey(&release);
        QString back;
        for (const CoordData& record : w->getCoords())
            if (record.type == c.type)
                back = record.text;
        EXPECT_EQ(back, QString::fromLatin1(c.expected));
    }
}

TEST(CoordEntryWidget, KeypadArrowIconsGoWithEachForm)
{
    Keypad keypad(true);
    QWidget host;
    auto* w = new CW(&host);
    auto icons = [&] { return host.findChildren<ZyrIcon*>().size(); };
    EXPECT_EQ(icons(), 8) << "two per field, in the widget's parent";
    for (CW::CoordType type : { CW::LAT_LONG_DD_MM_SSS, CW::NUMERIC_COORD, CW::MGRS_USNG, CW::LAT_LONG_DD_MMMMM,
             CW::ZONE_NORTHING_EASTING, CW::LAT_LONG_DD }) {
        w->setCoordType(type);
        EXPECT_EQ(icons(), 2 * w->findChildren<zyrInputWidget*>().size()) << int(type);
    }
    delete w;
    EXPECT_EQ(icons(), 0);
}

} // namespace

#include "coord_entry_test.moc"
