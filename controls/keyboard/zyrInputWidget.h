// A masked field of a coordinate or a number. It keeps QLineEdit's text,
// cursor and input mask, but paints everything itself: the text, one
// underline segment per character position coloured by whether it differs
// from the original text or is being edited, and a cursor block. Input
// arrives through keyInput(int) and keyInput(QString); a tap never moves
// the cursor.
//
// Touch use (keypad navigation off): a tap starts editing, typed strings
// overwrite the character at the cursor. Keypad use: the field starts
// read-only, switchEdit makes it editable, Up and Down (onArrowKey) step the
// character at the cursor, and two arrow icons follow the cursor.
//
// A character the mask or validator refuses changes nothing. The number
// validator a creator gives a field judges only fields that hold a number:
// zone and hemisphere fields hold letters, which their mask alone judges.
#pragma once

#include "controls/core/zyrcontrols_global.h"

#include <QLineEdit>
#include <QPalette>
#include <QPointer>
#include <QProxyStyle>
#include <QVector>

class QKeyEvent;
class ZyrIcon;

// Text cursor of zero width that does not blink while text is selected.
class ZyrInputStyle : public QProxyStyle {
public:
    ZyrInputStyle();
    ~ZyrInputStyle() override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
        const QWidget* widget = nullptr) const override;
    int styleHint(StyleHint hint, const QStyleOption* option = nullptr, const QWidget* widget = nullptr,
        QStyleHintReturn* returnData = nullptr) const override;
};

class ZYRCONTROLS_EXPORT zyrInputWidget : public QLineEdit {
    Q_OBJECT
public:
    enum InputType {
        ZONE = 0,
        LAT_DEG,
        LAT_MIN,
        LAT_SEC,
        LON_DEG,
        LON_MIN,
        LON_SEC,
        NORTHING_SIGN,
        EASTING_SIGN,
        NORTHING,
        EASTING,
        NUMERIC,
        NUM_INPUT_TYPES
    };
    Q_ENUM(InputType)
    enum UnderlineMode { NoChange = 0, Editing = 1, Changed = 2 };
    Q_ENUM(UnderlineMode)

private:
    Q_PROPERTY(InputType inputType READ inputType WRITE setInputType)
    Q_PROPERTY(QString normalImage READ normalImage WRITE setNormalImage)
    Q_PROPERTY(QString focusedImage READ focusedImage WRITE setFocusedImage)
    Q_PROPERTY(bool editing READ isEditing WRITE setEditing DESIGNABLE false)
    Q_PROPERTY(QString superScript READ superScript WRITE setSuperScript)
    Q_PROPERTY(QString originalText READ originalText WRITE setOriginalText)
    Q_PROPERTY(Qt::Alignment ssAlignment READ ssAlignment WRITE setSSAlignment)
    Q_PROPERTY(int accuracy READ accuracy WRITE setAccuracy)
    Q_PROPERTY(bool showCursor READ showCursor WRITE setShowCursor)
    Q_PROPERTY(bool atomicContent READ atomicContent WRITE setAtomicContent)
    Q_PROPERTY(bool showUnderLine READ showUnderLine WRITE setShowUnderLine)
    Q_PROPERTY(int stretchFont READ stretchFont WRITE setStretchFont)
    Q_PROPERTY(int scaleFontSize READ scaleFontSize WRITE setScaleFontSize)
    Q_PROPERTY(bool boldDataFont READ boldDataFont WRITE setBoldDataFont)

public:
    explicit zyrInputWidget(QWidget* parent = nullptr);
    // The arrow icons live in the grandparent; they go with the field.
    ~zyrInputWidget() override;

    InputType inputType() const { return m_inputType; }
    void setInputType(InputType type) { m_inputType = type; }
    QString normalImage() const { return m_normalImage; }
    void setNormalImage(const QString& path);
    QString focusedImage() const { return m_focusedImage; }
    void setFocusedImage(const QString& path);
    bool isEditing() const { return m_editing; }
    void setEditing(bool on) { m_editing = on; }
    QString superScript() const { return m_superScript; }
    void setSuperScript(const QString& text) { m_superScript = text; }
    QString originalText() const { return m_originalText; }
    void setOriginalText(const QString& text) { m_originalText = text; }
    Qt::Alignment ssAlignment() const { return m_ssAlignment; }
    void setSSAlignment(Qt::Alignment alignment);
    int accuracy() const { return m_accuracy; }
    void setAccuracy(int accuracy) { m_accuracy = accuracy; }
    bool showCursor() const { return m_showCursor; }
    void setShowCursor(bool on) { m_showCursor = on; }
    bool atomicContent() const { return m_atomicContent; }
    void setAtomicContent(bool on) { m_atomicContent = on; }
    bool showUnderLine() const { return m_showUnderline; }
    void setShowUnderLine(bool on) { m_showUnderline = on; }
    int stretchFont() const { return m_stretchFont; }
    void setStretchFont(int stretch) { m_stretchFont = stretch; }
    int scaleFontSize() const { return m_scaleFontSize; }
    // 0 and below are kept as 1.
    void setScaleFontSize(int percent) { m_scaleFontSize = percent <= 0 ? 1 : percent; }
    bool boldDataFont() const { return m_boldDataFont; }
    void setBoldDataFont(bool on) { m_boldDataFont = on; }

    // On: editable, not editing, no cursor. Off: toggles editing and the
    // cursor of an editable field.
    void switchEdit(bool on);
    // Up and Down from the host: a release steps the character at the cursor.
    void onArrowKey(QKeyEvent* event);
    virtual bool isModified() const;
    // Applies stretchFont and scaleFontSize to the font.
    void AdjustFont();
    QSize sizeHint() const override;

    QString styleSheetText() const { return m_styleSheetText; }
    QVector<UnderlineMode> underlineModes() const { return m_underlineModes; }
    int lastCursorPos() const { return m_lastCursorPos; }
    int leadingCount() const { return m_leadingCount; }
    ZyrIcon* upArrowIcon() const { return m_upArrowIcon; }
    ZyrIcon* downArrowIcon() const { return m_downArrowIcon; }

signals:
    void styleSheetChanged(QString);
    void editModeChanged(bool);
    void clicked();
    // Spelled InputType so that it matches, by name, the slots of the
    // coordinate entry widget and of hosts that connect by signature.
    void editing(InputType, QString, QString, QString);
    void currentMaskChanged(QChar);

public slots:
    void finishEditing();
    void keyInput(int key);
    void keyInput(QString text);

private slots:
    void setUnderline(QString text);
    void udpateLastCursorPos(int oldPos, int newPos);
    void startEditing();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

    void setImages();
    QColor getUnderlineColor(UnderlineMode mode) const;
    // The superscript's point size for a painter font of the given size.
    static int superscriptPointSize(int pointSize, const QString& superscript);

private:
    void MoveArrowIcons(QRectF& rect);
    // Whether the text would stand as given under the field's mask and
    // validator.
    bool accepts(const QString& text) const;
    // Whether the validator judges this field's text (number fields only).
    bool validatorApplies() const;
    // del() then insert(s), only when the mask and validator take s.
    void overwrite(const QString& s);
    UnderlineMode modeAt(int index) const;

    QString m_normalImage;
    QString m_focusedImage;
    QString m_styleSheetText;
    QString m_superScript;
    Qt::Alignment m_ssAlignment = Qt::AlignRight | Qt::AlignTop;
    QVector<UnderlineMode> m_underlineModes;
    QString m_originalText;
    int m_lastCursorPos = 0;
    int m_leadingCount = 0;
    int m_accuracy = 0;
    bool m_editing = false;
    bool m_showCursor = false;
    bool m_atomicContent = false;
    bool m_showUnderline = true;
    bool m_pressedInside = false;
    InputType m_inputType = NUMERIC;
    QPalette m_savedPalette;
    QPointer<ZyrIcon> m_upArrowIcon;
    QPointer<ZyrIcon> m_downArrowIcon;
    int m_stretchFont = 100;
    int m_scaleFontSize = 100;
    bool m_boldDataFont = false;
    ZyrInputStyle* m_style;
};
