#include "controls/keyboard/zyrCoordEntryWidget.h"

#include "controls/keyboard/zyrCoordEntryForms.h"

#include <QDoubleValidator>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>

CoordData::CoordData(zyrInputWidget::InputType type, const QString& text, const QString& inputMask, int accuracy,
    bool readOnly, bool atomicContent, float top, float bottom, int decimals)
    : type(type)
    , text(text)
    , inputMask(inputMask)
    , accuracy(accuracy)
    , readOnly(readOnly)
    , atomicContent(atomicContent)
    , top(top)
    , bottom(bottom)
    , decimals(decimals)
{
}

namespace {

// Closer than this (Manhattan length) between press and release is a tap.
const int kTapDistance = 15;

const char* const kLatitudeNames[] = { "latDD", "latMM", "latSS", "latSign" };
const char* const kLongitudeNames[] = { "longDD", "longMM", "longSS", "longSign" };

template <class Ui>
void build(QWidget* widget)
{
    Ui ui;
    ui.setupUi(widget);
}

// Takes the field's validator away, deleting it when it is the field's own.
void removeValidator(zyrInputWidget* field)
{
    const QValidator* validator = field->validator();
    field->setValidator(nullptr);
    if (validator && validator->parent() == field)
        delete validator;
}

} // namespace

zyrCoordEntryWidget::zyrCoordEntryWidget(QWidget* parent)
    : QWidget(parent)
{
    // By name, for queued connections and for hosts that look the
    // signals' types up.
    qRegisterMetaType<CoordData>("CoordData");
    qRegisterMetaType<zyrCoordEntryWidget::CoordType>();
    qRegisterMetaType<zyrCoordEntryWidget::CoordType>("CoordType");
    qRegisterMetaType<zyrCoordEntryWidget::CoordSubType>();
    qRegisterMetaType<zyrInputWidget::InputType>("InputType");
    setCoordType(LAT_LONG_DD);
    installEventFilter(this);
}

zyrCoordEntryWidget::~zyrCoordEntryWidget()
{
    clearIWs(children());
    m_coords.clear();
}

void zyrCoordEntryWidget::getListIWs(const QList<QObject*>& objects)
{
    for (QObject* object : objects) {
        auto* field = qobject_cast<zyrInputWidget*>(object);
        if (field && !m_fields.contains(field->inputType())) {
            field->installEventFilter(this);
            m_fields.insert(field->inputType(), field);
        } else {
            getListIWs(object->children());
        }
    }
}

void zyrCoordEntryWidget::clearIWs(const QList<QObject*>& objects)
{
    if (m_modifiable) {
        for (zyrInputWidget* field : qAsConst(m_fields)) {
            disconnect(field, SIGNAL(editing(InputType, QString, QString, QString)), this,
                SLOT(editCoord(InputType, QString, QString, QString)));
            disconnect(field, SIGNAL(editModeChanged(bool)), this, SLOT(currentInputChanged(bool)));
        }
    }
    m_fields.clear();
    // Guarded: deleting one object may take another of the list with it.
    QList<QPointer<QObject>> doomed;
    for (QObject* object : objects)
        doomed << object;
    for (const QPointer<QObject>& object : qAsConst(doomed))
        delete object.data();
    m_currentInput = nullptr;
}

void zyrCoordEntryWidget::setCoordType(CoordType type)
{
    if (type == m_coordType)
        return;
    clearIWs(children());
    const QSize size = this->size();

    // One builder per type, in the enum's order.
    static void (*const builders[])(QWidget*) = { build<Ui_CELatLongDD>, build<Ui_CELatLongDDMMMMM>,
        build<Ui_CELatLongDDMMSS>, build<Ui_CEZoneEN>, build<Ui_CEMgrs>, build<Ui_CENumeric> };
    static_assert(sizeof(builders) / sizeof(builders[0]) == NUM_COORD_TYPES, "one form per type");
    if (type >= LAT_LONG_DD && type < NUM_COORD_TYPES)
        builders[type](this);
    if (type >= LAT_LONG_DD && type <= LAT_LONG_DD_MM_SSS)
        setCoordSubType(LAT_LONG);
    else if (type >= ZONE_NORTHING_EASTING && type <= NUMERIC_COORD)
        setCoordSubType(NOT_USED);

    m_coordType = type;
    getListIWs(children());

    setReadOnly(m_readOnly);
    setModifiable(m_modifiable);
    setFont(font());
    setNormalPromptImage(m_normalPromptImage);
    setFocusedPromptImage(m_focusedPromptImage);

    resize(size);
    setNormalPromptImage(m_normalPromptImage);
    setFocusedPromptImage(m_focusedPromptImage);
    emit coordTypeChanged(type);
}

void zyrCoordEntryWidget::setCoordSubType(CoordSubType subType)
{
    m_coordSubType = subType;
    if (subType == NOT_USED)
        return;
    const bool latitude = subType != LONG_ONLY;
    const bool longitude = subType != LAT_ONLY;
    auto apply = [this](const char* const* names, bool visible) {
        for (int i = 0; i < 4; ++i) {
            if (auto* field = findChild<zyrInputWidget*>(QString::fromLatin1(names[i])))
                field->setVisible(visible);
        }
    };
    apply(kLatitudeNames, latitude);
    apply(kLongitudeNames, longitude);
}

CoordData zyrCoordEntryWidget::recordOf(zyrInputWidget* field)
{
    CoordData record;
    record.type = field->inputType();
    record.text = field->text();
    record.inputMask = field->inputMask();
    record.accuracy = field->accuracy();
    record.readOnly = field->isReadOnly();
    record.atomicContent = field->atomicContent();
    if (auto* validator = qobject_cast<const QDoubleValidator*>(field->validator())) {
        record.top = float(validator->top());
        record.bottom = float(validator->bottom());
        record.decimals = validator->decimals();
    } else {
        record.top = 2147483648.0f;
        record.bottom = -2147483648.0f;
        record.decimals = 0;
    }
    return record;
}

QVector<CoordData> zyrCoordEntryWidget::getCoords()
{
    getListIWs(children());
    m_coords.clear();
    for (zyrInputWidget* field : qAsConst(m_fields))
        m_coords.append(recordOf(field));
    return m_coords;
}

void zyrCoordEntryWidget::setCoords(const QVector<CoordData>& coords)
{
    m_coords = coords;
    const QFont arial(QStringLiteral("Arial"));
    getListIWs(children());

    for (zyrInputWidget* field : qAsConst(m_fields)) {
        field->setOriginalText(QString());
        field->setText(QString());
        field->setInputMask(QString());
        field->setReadOnly(m_readOnly);
        field->setAtomicContent(false);
        removeValidator(field);
    }

    for (const CoordData& record : coords) {
        zyrInputWidget* field = m_fields.value(record.type);
        if (!field)
            continue;
        if (record.type >= zyrInputWidget::LAT_DEG && record.type <= zyrInputWidget::LON_SEC)
            field->setFont(arial);
        field->setOriginalText(record.text);
        field->setText(record.text);
        field->setInputMask(record.inputMask);
        field->setReadOnly(m_readOnly || record.readOnly);
        field->setAtomicContent(record.atomicContent);
        removeValidator(field);
        field->setValidator(new QDoubleValidator(double(record.bottom), double(record.top), record.decimals, field));
    }
}

QPointer<zyrInputWidget> zyrCoordEntryWidget::getCurrentInput()
{
    return m_currentInput;
}

void zyrCoordEntryWidget::setReadOnly(bool on)
{
    m_readOnly = on;
    for (zyrInputWidget* field : qAsConst(m_fields))
        field->setReadOnly(on);
}

void zyrCoordEntryWidget::connectField(zyrInputWidget* field)
{
    // Unique: a second setModifiable(true) must not report every edit twice.
    connect(field, SIGNAL(editing(InputType, QString, QString, QString)), this,
        SLOT(editCoord(InputType, QString, QString, QString)), Qt::UniqueConnection);
    connect(field, SIGNAL(editModeChanged(bool)), this, SLOT(currentInputChanged(bool)), Qt::UniqueConnection);
}

void zyrCoordEntryWidget::setModifiable(bool on)
{
    m_modifiable = on;
    if (!on)
        return;
    for (zyrInputWidget* field : qAsConst(m_fields))
        connectField(field);
}

void zyrCoordEntryWidget::setNormalPromptImage(const QString& path)
{
    m_normalPromptImage = path;
    for (zyrInputWidget* field : qAsConst(m_fields))
        field->setProperty("normalImage", path);
}

void zyrCoordEntryWidget::setFocusedPromptImage(const QString& path)
{
    m_focusedPromptImage = path;
    for (zyrInputWidget* field : qAsConst(m_fields))
        field->setProperty("focusedImage", path);
}

void zyrCoordEntryWidget::setFont(QFont font)
{
    QWidget::setFont(font);
    for (zyrInputWidget* field : qAsConst(m_fields)) {
        field->setFont(font);
        field->AdjustFont();
    }
}

bool zyrCoordEntryWidget::isModified() const
{
    bool modified = false;
    for (zyrInputWidget* field : m_fields) {
        if (field->isModified())
            modified = true;
    }
    return modified;
}

void zyrCoordEntryWidget::currentInputChanged(bool on)
{
    auto* field = qobject_cast<zyrInputWidget*>(sender());
    if (!field || !on || field == m_currentInput)
        return;
    if (m_currentInput)
        m_currentInput->finishEditing();
    m_currentInput = field;
}

void zyrCoordEntryWidget::edited(InputType type, QString text)
{
    zyrInputWidget* field = m_fields.value(type);
    if (!field)
        return;
    field->setText(text);
    field->setFocus();
}

void zyrCoordEntryWidget::editCoord(InputType type, QString, QString, QString superscript)
{
    zyrInputWidget* field = m_fields.value(type);
    if (!field)
        return;
    emit editing(recordOf(field), superscript);
}

bool zyrCoordEntryWidget::isEventFromThis(const QObject* object)
{
    if (object == this)
        return true;
    for (zyrInputWidget* field : qAsConst(m_fields)) {
        if (field == object)
            return true;
    }
    return false;
}

bool zyrCoordEntryWidget::eventFilter(QObject* object, QEvent* event)
{
    if (isEventFromThis(object)) {
        switch (event->type()) {
        case QEvent::MouseButtonPress: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            QWidget::mousePressEvent(mouse);
            m_pressed = true;
            m_pressPos = mouse->globalPos();
            setFocus();
            break;
        }
        case QEvent::MouseButtonRelease: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            QWidget::mouseReleaseEvent(mouse);
            // A release that the field leaves to the widget comes here a
            // second time: one tap, one click.
            const bool pressed = m_pressed;
            m_pressed = false;
            if (pressed && (mouse->globalPos() - m_pressPos).manhattanLength() < kTapDistance)
                emit clicked();
            break;
        }
        case QEvent::MouseMove:
            QWidget::mouseMoveEvent(static_cast<QMouseEvent*>(event));
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(object, event);
}

void zyrCoordEntryWidget::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (!m_bkgdImage.isNull()) {
        painter.drawPixmap(0, 0, m_bkgdImage.scaled(size(), Qt::IgnoreAspectRatio, Qt::FastTransformation));
    } else if (m_readOnly && m_modifiable) {
        QLinearGradient gradient(0, 0, 0, 1);
        gradient.setCoordinateMode(QGradient::ObjectBoundingMode);
        if (m_pressed) {
            gradient.setColorAt(0, QColor(236, 132, 38, 200));
            gradient.setColorAt(1, QColor(255, 255, 128, 200));
        } else {
            gradient.setColorAt(0, QColor(128, 128, 128, 100));
            gradient.setColorAt(1, QColor(255, 255, 255, 100));
        }
        painter.setPen(Qt::NoPen);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(gradient);
        painter.drawRoundedRect(rect(), 5, 5, Qt::AbsoluteSize);
    }
    painter.end();
    QWidget::paintEvent(event);
}
