// One position (or one plain number) shown as a small group of masked
// fields, one form per coordinate type. The widget neither formats nor
// parses coordinates: the caller gives each field its text, mask, range and
// read-only flag as a CoordData record and reads back what was typed. The
// widget keeps the current form's fields by type, tells the caller which
// field starts editing (one at a time), takes a finished text back into a
// field, reports a tap on the whole widget and, read-only but modifiable,
// paints itself like a button.
#pragma once

#include "controls/core/ZyrIcon.h" // zyrInputWidget.h guards its icons with it
#include "controls/core/zyrcontrols_global.h"
#include "controls/keyboard/zyrInputWidget.h"

#include <QMap>
#include <QMetaType>
#include <QPixmap>
#include <QPoint>
#include <QPointer>
#include <QVector>
#include <QWidget>

// One field's content and limits. The range is a QDoubleValidator's, kept
// in single precision.
struct ZYRCONTROLS_EXPORT CoordData {
    CoordData() = default;
    CoordData(zyrInputWidget::InputType type, const QString& text, const QString& inputMask, int accuracy,
        bool readOnly, bool atomicContent, float top, float bottom, int decimals);

    zyrInputWidget::InputType type = zyrInputWidget::ZONE;
    QString text;
    QString inputMask;
    int accuracy = 0;
    bool readOnly = false;
    bool atomicContent = false;
    float top = 2147483648.0f;
    float bottom = -2147483648.0f;
    int decimals = 6;
};
Q_DECLARE_METATYPE(CoordData)

class ZYRCONTROLS_EXPORT zyrCoordEntryWidget : public QWidget {
    Q_OBJECT
public:
    enum CoordType {
        LAT_LONG_DD = 0,
        LAT_LONG_DD_MMMMM,
        LAT_LONG_DD_MM_SSS,
        ZONE_NORTHING_EASTING,
        MGRS_USNG,
        NUMERIC_COORD,
        NUM_COORD_TYPES
    };
    Q_ENUM(CoordType)
    enum CoordSubType { NOT_USED = 0, LAT_ONLY, LONG_ONLY, LAT_LONG };
    Q_ENUM(CoordSubType)
    // The field type under the name the signatures use, so that the fields'
    // editing signal and these slots match by name.
    typedef zyrInputWidget::InputType InputType;

private:
    Q_PROPERTY(CoordType coordType READ coordType WRITE setCoordType)
    Q_PROPERTY(CoordSubType coordSubType READ coordSubType WRITE setCoordSubType)
    Q_PROPERTY(bool readOnly READ readOnly WRITE setReadOnly)
    Q_PROPERTY(QPixmap bkgdImage READ bkgdImage WRITE setBkgdImage)
    Q_PROPERTY(QString normalPromptImage READ normalPromptImage WRITE setNormalPromptImage)
    Q_PROPERTY(QString focusedPromptImage READ focusedPromptImage WRITE setFocusedPromptImage)
    Q_PROPERTY(bool modified READ isModified DESIGNABLE false STORED false)
    Q_PROPERTY(bool modifiable READ modifiable WRITE setModifiable)
    Q_PROPERTY(QFont font READ font WRITE setFont)

public:
    explicit zyrCoordEntryWidget(QWidget* parent = nullptr);
    ~zyrCoordEntryWidget() override;

    CoordType coordType() const { return m_coordType; }
    // Replaces the form (and every other child) by the type's form; the
    // widget keeps its size. The stored coordinates are not applied.
    void setCoordType(CoordType type);
    CoordSubType coordSubType() const { return m_coordSubType; }
    // Shows or hides the latitude and longitude fields.
    void setCoordSubType(CoordSubType subType);

    // One record per field, in ascending field type.
    QVector<CoordData> getCoords();
    // Records for fields the form lacks are skipped.
    void setCoords(const QVector<CoordData>& coords);
    // The field in edit mode, null when none.
    QPointer<zyrInputWidget> getCurrentInput();

    bool readOnly() const { return m_readOnly; }
    void setReadOnly(bool on);
    bool modifiable() const { return m_modifiable; }
    // True connects the fields' editing reports to the widget; false cuts
    // nothing (the connections go with the form).
    void setModifiable(bool on);
    QPixmap bkgdImage() const { return m_bkgdImage; }
    void setBkgdImage(const QPixmap& image) { m_bkgdImage = image; }
    QString normalPromptImage() const { return m_normalPromptImage; }
    void setNormalPromptImage(const QString& path);
    QString focusedPromptImage() const { return m_focusedPromptImage; }
    void setFocusedPromptImage(const QString& path);
    QFont font() const { return QWidget::font(); }
    // The widget's font, given to every field and adjusted there.
    void setFont(QFont font);
    // Whether any field differs from its original text.
    bool isModified() const;

signals:
    // For clients; the widget itself never emits it.
    void styleSheetChanged(QString);
    void coordTypeChanged(CoordType);
    void clicked();
    void editing(CoordData, QString);

public slots:
    void currentInputChanged(bool on);
    void edited(InputType type, QString text);
    void editCoord(InputType type, QString text, QString mask, QString superscript);

protected:
    bool eventFilter(QObject* object, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void getListIWs(const QList<QObject*>& objects);
    void clearIWs(const QList<QObject*>& objects);
    bool isEventFromThis(const QObject* object);
    void connectField(zyrInputWidget* field);
    static CoordData recordOf(zyrInputWidget* field);

    bool m_readOnly = false;
    bool m_modifiable = true;
    bool m_pressed = false;
    QPixmap m_bkgdImage;
    QString m_normalPromptImage;
    QString m_focusedPromptImage;
    QVector<CoordData> m_coords;
    QPointer<zyrInputWidget> m_currentInput;
    QMap<zyrInputWidget::InputType, zyrInputWidget*> m_fields;
    CoordType m_coordType = NUM_COORD_TYPES;
    CoordSubType m_coordSubType = NOT_USED;
    // Screen position of the press: a press and its release may reach the
    // filter through different objects (a field, then the widget).
    QPoint m_pressPos;
};
