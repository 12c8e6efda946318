// The list row styles: one prototype row widget per list, filled for each
// painted row (the list framework's row widgets).
#pragma once

#include "wifi/views/KivoWiFiBaseView.h"

#include <QFont>
#include <QHash>
#include <QPixmap>
#include <QStyle>
#include <QTimer>

class QLabel;
class phxIcon;
class phxPushButton;
class phxRadioButton;
class WiFiVLItemInfoStyle480x272Class;
class WiFiVLItemInfoStyle800x480Class;
class WiFiVLItemJoinStyle480x272Class;
class WiFiVLItemListStyle480x272Class;
class WiFiVLItemListStyle800x480Class;
class WiFiVLItemJoinStyle800x480Class;
class WiFiVLItemMainStyle480x272Class;
class WiFiVLItemMainStyle800x480Class;

// Row text colour: black in "Day" mode, white otherwise.
QString rowTextStyleSheet(const QString& mode);

// A label and its value (information and connecting screens).
class WiFiVLItemInfoStyle : public KivoWiFiBaseVLItem {
    Q_OBJECT
public:
    WiFiVLItemInfoStyle(const QString& resolution, QWidget* parent = nullptr);
    ~WiFiVLItemInfoStyle() override;
    void setStyleSheets(const QString& mode) override;
    void fill(QStyle::State state, const QString& first, const QString& second);

private:
    WiFiVLItemInfoStyle800x480Class* m_form800 = nullptr;
    WiFiVLItemInfoStyle480x272Class* m_form = nullptr;
    QLabel* m_first;
    QLabel* m_second;
    phxPushButton* m_background;
};

// A security type with its selection mark (security screen).
class WiFiVLItemJoinStyle : public KivoWiFiBaseVLItem {
    Q_OBJECT
public:
    WiFiVLItemJoinStyle(const QString& resolution, QWidget* parent = nullptr);
    ~WiFiVLItemJoinStyle() override;
    void setStyleSheets(const QString& mode) override;
    // The value is shown by its display name ("Open" as "None", ...); the
    // text is not shown.
    void fill(QStyle::State state, const QString& text, const QString& value, bool selected);

private:
    WiFiVLItemJoinStyle800x480Class* m_form800 = nullptr;
    WiFiVLItemJoinStyle480x272Class* m_form = nullptr;
    QLabel* m_value;
    phxPushButton* m_background;
    phxIcon* m_selectIcon = nullptr; // small form only
};

// An option with its radio mark (option chooser).
class WiFiVLItemListStyle : public KivoWiFiBaseVLItem {
    Q_OBJECT
public:
    WiFiVLItemListStyle(const QString& resolution, QWidget* parent = nullptr);
    ~WiFiVLItemListStyle() override;
    void setStyleSheets(const QString& mode) override;
    // The radio is checked exactly when mark is 1.
    void fill(QStyle::State state, const QString& text, int mark);

private:
    WiFiVLItemListStyle800x480Class* m_form800 = nullptr;
    WiFiVLItemListStyle480x272Class* m_form = nullptr;
    QLabel* m_text;
    phxPushButton* m_background;
    phxRadioButton* m_radio;
};

// A network: name, state icon (connected or connecting) and lock/strength
// icon (network list).
class WiFiVLItemMainStyle : public KivoWiFiBaseVLItem {
    Q_OBJECT
public:
    static constexpr int CONNECTING_FRAME_MS = 150;
    static const char* const CONNECTING_ICON;

    WiFiVLItemMainStyle(const QString& resolution, QWidget* parent = nullptr);
    ~WiFiVLItemMainStyle() override;
    void setStyleSheets(const QString& mode) override;
    void fill(QStyle::State state, const QString& name, const QPixmap& stateIcon, const QPixmap& secondIcon,
        const QPixmap& lockIcon, const QString& stateIconPath, const QString& strength);
    // Read from the row's parts as they stand, so that whatever changes the
    // picture (a fill, an animation frame, a mode) changes the key.
    QString pictureKey() const override;
    // Set once the list marks its network connected: fills stop the
    // connecting animation from then on.
    void setConnected(bool connected) { m_connected = connected; }
    bool isConnected() const { return m_connected; }

    // The longest prefix of name followed by "..." narrower than width, or
    // the name itself when it is not wider than width.
    static QString elided(const QFontMetrics& metrics, const QString& name, int width);

public slots:
    void ConnectingIcon();

private:
    // elided() for the name label, remembered per name while the label's
    // font and width stay the same.
    QString shownName(const QString& name);

    WiFiVLItemMainStyle800x480Class* m_form800 = nullptr;
    WiFiVLItemMainStyle480x272Class* m_form = nullptr;
    QLabel* m_name;
    phxPushButton* m_background;
    QLabel* m_stateIcon;
    QLabel* m_encryptionIcon;
    QLabel* m_strengthIcon;
    QLabel* m_strength = nullptr; // small form only
    QTimer m_animationTimer;
    int m_frame = 1;
    bool m_connected = false;
    QStyle::State m_state;
    // The row background, loaded when the row is made and again when the
    // mode (and with it the skin) changes, not for every painted row.
    QPixmap m_normalBackground;
    QString m_mode;
    QHash<QString, QString> m_shownNames;
    QFont m_shownFont;
    int m_shownWidth = -1;
};
