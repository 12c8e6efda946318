// A frame animation: a list of image paths shown one after another at a
// fixed interval, looped or stopping on the last frame. Paths that do not
// load are skipped. With postponed loading the images are read at the next
// show instead of at once.
#pragma once

#include "controls/core/zyrcontrols_global.h"

#include <QPixmap>
#include <QStringList>
#include <QVector>
#include <QWidget>

class ZYRCONTROLS_EXPORT ZyrAnimationCtrl : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QStringList imageList READ imageList WRITE setImageList)
    Q_PROPERTY(int interval READ interval WRITE setInterval)
    Q_PROPERTY(bool isLooped READ isLooped WRITE setLooped)

public:
    explicit ZyrAnimationCtrl(QWidget* parent = nullptr);
    ~ZyrAnimationCtrl() override;

    QStringList imageList() const { return m_imageList; }
    void setImageList(const QStringList& paths);
    void setPostponedImageLoading();
    int framesNum() const;
    bool isLooped() const { return m_looped; }
    void setLooped(const bool& looped) { m_looped = looped; }
    int interval() const { return m_interval; }
    // 0 and the current value are ignored; a running animation takes the
    // new interval at once, a paused one at Resume.
    void setInterval(const int& milliseconds);

    // Needs at least two frames; from paused it restarts at frame 0.
    void Start();
    void Stop();
    void Pause();
    void Resume();

public slots:
    void OnStartAnimation() { Start(); }
    void OnStopAnimation() { Stop(); }
    void OnPauseAnimation() { Pause(); }
    void OnResumeAnimation() { Resume(); }
    void OnSetInterval(int milliseconds) { setInterval(milliseconds); }

protected:
    void timerEvent(QTimerEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

    void LoadImagesFromList();
    void ResetData();
    void NextFrame();
    void MyStartTimer(int milliseconds);
    void MyKillTimer();

private:
    enum State { Stopped = 0, Running = 1, Paused = 2 };

    QVector<QPixmap> m_frames;
    QStringList m_imageList;
    QPixmap m_current;
    int m_index = -1;
    bool m_looped = true;
    int m_interval = 100;
    int m_state = Stopped;
    int m_timerId = 0;
    bool m_postponed = false;
};
