// KivoWiFi's system services: the screen resolution text, the day/night mode
// and the language (from the common settings KivoMap keeps in the registry),
// the program's Qt resource files and translation, the program directory and
// the click sound. The one object also serves as the widget library's sound
// manager.
//
// GUI thread only. Created on first use through instance() and never freed.
#pragma once

#include <QObject>
#include <QString>

class QTranslator;

class SystemHelper : public QObject {
    Q_OBJECT
public:
    // Results of the operations below.
    enum Result {
        Success = 0,
        DayNightUnchanged = 1,
        LanguageUnchanged = 2,
        ResourceRegisterFailed = 4,
        ResourceReleaseFailed = 5,
        TranslationNotLoaded = 9,
    };

    static SystemHelper* instance();

    // The start-up sequence: program directory, resolution, day/night mode
    // and resources, language and translation, click sound, and registration
    // as the widget library's sound manager. Returns 0.
    int init();

    QString resolution() const { return m_resolution; }
    QString dayNightMode() const { return m_dayNight; }
    QString language() const { return m_language; }
    // The device directory of the running program ("\...\KivoWiFi.exe" cut
    // off), found on first use; empty when the program is not KivoWiFi.exe.
    QString programDirectory();

    // "Night" when "Day Night settings" is 1, else "Day".
    QString readDayNight() const;
    // The language code for the registry's three-letter "Language" value.
    QString readLanguage() const;

    // 1 when text is the current mode; else stores it and reloads the
    // resources (their result).
    int setDayNight(const QString& text);
    // 2 when code is the current language; else stores it and loads the
    // translation (its result).
    int setLanguage(const QString& code);

    // Registers the common resource file (first time) and the day/night
    // resource file of the current mode, replacing the one registered before.
    int loadResources();
    // Replaces the installed translation by KivoWiFi_<code>.qm from the
    // Language folder; "en-US" and unknown codes install none.
    int loadTranslation(const QString& code);

    // The resource files registered now, as files on this machine (empty
    // until registered), and the device path of the click sound.
    QString commonResourcePath() const { return m_commonResource; }
    QString modeResourcePath() const { return m_modeResource; }
    QString clickSoundPath() const { return m_clickSound; }

    // The language code for a three-letter code of the table; "en-US" for
    // any other.
    static QString languageCodeFor(const QString& threeLetterCode);
    // The translation file loaded for a language code, or empty when the
    // code installs no translation.
    static QString translationFileFor(const QString& code);
    // The program directory as found in the full path of the running
    // program file: the text before "\KivoWiFi.exe", else empty.
    static QString directoryFromProgramPath(const QString& programPath);

    // The device path of the running program file. By default the program
    // directory of the platform layer plus the executable's own name with
    // ".exe"; tests may set another (before programDirectory() is first used).
    static QString runningProgramPath();
    static void setRunningProgramPathForTesting(const QString& devicePath);

public slots:
    void onPlayTapSound();
    void onPlayWidgetSound(QString name);

protected:
    SystemHelper();
    ~SystemHelper() override;

private:
    void playClickSound();

    QString m_resolution;
    QString m_dayNight;
    QString m_language;
    QString m_commonResource;
    QString m_modeResource;
    QString m_clickSound;
    QString m_programDirectory;
    bool m_programDirectoryFound = false;
    QTranslator* m_translator = nullptr;
};
