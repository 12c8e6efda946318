// The pages of one keyboard layout in a stack, one visible at a time.
//
// The keyboard keeps no registry of its keys: each operation walks the Qt
// children below it at the moment it runs, treats every zyrKeyButton as a
// key and does not descend into keys. Pages taken out of the stack stay
// hidden children of the keyboard, so the walks still reach their keys, and
// a page comes back (at the end of the stack) once it has an enabled key
// again and is not hidden on request.
//
// Keys are connected to the keyboard's three signals each time it is shown
// and cut each time it is hidden.
#pragma once

#include "controls/core/zyrcontrols_global.h"

#include <QList>
#include <QPointer>
#include <QStackedWidget>
#include <QString>
#include <QVector>

class zyrKeyButton;

class ZYRCONTROLS_EXPORT zyrMultiPageKeyboard : public QStackedWidget {
    Q_OBJECT
    Q_PROPERTY(int currentIndex READ currentIndex WRITE setCurrentIndex)

public:
    explicit zyrMultiPageKeyboard(QWidget* parent = nullptr);
    ~zyrMultiPageKeyboard() override;

    // False when the stack has no page there; else makes it current and
    // remembers it.
    bool setPage(int index);
    // A widget of that name below the keyboard holds an enabled Regular or
    // Control key.
    bool isPageExists(const QString& name);
    void replaceKeyString(QString from, QString to, QString upper, QString lower);
    void showPage(QString name, bool show);
    void enableOneKey(QString text, bool enable);
    void enableOneKey(Qt::Key key, bool enable);
    void enableKeys(QVector<QString> texts, bool enable);
    void enableKeys(QVector<Qt::Key> codes, bool enable);
    void enableAllKeys(bool enable);

signals:
    void keypressed(int key);
    void keypressed(QString text);
    void extendedChars(QString chars);

public slots:
    void addPage(QWidget* page);
    void insertPage(int index, QWidget* page);
    void removePage(int index);
    void nextPage();
    void prevPage();
    void setPageByName(QString iPageName);
    // The text of the QPushButton that sent the signal.
    void setPageByName();
    void makeConnections();
    // Flips the shift state; the argument does not matter.
    void shiftKeyDown(bool checked);
    void setFocusByName(QString name);

protected:
    using Children = QList<QObject*>;
    void setupConnections(const Children& children);
    void removeConnections(const Children& children);
    void setShiftState(const Children& children, bool on);
    void retranslateUi(const Children& children);
    void replaceKeyString(const Children& children, QString from, QString to, QString upper, QString lower);
    void enableOneKey(const Children& children, QString text, Qt::Key key, bool enable);
    void enableKeys(const Children& children, QVector<QString> texts, QVector<Qt::Key> codes, bool enable);
    void enableAllKeys(const Children& children, bool enable);
    bool hasEnabledKey(const Children& children);
    void checkPages();

    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    struct PageEntry {
        // Guarded: a page deleted by its owner drops out instead of dangling.
        QPointer<QWidget> widget;
        bool shown;
    };

    bool shiftActive = false;
    QList<PageEntry> pages;
    QPointer<QWidget> rememberedPage;
};
