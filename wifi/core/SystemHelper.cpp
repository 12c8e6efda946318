#include "wifi/core/SystemHelper.h"

#include "controls/core/ZyrelleControls.h"
#include "platform/paths.h"
#include "platform/registry.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPixmapCache>
#include <QResource>
#include <QTranslator>

#ifdef KIVO_HAVE_QT_MULTIMEDIA
#include <QAudioDeviceInfo>
#include <QSound>
#endif

#include <filesystem>
#include <system_error>
#include <utility>

namespace {

const char* const kCommonKey = "Software\\Kivo\\common";
const char* const kDayNightValue = "Day Night settings";
const char* const kLanguageValue = "Language";
const char* const kLanguageFolder = "\\SystemDrive\\Falmo\\program\\wifi\\Language\\KivoWiFi_";
const char* const kProgramFile = "\\KivoWiFi.exe";
constexpr int kMaxProgramPath = 260;

// The registry's three-letter language values and the language codes they
// select; every other value means English ("en-US").
const std::pair<const char*, const char*> kLanguages[] = {
    { "bul", "bg-BG" },
    { "cat", "ca-ES" },
    { "hrv", "hr-HR" },
    { "cze", "cs-CZ" },
    { "dan", "da-DK" },
    { "dut", "nl-NL" },
    { "est", "et-EE" },
    { "fin", "fi-FI" },
    { "fre", "fr-FR" },
    { "ger", "de-DE" },
    { "gre", "el-GR" },
    { "hun", "hu-HU" },
    { "ita", "it-IT" },
    { "lav", "lv-LV" },
    { "lit", "lt-LT" },
    { "nor", "nb-NO" },
    { "pol", "pl-PL" },
    { "por", "pt-PT" },
    { "rum", "ro-RO" },
    { "rus", "ru-RU" },
    { "srp", "sr-Latn-CS" },
    { "slo", "sk-SK" },
    { "slv", "sl-SI" },
    { "spa", "es-ES" },
    { "swe", "sv-SE" },
    { "tur", "tr-TR" },
};
static_assert(sizeof(kLanguages) / sizeof(kLanguages[0]) == 26, "language table");

QString g_programPathOverride;

// A device path as a path on this machine.
QString hostPath(const QString& devicePath)
{
    return QString::fromStdString(ce::resolvePath(devicePath.toStdString()));
}

QString executableName()
{
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        return QString();
    return QString::fromStdString(exe.filename().string());
}

} // namespace

SystemHelper* SystemHelper::instance()
{
    static SystemHelper* const helper = new SystemHelper();
    return helper;
}

SystemHelper::SystemHelper()
    : m_resolution(QStringLiteral("480x272"))
    , m_dayNight(QStringLiteral("Day"))
    , m_language(QStringLiteral("en-US"))
{
    setObjectName(QStringLiteral("SystemHelper"));
}

// Only tests end a helper; the program keeps its one helper until it exits.
SystemHelper::~SystemHelper()
{
    if (ZyrelleControls::GetSoundManager() == this)
        ZyrelleControls::SetSoundManager(nullptr);
    if (m_translator) {
        QCoreApplication::removeTranslator(m_translator);
        delete m_translator;
    }
    if (!m_modeResource.isEmpty())
        QResource::unregisterResource(m_modeResource);
    if (!m_commonResource.isEmpty())
        QResource::unregisterResource(m_commonResource);
}

int SystemHelper::init()
{
    programDirectory();

    // The screens are laid out for the small portrait form whatever the
    // display measures.
    m_resolution = QStringLiteral("480x272");

    m_dayNight = readDayNight();
    loadResources();

    m_language = readLanguage();
    loadTranslation(m_language);

    m_clickSound = programDirectory() + QStringLiteral("/Sounds/stdbuttondown.wav");

    if (!ZyrelleControls::GetSoundManager())
        ZyrelleControls::SetSoundManager(this);
    return Success;
}

QString SystemHelper::programDirectory()
{
    if (!m_programDirectoryFound) {
        m_programDirectory = directoryFromProgramPath(runningProgramPath());
        m_programDirectoryFound = true;
    }
    return m_programDirectory;
}

QString SystemHelper::readDayNight() const
{
    std::optional<uint32_t> value = ce::reg::getDword(ce::reg::Root::LocalMachine, kCommonKey, kDayNightValue);
    if (!value) {
        // A value written as text still counts by its number.
        if (auto text = ce::reg::getString(ce::reg::Root::LocalMachine, kCommonKey, kDayNightValue)) {
            bool ok = false;
            uint number = QString::fromStdString(*text).trimmed().toUInt(&ok);
            if (ok)
                value = number;
        }
    }
    return value && *value == 1 ? QStringLiteral("Night") : QStringLiteral("Day");
}

QString SystemHelper::readLanguage() const
{
    std::optional<std::string> value = ce::reg::getString(ce::reg::Root::LocalMachine, kCommonKey, kLanguageValue);
    return languageCodeFor(value ? QString::fromStdString(*value) : QString());
}

int SystemHelper::setDayNight(const QString& text)
{
    if (text == m_dayNight)
        return DayNightUnchanged;
    m_dayNight = text;
    return loadResources();
}

int SystemHelper::setLanguage(const QString& code)
{
    if (code == m_language)
        return LanguageUnchanged;
    m_language = code;
    return loadTranslation(code);
}

int SystemHelper::loadResources()
{
    QPixmapCache::clear();

    const QString folder = programDirectory() + QStringLiteral("/Resources/") + m_resolution;
    if (m_commonResource.isEmpty()) {
        const QString common = hostPath(folder + QStringLiteral("/KivoWiFiResCommon.bin"));
        if (!QResource::registerResource(common))
            return ResourceRegisterFailed;
        m_commonResource = common;
    } else if (!m_modeResource.isEmpty()) {
        // Only a file that was registered can be released; after a failed
        // load there is nothing to release and the new mode still loads.
        if (!QResource::unregisterResource(m_modeResource))
            return ResourceReleaseFailed;
        m_modeResource.clear();
    }

    const QString mode = hostPath(folder + QStringLiteral("/KivoWiFiRes") + m_dayNight + QStringLiteral(".bin"));
    if (!QResource::registerResource(mode))
        return ResourceRegisterFailed;
    m_modeResource = mode;
    return Success;
}

int SystemHelper::loadTranslation(const QString& code)
{
    if (m_translator) {
        QCoreApplication::removeTranslator(m_translator);
        delete m_translator;
        m_translator = nullptr;
    }

    const QString file = translationFileFor(code);
    if (file.isEmpty())
        return Success;

    m_translator = new QTranslator();
    if (!m_translator->load(hostPath(file)))
        return TranslationNotLoaded;
    QCoreApplication::installTranslator(m_translator);
    return Success;
}

void SystemHelper::onPlayTapSound()
{
    playClickSound();
}

void SystemHelper::onPlayWidgetSound(QString name)
{
    Q_UNUSED(name);
    playClickSound();
}

void SystemHelper::playClickSound()
{
    if (m_clickSound.isEmpty())
        return;
    const QString file = hostPath(m_clickSound);
    if (!QFileInfo(file).isFile())
        return;
#ifdef KIVO_HAVE_QT_MULTIMEDIA
    // Without an audio output the click is simply not heard.
    static const bool haveOutput = !QAudioDeviceInfo::availableDevices(QAudio::AudioOutput).isEmpty();
    if (haveOutput)
        QSound::play(file);
#endif
}

QString SystemHelper::languageCodeFor(const QString& threeLetterCode)
{
    for (const auto& entry : kLanguages) {
        if (threeLetterCode == QLatin1String(entry.first))
            return QLatin1String(entry.second);
    }
    return QStringLiteral("en-US");
}

QString SystemHelper::translationFileFor(const QString& code)
{
    for (const auto& entry : kLanguages) {
        if (code == QLatin1String(entry.second))
            return QLatin1String(kLanguageFolder) + code + QStringLiteral(".qm");
    }
    return QString();
}

QString SystemHelper::directoryFromProgramPath(const QString& programPath)
{
    const QString path = programPath.left(kMaxProgramPath);
    const int at = path.indexOf(QLatin1String(kProgramFile));
    return at < 0 ? QString() : path.left(at);
}

QString SystemHelper::runningProgramPath()
{
    if (!g_programPathOverride.isEmpty())
        return g_programPathOverride;
    QString name = executableName();
    if (name.isEmpty())
        return QString();
    if (!name.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive))
        name += QStringLiteral(".exe");
    QString directory = QString::fromStdString(ce::programDirectory());
    directory.replace(QLatin1Char('/'), QLatin1Char('\\'));
    if (!directory.endsWith(QLatin1Char('\\')))
        directory += QLatin1Char('\\');
    return directory + name;
}

void SystemHelper::setRunningProgramPathForTesting(const QString& devicePath)
{
    g_programPathOverride = devicePath;
}
