// Colour widgets for settings screens: a plain swatch, a selectable glossy
// swatch with a drop shadow and a yellow selection frame, a swatch shaped by
// an alpha image and decorated with an overlay, and a grid palette of
// selectable swatches that keeps one selected and reports the chosen index.
//
// Colours are QRgb values (0xAARRGGBB). The swatches of one palette share
// one cache of shadow and selection pictures.
#pragma once

#include "controls/core/zyrcontrols_global.h"

#include <QBrush>
#include <QColor>
#include <QPen>
#include <QPixmap>
#include <QRect>
#include <QSize>
#include <QStringList>
#include <QVector>
#include <QWidget>

class QPainter;

// The pictures every swatch of a palette draws alike, kept while their size
// and drawing parameters stay the same. Plain and copyable; owned by whoever
// creates it.
class ZYRCONTROLS_EXPORT CPaletteCache {
public:
    // The drop shadow of a swatch of `size` whose face is `rect`.
    QPixmap GetIndicatorShadow(QSize size, const QRect& rect, int offset, int radius, int margin);
    // The selection frame, opaque with its shadow or semi-transparent.
    QPixmap GetSelectionPixmap(const QSize& size);
    QPixmap GetSemiTransSelectionPixmap(const QSize& size);

private:
    QPixmap m_shadow;
    QPixmap m_selection;
    QPixmap m_semiTransSelection;
    QSize m_lastSize;
    int m_shadowRadius = 0;
    int m_shadowOffset = 0;
    int m_margin = 0;
};

// A plain swatch: the colour filled inside the margin.
class ZYRCONTROLS_EXPORT zyrColorIndicatorCtrl : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QColor color READ getColorProperty WRITE setColorPropery)
public:
    explicit zyrColorIndicatorCtrl(QWidget* parent = nullptr);
    zyrColorIndicatorCtrl(unsigned int color, QWidget* parent = nullptr);

    unsigned int color() const { return m_color; }
    int margin() const { return m_margin; }
    QColor getColorProperty() const { return QColor::fromRgba(m_color); }
    // The colour's RGB, opaque, through setColor.
    void setColorPropery(QColor color);

    virtual bool setMargin(int margin);
    virtual void setColor(unsigned int color);

protected:
    virtual void DrawColor(QPainter* painter);
    void paintEvent(QPaintEvent* event) override;

    unsigned int m_color = 0xFF000000;
    int m_margin = 0;
};

// A selectable swatch: rounded, glossy, with a drop shadow, and a yellow
// frame while it is the selection or highlighted. A press emits
// sigBeginSelect; the release emits sigEndSelect with whether it ended on the
// swatch, and then, if it did, sigSelected.
class ZYRCONTROLS_EXPORT zyrActiveColorIndicatorCtrl : public zyrColorIndicatorCtrl {
    Q_OBJECT
public:
    // 0: as the selection state says; 1: framed; any other value: never
    // framed (the selection's frame while another swatch is held).
    enum EHiliteState : int { HiliteNone = 0, Hilited = 1, HiliteSuppressed = 2 };

    // Without a cache the swatch makes and deletes its own; a given cache is
    // shared and stays its owner's.
    explicit zyrActiveColorIndicatorCtrl(QWidget* parent = nullptr, CPaletteCache* cache = nullptr);
    zyrActiveColorIndicatorCtrl(unsigned int color, QWidget* parent = nullptr, CPaletteCache* cache = nullptr);
    ~zyrActiveColorIndicatorCtrl() override;

    static int GetMinimalIndicatorSize() { return 30; }
    static int GetDefaultMargin(const QSize&) { return 5; }
    static bool IsValidMargin(const QSize& size, int margin);

    bool selected() const { return m_selected; }
    void setSelected(bool selected);
    EHiliteState hilited() const { return m_hilite; }
    void setHilited(EHiliteState state);
    void resetHilite() { setHilited(HiliteNone); }
    void setUserData(int data) { m_userData = data; }
    int userData() const { return m_userData; }

    bool setMargin(int margin) override;
    // Places the swatch and sets its margin, drawing it again only when
    // something changed.
    void setGeometryAndMargin(const QRect& rect, int margin);

    static void DrawShadow(QPainter* painter, QRect rect, int offset, int radius);
    // Null below 30 pixels either way.
    static QPixmap CreateSelectionPixmap(const QSize& size, bool semiTransparent);

signals:
    void sigBeginSelect(zyrActiveColorIndicatorCtrl* indicator);
    void sigEndSelect(zyrActiveColorIndicatorCtrl* indicator, bool bSelected);
    void sigSelected(zyrActiveColorIndicatorCtrl* indicator);

protected:
    bool IsValidSize() const;
    void CreateIndicatorPixmap();

    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int m_userData = 0;
    QPixmap m_indicator;
    QPixmap m_selection;
    QBrush m_shadowBrush { QColor(64, 64, 64, 64) };
    QPen m_shadowPen { QColor(64, 64, 64, 32) };
    bool m_selected = false;
    bool m_pressed = false;
    EHiliteState m_hilite = HiliteNone;
    CPaletteCache* m_cache;
    bool m_ownCache;
};

// A swatch shaped by an alpha image (which also fixes its size), with a
// decoration drawn centred over it.
class ZYRCONTROLS_EXPORT zyrDecoratedColorIndicator : public zyrColorIndicatorCtrl {
    Q_OBJECT
    Q_PROPERTY(QPixmap bkgAlphaImage READ bkgAlphaImage WRITE setBkgAlphaImage)
    Q_PROPERTY(QPixmap decorateImage READ decorateImage WRITE setDecorateImage)
public:
    explicit zyrDecoratedColorIndicator(QWidget* parent = nullptr);

    const QPixmap& bkgAlphaImage() const { return m_bkgAlphaImage; }
    void setBkgAlphaImage(const QPixmap& image);
    QPixmap decorateImage() const { return m_decorateImage; }
    void setDecorateImage(const QPixmap& image);

    void setColor(unsigned int color) override;

protected:
    void GenerateImage();
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_bkgAlphaImage;
    QPixmap m_composed;
    QPixmap m_decorateImage;
};

// A grid of selectable swatches, one per colour in row-major order. The
// swatches are made after the palette is first shown; until then setters
// only store. A tap on a swatch selects it and emits sigSelected(index).
class ZYRCONTROLS_EXPORT zyrColorPaletteCtrl : public QWidget {
    Q_OBJECT
    Q_PROPERTY(uint selectedColorIndex READ selectedColorIndex WRITE setSelectedColorIndex)
    Q_PROPERTY(QSize dimensions READ dimensions WRITE setDimensions)
    Q_PROPERTY(int indicatorSize READ indicatorSize WRITE setIndicatorSize)
    Q_PROPERTY(int selectionSize READ selectionSize WRITE setSelectionSize)
    Q_PROPERTY(int leftMargin READ leftMargin WRITE setLeftMargin)
    Q_PROPERTY(int topMargin READ topMargin WRITE setTopMargin)
    Q_PROPERTY(QStringList paletteValues READ paletteValues WRITE setPaletteValues)
public:
    struct SPalleteInfo {
        int rows;
        int columns;
        int leftMargin;
        int topMargin;
        int indicatorSize;
        QVector<unsigned int> colors;
    };
    // Four rows of three, swatches of 41 pixels and twelve colours.
    static SPalleteInfo GetDefaultPalleteInfo();

    // Null info: the default palette. The frame reaches 20 pixels past the
    // swatch (selection size = indicator size + 20).
    explicit zyrColorPaletteCtrl(QWidget* parent = nullptr, SPalleteInfo* info = nullptr);
    ~zyrColorPaletteCtrl() override;

    int rowCount() const { return m_rows; }
    int colCount() const { return m_columns; }
    QSize dimensions() const { return QSize(m_columns, m_rows); }
    int indicatorSize() const { return m_indicatorSize; }
    int selectionSize() const { return m_selectionSize; }
    int leftMargin() const { return m_leftMargin; }
    int topMargin() const { return m_topMargin; }
    const QVector<unsigned int>& colors() const { return m_colors; }

    // The selected swatch's index and colour; 0 without a selection.
    uint selectedColorIndex() const;
    unsigned int selectedColorRGB() const;
    // Before the swatches exist the index waits for them; afterwards an
    // index past the swatches is ignored. No signal.
    void setSelectedColorIndex(uint index);
    void selectNearestColor(unsigned int rgb);

    void setColors(const QVector<unsigned int>& colors);
    // One colour per string of hexadecimal digits, opaque; a string that
    // does not parse gives black. An empty list changes nothing.
    void setPaletteValues(QStringList values);
    // Six lower-case hexadecimal digits per colour.
    QStringList paletteValues() const;
    // Columns by rows; with as many cells as before the swatches only move.
    void setDimensions(const QSize& columnsByRows);
    void setIndicatorSize(int size);
    void setSelectionSize(int size);
    void setLeftMargin(uint margin);
    void setTopMargin(uint margin);

signals:
    void sigSelected(int nColorIndex);

protected slots:
    void OnBeginSelection(zyrActiveColorIndicatorCtrl* indicator);
    void OnFinishSelection(zyrActiveColorIndicatorCtrl* indicator, bool ok);

protected:
    int GetNearestColorIndex(unsigned int rgb) const;
    QRect GetControlGeometry(int row, int column, int size) const;
    void SetupControlSizes(zyrActiveColorIndicatorCtrl* indicator, int row, int column);
    void UpdateControlsPosition();
    void ReCreateControls();
    void DestroyControls();

    void showEvent(QShowEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    QBrush m_background { QColor(64, 64, 64, 64) };
    QVector<zyrActiveColorIndicatorCtrl*> m_indicators;
    QVector<unsigned int> m_colors;
    int m_pendingSelection = -1;
    CPaletteCache* m_cache;
    int m_rows = 0;
    int m_columns = 0;
    int m_leftMargin = 0;
    int m_topMargin = 0;
    int m_indicatorSize = 0;
    int m_selectionSize = 0;
    zyrActiveColorIndicatorCtrl* m_selected = nullptr;
    bool m_created = false;
    int m_createTimer = 0;
};
