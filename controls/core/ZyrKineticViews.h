// Flick-scrolled views: ZyrList (rows are widgets), ZyrScrollArea,
// ZyrVirtualList (model rows, key navigation with a fast repeat) and
// ZyrTextArea (read-only rich text with its own image search paths). Each
// feeds its left-button mouse events to the Kinetic engine and applies the
// engine's virtual position to its scroll bar.
#pragma once

#include "controls/core/Kinetic.h"
#include "controls/core/zyrcontrols_global.h"

#include <QCache>
#include <QListView>
#include <QListWidget>
#include <QPixmap>
#include <QScrollArea>
#include <QStringList>
#include <QTextDocument>
#include <QTextEdit>

class QTimer;

class ZYRCONTROLS_EXPORT ZyrList : public QListWidget, public Kinetic {
    Q_OBJECT
public:
    explicit ZyrList(QWidget* parent = nullptr);
    ~ZyrList() override;

    // Adds a row showing the widget (its current size is the row's size).
    QModelIndex AddWidgetItem(QWidget* widget);
    QModelIndex itemIndex(QListWidgetItem* item) const { return indexFromItem(item); }
    int itemHeight() const { return m_itemHeight; }
    // The press lay in the left fifth of the list.
    bool IsLeftSidePressed() const { return m_pressPoint.x() < width() / 5; }
    QPoint GetPointPressed() const { return m_pressPoint; }
    void onKeyAction();
    void GetListPageInfo(int& current, int& count);

public slots:
    void onScrollPage(int nPageCount);
    void onItemClicked(QListWidgetItem* item);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool focusNextPrevChild(bool next) override;

    QPoint KineticCurrentPosition() override;
    void KineticClick(const QPoint& p) override;
    void KineticStart(const QPoint& p) override;
    bool KineticScroll(const QPoint& p) override;
    void KineticStop(const QPoint& p) override;

private:
    int m_position = 0;
    QPoint m_pressPoint;
    int m_itemHeight = 0;
    QPoint m_releasePoint;
    int m_valueAtStart = 0;
    int m_valueAtStop = 0;
};

class ZYRCONTROLS_EXPORT ZyrScrollArea : public QScrollArea, public Kinetic {
    Q_OBJECT
public:
    explicit ZyrScrollArea(QWidget* parent = nullptr);
    ~ZyrScrollArea() override;

    void scrollToTop();
    void scrollToBottom();

public slots:
    void onScrollPage(int nPageCount);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

    QPoint KineticCurrentPosition() override;
    void KineticClick(const QPoint& p) override;
    void KineticStart(const QPoint& p) override;
    bool KineticScroll(const QPoint& p) override;
    void KineticStop(const QPoint& p) override;

private:
    int m_position = 0;
};

class ZYRCONTROLS_EXPORT ZyrVirtualList : public QListView, public Kinetic {
    Q_OBJECT
public:
    explicit ZyrVirtualList(QWidget* parent = nullptr);
    ~ZyrVirtualList() override;

    // Row height; 0 stops drags from scrolling.
    void SetItemHeight(int height) { m_itemHeight = height; }
    int itemHeight() const { return m_itemHeight; }
    // Whether Return on the focused list calls onKeyAction().
    void enableActionKey(bool enable) { m_actionKey = enable; }
    void onKeyAction();
    void GetListPageInfo(int& current, int& count);

signals:
    // A receiver that sets bProcessed takes the event over.
    void ListMouseButtonPress(QMouseEvent* pEvent, bool& bProcessed);
    void ListMouseButtonRelease(QMouseEvent* pEvent, bool& bProcessed);
    void ListStartKineticScroll();
    void ListStopKineticScroll();
    void clicked(QString strObjName);

public slots:
    void onScrollPage(int nPageCount);
    void OnRepeatKeyTimer();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

    QPoint KineticCurrentPosition() override;
    void KineticClick(const QPoint& p) override;
    void KineticStart(const QPoint& p) override;
    bool KineticScroll(const QPoint& p) override;
    void KineticStop(const QPoint& p) override;

    QTimer* m_repeatTimer;

private:
    // The current row is at the end the key moves towards (or there is none).
    bool atEnd(int key) const;

    int m_position = 0;
    int m_itemHeight = 0;
    int m_repeatKey = -1;
    bool m_actionKey = true;
};

// The text area's document: images are looked up by name, then in each
// search path, and kept in a small cache (misses too).
class ZyrTextDocument : public QTextDocument {
    Q_OBJECT
public:
    explicit ZyrTextDocument(QObject* parent = nullptr);
    QStringList searchPaths;

protected:
    QVariant loadResource(int type, const QUrl& name) override;

private:
    QCache<QString, QPixmap> m_images;
};

class ZYRCONTROLS_EXPORT ZyrTextArea : public QTextEdit, public Kinetic {
    Q_OBJECT
    Q_PROPERTY(int fontPixelSize READ fontPixelSize WRITE setFontPixelSize)
    Q_PROPERTY(bool alignVCenter READ alignVCenter WRITE setAlignVCenter)
    Q_PROPERTY(bool alignHCenter READ alignHCenter WRITE setAlignHCenter)

public:
    explicit ZyrTextArea(QWidget* parent = nullptr);
    ~ZyrTextArea() override;

    // From then on mouse events also reach the text edit (selection,
    // links); there is no way back.
    void enableStandartMouseProcessing() { m_standardMouse = true; }
    // Under the controls language Chinese, Japanese or Korean bold is
    // dropped.
    void setFont(const QFont& font);
    void setFontPixelSize(int pixelSize);
    int fontPixelSize() const { return font().pixelSize(); }
    bool alignHCenter() const;
    void setAlignHCenter(bool on);
    bool alignVCenter() const { return m_alignVCenter; }
    // Centring happens when the area is shown (AlignTextVCenter).
    void setAlignVCenter(bool on) { m_alignVCenter = on; }

    // Replace the area's document by one with image search paths: text set
    // before is not carried over.
    void setSearchPathList(const QStringList& paths);
    void addSearchPath(const QString& path);
    QStringList searchPathList() const;

signals:
    void clicked();
    void clicked(const QString& strObjName);

public slots:
    void setPlainText(QString text);
    void setHtml(QString html);
    void onClicked();
    void onScrollPage(int nPageCount);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;

    QPoint KineticCurrentPosition() override;
    void KineticClick(const QPoint& p) override;
    void KineticStart(const QPoint& p) override;
    bool KineticScroll(const QPoint& p) override;
    void KineticStop(const QPoint& p) override;

    void AlignTextVCenter(bool force);
    void EnsureDocumentIsCreated();

private:
    void applyAlignment(Qt::Alignment alignment);

    QPoint m_position;
    QPoint m_pressPoint;
    bool m_standardMouse = false;
    bool m_alignVCenter = false;
    ZyrTextDocument* m_document = nullptr;
};
