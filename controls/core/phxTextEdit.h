// phxTextEdit: a flick-scrolled text view. Dragged past an end it shows the
// text displaced by the drag (drawn from a cached image of the document) and
// springs back in 200 ms; with auto resize it takes its document's height.
#pragma once

#include "controls/core/Kinetic.h"
#include "controls/core/zyrcontrols_global.h"

#include <QPixmap>
#include <QTextEdit>

#include <memory>

class QScrollBar;
class QTimeLine;

class ZYRCONTROLS_EXPORT phxTextEdit : public QTextEdit, public Kinetic {
    Q_OBJECT
    Q_PROPERTY(bool autoResize READ autoResize WRITE setAutoResize DESIGNABLE true SCRIPTABLE true STORED true)
public:
    explicit phxTextEdit(QWidget* parent = nullptr);
    ~phxTextEdit() override;

    bool autoResize() const { return m_autoResize; }
    void setAutoResize(bool autoResize);

    int GetBounceOffset() const { return m_bounceOffset; }
    void SetBounceOffset(int offset);

    QScrollBar* verticalCustScrollBar() const { return m_custBar; }
    void setCustomScrollBar(bool use);

    void upShakeAnimation();
    void downShakeAnimation();

signals:
    void ListMouseButtonPress(QMouseEvent* pEvent, bool& bProcessed);
    void ListMouseButtonRelease(QMouseEvent* pEvent, bool& bProcessed);
    void ListStartKineticScroll();
    void ListStopKineticScroll();

public slots:
    void setCustValue(int value);
    void setCustRange(int min, int max);
    void bounceChange(int offset);
    void bounceFinish();
    void autoScrollBarHide(bool toshow);

private slots:
    void handleTextChanged();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

    QPoint KineticCurrentPosition() override;
    void KineticClick(const QPoint& p) override;
    void KineticStart(const QPoint& p) override;
    bool KineticScroll(const QPoint& p) override;
    void KineticStop(const QPoint& p) override;

private:
    void startBounce(int from);
    void dropBounceImages();
    const QPixmap& topImage();
    const QPixmap& bottomImage();
    QPixmap documentImage(int shiftUp) const;

    int m_virtualPosition = 0;
    int m_lastY = 0;
    int m_bounceOffset = 0;
    QTimeLine* m_bounceTimeLine = nullptr;
    std::unique_ptr<QPixmap> m_topImage;
    std::unique_ptr<QPixmap> m_bottomImage;
    bool m_autoResize = true;
    int m_bounceDistance = 10;
    bool m_scrolling = false;
    QScrollBar* m_custBar = nullptr;
    bool m_custBarInUse = false;
};
