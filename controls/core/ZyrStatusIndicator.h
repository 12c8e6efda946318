// Shows one of several images by a 1-based status. A new image list
// replaces the loaded images; a path that does not load is reported on the
// debug output and skipped.
#pragma once

#include "controls/core/zyrcontrols_global.h"

#include <QPixmap>
#include <QStringList>
#include <QVector>
#include <QWidget>

class ZYRCONTROLS_EXPORT ZyrStatusIndicator : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QStringList images READ images WRITE setImages)
    Q_PROPERTY(int status READ status WRITE setStatus)

public:
    explicit ZyrStatusIndicator(QWidget* parent = nullptr);
    ~ZyrStatusIndicator() override;

    QStringList images() const { return m_paths; }
    void setImages(const QStringList& paths);
    int getStatus() const { return m_status; }
    int getMaxStatusValue() const { return m_maxStatus; }
    // One step up or down within 1..maximum; true (and a repaint) when the
    // status changed.
    bool autoChangeStatus(bool up);
    // The image of the current status, or a null pixmap.
    QPixmap getImage() const;
    QVector<QPixmap> GetImageList() const { return m_loaded; }
    QSize sizeHint() const override;

public slots:
    // Clamped to 1..maximum (0 while no image is loaded).
    void setStatus(int nStatus);
    int status() const { return m_status; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void loadImages();

    QStringList m_paths;
    QVector<QPixmap> m_loaded;
    int m_status = 1;
    int m_maxStatus = 0;
};
