// The base of every KivoWiFi screen and list row: animated scrolling of the
// screen's list (or text) by its up and down buttons, one step per press, a
// glide that doubles its speed while a button is held, a short glide on
// release and a bounce at either end; and the per-class style-sheet hook.
#pragma once

#include <QAbstractAnimation>
#include <QBasicTimer>
#include <QWidget>

class QPropertyAnimation;
class QPushButton;
class QScrollBar;
class QSequentialAnimationGroup;
class phxTextEdit;
class phxVirtualList;
struct KivoWiFiBaseViewTestAccess;

class KivoWiFiBaseView : public QWidget {
    Q_OBJECT
public:
    explicit KivoWiFiBaseView(QWidget* parent);
    ~KivoWiFiBaseView() override;

    // Finds the descendants "UpBtn", "DownBtn", "virtuallist" and
    // "phxTextEdit" (the list wins where both exist), lets presses through
    // "Shade", sizes the press step to the list or text and connects the
    // buttons. Called once by a screen's constructor after its form is built.
    void setupScrollButtons();

public slots:
    virtual void AppUpPressed();
    virtual void AppUpReleased();
    virtual void AppDownPressed();
    virtual void AppDownReleased();

public:
    // Every screen and row class applies its own style sheets for the
    // day/night mode text.
    virtual void setStyleSheets(const QString& mode) = 0;

signals:
    void sigListScrollBegin();
    void sigListScrollEnd();

public slots:
    void animationFinished();
    void scrollStateChanged(QAbstractAnimation::State newState, QAbstractAnimation::State oldState);

protected:
    // Runs the hold glide: the hold timer's event, or any timer event that
    // reaches it (a screen overriding timerEvent has no glide).
    void timerEvent(QTimerEvent* event) override;

private:
    friend struct KivoWiFiBaseViewTestAccess;

    void press(int direction);
    void release();
    // The scroll bar the buttons move: the list's, else the text's; null
    // when the screen has neither.
    QScrollBar* scrollBar(bool showBar);
    void shake(int direction);
    QPropertyAnimation* valueAnimation(QScrollBar* bar, int from, int to, int ms, int curve);

    QPushButton* m_upBtn = nullptr;
    QPushButton* m_downBtn = nullptr;
    phxVirtualList* m_list = nullptr;
    phxTextEdit* m_text = nullptr;
    QPropertyAnimation* m_pressAnimation;
    QPropertyAnimation* m_releaseAnimation;
    QSequentialAnimationGroup* m_holdChain;
    unsigned char m_direction = 0; // 0 up, 1 down
    int m_pressDuration = 540;
    int m_pressStep = 160;
    int m_releaseStep = 100;
    int m_releaseDuration = 500;
    QBasicTimer m_holdTimer;
    int m_holdDelay = 400;
    float m_holdTimeFactor = 2.0f;
    int m_holdStep = 200;
    float m_factorDivisor = 2.0f;
    float m_stepMultiplier = 2.0f;
};

// The base of the list rows; rows apply their own style sheets.
class KivoWiFiBaseVLItem : public KivoWiFiBaseView {
    Q_OBJECT
public:
    explicit KivoWiFiBaseVLItem(QWidget* parent)
        : KivoWiFiBaseView(parent)
    {
    }
    // Everything the row's rendered picture depends on, as filled last; the
    // list keeps pictures under it and draws a kept one instead of rendering
    // the row again. Empty (the default) when the row's picture is not kept.
    virtual QString pictureKey() const { return QString(); }
};

// What tests read of a view's scrolling.
struct KivoWiFiBaseViewTestAccess {
    static QPropertyAnimation* pressAnimation(KivoWiFiBaseView& v) { return v.m_pressAnimation; }
    static QPropertyAnimation* releaseAnimation(KivoWiFiBaseView& v) { return v.m_releaseAnimation; }
    static QSequentialAnimationGroup* holdChain(KivoWiFiBaseView& v) { return v.m_holdChain; }
    static bool holdTimerActive(const KivoWiFiBaseView& v) { return v.m_holdTimer.isActive(); }
    static int pressStep(const KivoWiFiBaseView& v) { return v.m_pressStep; }
    static int pressDuration(const KivoWiFiBaseView& v) { return v.m_pressDuration; }
};
