// A label that fits its text to its box. The full text is the content; the
// label shows it, or a form of it made to fit, by the first rule that
// applies:
//   - a scroll proxy shows it (scrollable box narrower than its text);
//   - edit box: aligned right while wider than the box, so its end shows;
//   - scaledContents on: the font is condensed and made smaller in turn
//     (fitFont), elided below the minimum pixel size;
//   - ellipsis: elided at the right;
//   - word wrap: the font loses a pixel at a time until the lines fit in
//     height, and is condensed when a single word is too wide;
//   - else the content as it is.
// A clickable box draws a rounded gradient behind the text that follows
// the finger, and reports clicks as clicked(objectName()) and clicked().
#pragma once

#include "controls/core/zyrcontrols_global.h"

#include <QFont>
#include <QLabel>
#include <QPointer>
#include <QString>

class ZYRCONTROLS_EXPORT ZyrTextBox : public QLabel {
    Q_OBJECT
    Q_PROPERTY(int fontPixelSize READ fontPixelSize WRITE setFontPixelSize)
    Q_PROPERTY(bool ellipsis READ ellipsis WRITE setEllipsis)
    Q_PROPERTY(bool editBox READ editBox WRITE setEditBox)
    Q_PROPERTY(bool isClickable READ isClickable WRITE setIsClickable)
    Q_PROPERTY(QString content READ content WRITE setContent)
    Q_PROPERTY(int minFontPixelSize READ minFontPixelSize WRITE setMinFontPixelSize)
    Q_PROPERTY(int maxFontStretch READ maxFontStretch WRITE setMaxFontStretch)
    Q_PROPERTY(bool scrollable READ scrollable WRITE setScrollable)

public:
    explicit ZyrTextBox(QWidget* parent = nullptr);
    ~ZyrTextBox() override;

    QString content() const { return m_content; }
    int fontPixelSize() const { return m_fontPixelSize; }
    void setFontPixelSize(int pixelSize);
    int minFontPixelSize() const { return m_minFontPixelSize; }
    void setMinFontPixelSize(int pixelSize) { m_minFontPixelSize = pixelSize; }
    // The smallest stretch percentage the font may be condensed to.
    int maxFontStretch() const { return m_maxFontStretch; }
    void setMaxFontStretch(int stretch) { m_maxFontStretch = stretch; }
    bool scrollable() const { return m_scrollable; }
    void setScrollable(bool on) { m_scrollable = on; }
    bool ellipsis() const { return m_ellipsis; }
    void setEllipsis(bool on);
    bool editBox() const { return m_editBox; }
    void setEditBox(bool on);
    bool isClickable() const { return m_clickable; }
    void setIsClickable(bool on);

    // Under the controls language Chinese, Japanese or Korean bold is
    // dropped.
    void setFont(const QFont& font);

    // Moves the scroll proxy by one pixel: Key_Left shows more of the start,
    // Key_Right more of the end. Other keys do nothing.
    void scrollButtonHandler(int key);
    int proxyLeft() const;
    void setProxyLeft(int left);

    // Fits a single line (used with scaledContents on): returns the font,
    // and in elidedText the elided content when it had to be elided.
    static QFont fitFont(const QFont& font, const QString& content, int width, int minPixelSize, int maxStretch,
        QString* elidedText);

public slots:
    void setContent(QString content);

signals:
    void clicked();
    void clicked(const QString& strObjName);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

    void updateText();

private:
    void restoreFont();

    int m_fontPixelSize = -1;
    int m_minFontPixelSize = 13;
    int m_maxFontStretch = 70;
    bool m_ellipsis = false;
    bool m_elided = false;
    bool m_editBox = false;
    bool m_clickable = false;
    bool m_pressed = false;
    bool m_scrollable = false;
    bool m_soundConnected = false;
    QPointer<ZyrTextBox> m_proxy;
    QString m_content;
};
