// The add-network screen (view 1): the name, security type and password of
// the network about to be joined. The name and password are edited on the
// keyboard screen, the security type on the security screen; "Join" hands a
// complete settings record to the flow, which opens the connecting screen.
// The key is handed on as typed: the network judges it.
#pragma once

#include "wifi/core/saved_networks.h"
#include "wifi/views/KivoWiFiBaseVirtualList.h"

#include <QModelIndex>
#include <QString>
#include <QVector>

#include <utility>

class KivoWiFiFlow;
class QLabel;
class QLineEdit;
class QPushButton;
class WiFiJoinNetworkView480x272Class;
class WiFiJoinNetworkView800x480Class;
class phxPushButton;
class phxVirtualList;

class WiFiJoinNetworkView : public KivoWiFiBaseVirtualList {
    Q_OBJECT
public:
    // What the keyboard screen edits.
    enum InputType { NetworkName = 1, Password = 2 };

    WiFiJoinNetworkView(const QString& resolution, KivoWiFiFlow* flow);
    ~WiFiJoinNetworkView() override;

    // Shows what the flow hands over: a typed name (1) or password (2), a
    // network chosen from the list (3, with its index in the visible list),
    // a new network (4); any other type changes no field. Then the security
    // label, the prompt's look and the buttons follow.
    void setupView(const QString& text, int inputType, int index);
    // Leaving the screen: a name typed later looks up the saved networks again.
    void clearEditFlag() { m_prefilled = false; }

    void setStyleSheets(const QString& mode) override;
    int getRowCount(const QModelIndex& parent) override;
    using KivoWiFiItemProvider::updateItemCtrl;
    void updateItemCtrl(const QModelIndex& index, KivoWiFiBaseVLItem* item, const QStyleOptionViewItem& option) override;

    // Read by the flow.
    QString editedText() const { return m_editedText; }
    int inputType() const { return m_inputType; }
    WiFiSettings joinRecord() const { return m_joinRecord; }

    // The security label shown, the selected visible-list index (-1 none,
    // -2 before any selection) and whether saved settings were copied in.
    QString securityLabel() const { return m_securityLabel; }
    int selectedIndex() const { return m_selectedIndex; }
    bool isPrefilled() const { return m_prefilled; }

public slots:
    void ListItemSelected(QModelIndex index);
    void onJoinBtnClick();
    void OnNetworkNameClicked();
    void OnSecurityClicked();
    void OnUserNameClicked();
    void OnPasswordClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString nameText() const;
    QString passwordText() const;
    void setNameText(const QString& text);
    void setPasswordText(const QString& text);
    void setSecurityLabel(const QString& label);
    // Setup steps: a typed name, a listed network's access point, the label
    // from the security choice, the prompt's look and the buttons.
    void takeTypedName(const QString& name);
    void takeAccessPointSecurity(int index);
    void fillSavedPassword();
    void showChoiceLabel();
    void updatePromptStyle();
    void updateButtons();

    bool m_prefilled = false;
    WiFiJoinNetworkView480x272Class* m_form = nullptr;
    WiFiJoinNetworkView800x480Class* m_form800 = nullptr;
    phxVirtualList* m_list = nullptr;
    QPushButton* m_joinBtn;
    QWidget* m_footer;
    KivoWiFiFlow* m_pFlow;
    // Rows of the large form's list (nothing fills them).
    QVector<std::pair<QString, QString>> m_entries;
    // From the small form only; null in the large one.
    phxPushButton* m_securityBtn = nullptr;
    QLineEdit* m_nameEdit = nullptr;
    QLabel* m_passwordLabel = nullptr;
    QLineEdit* m_passwordEdit = nullptr;
    QLabel* m_securityType = nullptr;
    QLabel* m_title = nullptr;
    QLabel* m_networkLabel = nullptr;
    QLabel* m_securityTitle = nullptr;
    QString m_editedText;
    int m_inputType = 0;
    WiFiSettings m_joinRecord;
    int m_selectedIndex = -2;
    // The label's text, kept also where the form has no label.
    QString m_securityLabel;
};
