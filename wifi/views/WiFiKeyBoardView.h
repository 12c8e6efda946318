// The keyboard screen (view 14): edits the network name or the password of
// the add-network screen on the on-screen keyboard. A password shows its
// newest character for two seconds, the others as asterisks.
#pragma once

#include "wifi/views/KivoWiFiBaseVirtualList.h"

#include <QBasicTimer>

class KivoWiFiFlow;
class QLabel;
class QLineEdit;
class WiFiKeyBoardView400x240Class;
class zyrKBContainer;
struct WiFiKeyBoardViewTestAccess;

class WiFiKeyBoardView : public KivoWiFiBaseVirtualList {
    Q_OBJECT
public:
    static constexpr int REMASK_MS = 2000;
    // Input types.
    static constexpr int INPUT_NAME = 1;
    static constexpr int INPUT_PASSWORD = 2;

    WiFiKeyBoardView(const QString& resolution, KivoWiFiFlow* flow);
    ~WiFiKeyBoardView() override;

    // Each time the screen is shown: the text to edit and its input type.
    void setupView(const QString& text, int inputType);
    // What goes back to the add-network screen: the name as edited, or the
    // password as typed.
    QString resultText() const;
    int inputType() const { return m_inputType; }

    void setStyleSheets(const QString& mode) override;
    int getRowCount(const QModelIndex&) override { return 0; }
    using KivoWiFiItemProvider::updateItemCtrl;
    void updateItemCtrl(const QModelIndex&, KivoWiFiBaseVLItem*, const QStyleOptionViewItem&) override { }

public slots:
    void addText(QString text);
    void translateControlKeys(int key);

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    friend struct WiFiKeyBoardViewTestAccess;
    bool showsPrompt() const;
    void clearPrompt();
    void setEditStyle(bool prompt);

    WiFiKeyBoardView400x240Class* m_form;
    KivoWiFiFlow* m_pFlow;
    QLabel* m_title;
    QLineEdit* m_edit;
    zyrKBContainer* m_keyboard;
    QBasicTimer m_remaskTimer;
    int m_remaskMs = 0; // the re-mask timer's interval before the time scale
    int m_inputType = 0;
    QString m_name;
    QString m_password;
    QString m_mask;
    QString m_typedPassword;
};

// What tests read of the keyboard screen.
struct WiFiKeyBoardViewTestAccess {
    static bool remasking(const WiFiKeyBoardView& v) { return v.m_remaskTimer.isActive(); }
    static int remaskMs(const WiFiKeyBoardView& v) { return v.m_remaskMs; }
};
