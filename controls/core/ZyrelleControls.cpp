#include "controls/core/ZyrelleControls.h"

#include "controls/core/LibraryInternal.h"

#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QScrollBar>

#include <cmath>
#include <limits>
#include <utility>

namespace ZyrelleControls {
namespace {

// The library-wide settings record. The strings are built when the library
// is loaded and destroyed when it is unloaded.
struct LibrarySettings {
    // Guarded: a manager destroyed while registered reads as none, so
    // widgets built afterwards do not connect to a dead object.
    QPointer<QObject> soundManager;
    bool keypadNavigation = false;
    QString verticalScrollBarSheet;
    QString horizontalScrollBarSheet;
    QString progressBarSheet;
};

LibrarySettings g_settings;

// Static text of the library, constructed at load like the settings.
const QString g_layoutNameSuffix = QStringLiteral("Container");
const QStringList g_stripCompassZoomLabels
    = { QStringLiteral("0.5x"), QStringLiteral("1x"), QStringLiteral("2x"), QStringLiteral("4x") };

} // namespace

void SetVerticalScrollBarStyleSheet(const QString& sheet)
{
    g_settings.verticalScrollBarSheet = sheet;
}

void SetHorizontalScrollBarStyleSheet(const QString& sheet)
{
    g_settings.horizontalScrollBarSheet = sheet;
}

void SetProgressBarStyleSheet(const QString& sheet)
{
    g_settings.progressBarSheet = sheet;
}

void SetSoundManager(QObject* manager)
{
    g_settings.soundManager = manager;
}

QObject* GetSoundManager()
{
    return g_settings.soundManager;
}

bool IsKeypadNavigation()
{
    return g_settings.keypadNavigation;
}

void SetKeypadNavigation(bool enabled)
{
    g_settings.keypadNavigation = enabled;
}

ControlsLanguage* ControlsLanguage::_self = nullptr;

ControlsLanguage::ControlsLanguage()
    : m_language(QLocale::English)
{
}

ControlsLanguage::ControlsLanguage(const ControlsLanguage& other)
    : m_language(other.m_language)
{
}

ControlsLanguage::~ControlsLanguage() = default;

ControlsLanguage* ControlsLanguage::Instance()
{
    if (!_self)
        _self = new ControlsLanguage();
    return _self;
}

void ControlsLanguage::Destroy()
{
    if (_self) {
        delete _self;
        _self = nullptr;
    }
}

QLocale::Language ControlsLanguage::GetCurrentLanguage() const
{
    return m_language;
}

void ControlsLanguage::SetCurrentLanguage(QLocale::Language language)
{
    m_language = language;
}

ControlsLanguage& ControlsLanguage::operator=(const ControlsLanguage& other)
{
    m_language = other.m_language;
    return *this;
}

namespace Internal {

const QString& VerticalScrollBarStyleSheet()
{
    return g_settings.verticalScrollBarSheet;
}

const QString& HorizontalScrollBarStyleSheet()
{
    return g_settings.horizontalScrollBarSheet;
}

const QString& ProgressBarStyleSheet()
{
    return g_settings.progressBarSheet;
}

QFont FontForControlsLanguage(const QFont& font)
{
    QFont copy(font);
    switch (ControlsLanguage::Instance()->GetCurrentLanguage()) {
    case QLocale::Chinese:
    case QLocale::Japanese:
    case QLocale::Korean:
        copy.setBold(false);
        break;
    default:
        break;
    }
    return copy;
}

const QString& LayoutNameSuffix()
{
    return g_layoutNameSuffix;
}

const QStringList& StripCompassZoomLabels()
{
    return g_stripCompassZoomLabels;
}

namespace {

double g_timeScale = 1.0;
std::function<qint64()> g_clock;

qint64 monotonicMs()
{
    static QElapsedTimer started = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return started.elapsed();
}

} // namespace

int ScaledDuration(int ms)
{
    if (ms <= 0 || g_timeScale == 1.0)
        return ms;
    double scaled = std::round(ms * g_timeScale);
    if (scaled < 1.0)
        return 1;
    if (scaled > double(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    return int(scaled);
}

double TimeScale()
{
    return g_timeScale;
}

void SetTimeScale(double scale)
{
    if (std::isfinite(scale) && scale > 0.0)
        g_timeScale = scale;
}

qint64 NowMs()
{
    return g_clock ? g_clock() : monotonicMs();
}

void SetClock(std::function<qint64()> clock)
{
    g_clock = std::move(clock);
}

QScrollBar* CreateCustomScrollBar(QAbstractScrollArea* area)
{
    auto* bar = new QScrollBar(Qt::Vertical, area);
    bar->setObjectName(QStringLiteral("_CUSTOMSCROLLBAR_"));
    QObject::connect(area->verticalScrollBar(), SIGNAL(valueChanged(int)), area, SLOT(setCustValue(int)));
    QObject::connect(area->verticalScrollBar(), SIGNAL(rangeChanged(int, int)), area, SLOT(setCustRange(int, int)));
    bar->setRange(0, 0);
    PlaceCustomScrollBar(bar, area->size());
    bar->setStyleSheet(VerticalScrollBarStyleSheet());
    bar->hide();
    return bar;
}

void PlaceCustomScrollBar(QScrollBar* bar, const QSize& size)
{
    constexpr int kWidth = 8;
    bar->setPageStep(size.height());
    bar->setGeometry(size.width() - kWidth, 0, kWidth, size.height());
}

} // namespace Internal
} // namespace ZyrelleControls
