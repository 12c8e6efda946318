// The widget a host places on a screen to get an on-screen keyboard. The
// host names a layout plug-in file and, optionally, a translation file;
// the container has the layout factory load the plug-in, lets the plug-in's
// layout build its form into a fresh widget, adopts the form's
// zyrMultiPageKeyboard and passes every key on as keypressed(int) (key
// codes) or keypressed(QString) (text). A long press on a key with extended
// characters opens a pop-up row above the keyboard.
#pragma once

#include "controls/core/zyrcontrols_global.h"

#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QVector>
#include <QWidget>

class QKeyEvent;
class QTranslator;
class QVBoxLayout;
class zyrBCLayout;
class zyrKeyExtWidget;
class zyrMultiPageKeyboard;

class ZYRCONTROLS_EXPORT zyrKBContainer : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QPixmap bkgdImage READ bkgdImage WRITE setBkgdImage)

public:
    explicit zyrKBContainer(QWidget* parent = nullptr);
    // The translator goes first, then the form, then the plug-in that built
    // it (the form's classes live in the plug-in), then an open pop-up.
    ~zyrKBContainer() override;

    // Loads or switches the keyboard (a path that differs from the current
    // one without regard to case) and the translation file. Failures keep
    // what is shown; the host sees success by keyboard() turning non-null.
    void loadKeyboard(const QString& dllPath, const QString& qmPath);
    QPointer<zyrMultiPageKeyboard> keyboard() const { return m_keyboard; }

    QPixmap bkgdImage() const { return m_bkgdImage; }
    void setBkgdImage(const QPixmap& image) { m_bkgdImage = image; }

    QSize sizeHint() const override;

    // Forwarded to the keyboard; nothing without one.
    void enableOneKey(QString key, bool enable);
    void enableOneKey(Qt::Key key, bool enable);
    void enableAllKeys(bool enable);
    void enableKeys(QVector<QString> keys, bool enable);
    void enableKeys(QVector<Qt::Key> keys, bool enable);
    void showPage(QString page, bool show);

    // Opens the pop-up for the key holding the keypad highlight.
    void popupExtChars();
    // With a pop-up open, hands it the key (auto-repeats excepted) and
    // returns true; false otherwise.
    bool processKeyEvent(QKeyEvent* event);

signals:
    void keypressed(int key);
    void keypressed(QString text);

protected slots:
    void popupExtChars(QString iChars);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void connectPopup();

    QWidget* m_content = nullptr;
    QPointer<zyrMultiPageKeyboard> m_keyboard;
    QPointer<QVBoxLayout> m_box;
    QPixmap m_bkgdImage;
    QPointer<zyrKeyExtWidget> m_popup;
    QString m_dllPath;
    QString m_qmPath;
    QTranslator* m_translator = nullptr;
    zyrBCLayout* m_layout = nullptr;
};
