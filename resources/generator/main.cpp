// Draws KivoWiFi's and zyrControls' skin images and KivoWiFi's click sound.
//
//   kivo_resgen <output folder> <click sound file>
//
// Writes <output>/Common, <output>/Day and <output>/Night with the images of
// each resource file and a .qrc beside each folder (common.qrc, day.qrc,
// night.qrc) for rcc. Images that follow the day/night mode are drawn into
// both mode folders with the mode's colours; the rest go to Common.
// <output>/Zyr and zyr.qrc hold zyrControls' own skin set.
//
// To add an image, add a row to the art table (or to an area's table in its
// own art_<area>.cpp, see art.h): its resource path, its size, which files
// carry it and how it is drawn. Images named ".mif" are stored as
// PNG data (the screens read image data by content).

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QTextStream>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <vector>

#include "art.h"

namespace {

using namespace kivo_art;

std::vector<Art> artTable()
{
    std::vector<Art> art = {
        // Pages, bars and rows follow the day/night mode.
        { "Background/main_bg.png", 240, 400, Themed, fill([](const Theme& t) { return t.page; }) },
        { "Background/shadow_bg.mif", 716, 418, Themed, shadow() },
        { "Background/shadow_footer_bg.mif", 716, 356, Themed, shadow() },
        { "Common/Header/bkgd_status_bar.png", 240, 27, Themed, bar(true) },
        { "Common/Header/header_settings_bg.mif", 800, 62, Themed, bar(true) },
        { "Under/bkgd_title_bar_settings.png", 240, 50, Themed, bar(false) },
        { "FocusBackground/b_list.png", 240, 47, Themed, row(false) },
        { "FocusBackground/b_list_p.png", 240, 47, Themed, row(true) },
        { "FocusBackground/settings_focus_bg.png", 716, 70, Themed, row(true) },
        { "Line/separator2.mif", 425, 1, Themed, fill([](const Theme& t) { return t.line; }) },
        { "Dialog/dialogback_confirm.png", 240, 400, Themed, dialogBackground() },

        // Buttons.
        { "Button/b_normal.png", 156, 43, Common, button(Look::Normal) },
        { "Button/button_normal.png", 156, 43, Common, button(Look::Normal) },
        { "Button/button_normal_p.png", 156, 43, Common, button(Look::Pressed) },
        { "Button/button_normal_d.png", 156, 43, Common, button(Look::Disabled) },
        { "Button/b_v.png", 156, 43, Common, button(Look::Normal) },
        { "Button/b_v_p.png", 156, 43, Common, button(Look::Pressed) },
        { "Button/b_v_d.png", 156, 43, Common, button(Look::Disabled) },
        // The symbols set on the plain b_v buttons: exit, join and back.
        { "Button/i_symbol_exit.png", 28, 28, Common, buttonSymbol(Symbol::Exit) },
        { "Button/i_symbol_join.png", 28, 28, Common, buttonSymbol(Symbol::Join) },
        { "Button/i_symbol_back.png", 28, 28, Common, buttonSymbol(Symbol::Back) },
        { "Button/b_v_s.png", 76, 43, Common, button(Look::Normal) },
        { "Button/b_v_s_p.png", 76, 43, Common, button(Look::Pressed) },
        { "Button/b_v_s_d.png", 76, 43, Common, button(Look::Disabled) },
        { "Button/button_list_up.png", 76, 43, Common, arrowButton(Look::Normal, 0) },
        { "Button/button_list_up_p.png", 76, 43, Common, arrowButton(Look::Pressed, 0) },
        { "Button/button_list_up_d.png", 76, 43, Common, arrowButton(Look::Disabled, 0) },
        { "Button/button_list_down.png", 76, 43, Common, arrowButton(Look::Normal, 1) },
        { "Button/button_list_down_p.png", 76, 43, Common, arrowButton(Look::Pressed, 1) },
        { "Button/button_list_down_d.png", 76, 43, Common, arrowButton(Look::Disabled, 1) },
        { "Button/backbutton.mif", 72, 56, Common, arrowButton(Look::Normal, 2) },
        { "Button/backbutton_down.mif", 72, 56, Common, arrowButton(Look::Pressed, 2) },
        { "Button/scroll_up_button_bg.mif", 84, 178, Common, arrowButton(Look::Normal, 0) },
        { "Button/scroll_down_button_bg.mif", 84, 178, Common, arrowButton(Look::Normal, 1) },
        { "Button/scroll_long_up_button_bg.mif", 84, 209, Common, arrowButton(Look::Normal, 0) },
        { "Button/scroll_long_up_button_bg_pressed.mif", 84, 209, Common, arrowButton(Look::Pressed, 0) },
        { "Button/scroll_long_down_button_bg.mif", 84, 209, Common, arrowButton(Look::Normal, 1) },
        { "Button/scroll_long_down_button_bg_pressed.mif", 84, 209, Common, arrowButton(Look::Pressed, 1) },

        // Dialog buttons.
        { "Dialog/b_pop_yes.png", 186, 45, Common, button(Look::Normal, kGreen) },
        { "Dialog/b_pop_yes_p.png", 186, 45, Common, button(Look::Pressed, kGreen) },
        { "Dialog/b_pop_yes_s.png", 88, 72, Common, button(Look::Normal, kGreen) },
        { "Dialog/b_pop_yes_s_p.png", 88, 72, Common, button(Look::Pressed, kGreen) },
        { "Dialog/b_pop_no.png", 186, 45, Common, button(Look::Normal, kRed) },
        { "Dialog/b_pop_no_p.png", 186, 45, Common, button(Look::Pressed, kRed) },
        { "Dialog/b_pop_no_s.png", 88, 72, Common, button(Look::Normal, kRed) },
        { "Dialog/b_pop_no_s_p.png", 88, 72, Common, button(Look::Pressed, kRed) },

        // Add-network screen.
        { "Join_network/bkgd_search_key.png", 224, 35, Common, field() },
        { "Join_network/i_v.png", 30, 30, Common, tick(kGreen) },

        // The option chooser's radio marks.
        { "Button/radio_checked.png", 32, 32, Common, radioMark(true) },
        { "Button/radio_unchecked.png", 32, 32, Common, radioMark(false) },

        // Icons.
        { "Icon/Check_icon.png", 28, 28, Common, tick(kGreen) },
        { "Icon/Connecting_icon.png", 28, 28, Common, connecting(1) },
        { "Icon/i_connecting1.png", 28, 28, Common, connecting(0) },
        { "Icon/i_connecting2.png", 28, 28, Common, connecting(1) },
        { "Common/Icon/settings_subform_indicator_image.mif", 40, 40, Common,
            [](QPainter& p, const QRect& r, const Theme&) { drawArrow(p, glyphBox(r, 0.4), 3); } },
    };

    // Signal icons: no suffix is the strongest, "_3" the weakest.
    const char* suffixes[] = { "", "_1", "_2", "_3" };
    for (int level = 0; level < 4; ++level) {
        art.push_back({ QStringLiteral("Icon/i_list_wifilock%1.png").arg(suffixes[level]), 36, 30, Common,
            signal(4 - level, true) });
        art.push_back({ QStringLiteral("Icon/i_list_wifiunlock%1.png").arg(suffixes[level]), 36, 30, Common,
            signal(4 - level, false) });
    }
    // Loading animations: the big one shows frames 1 to 9, the small one 1 to 8.
    for (int frame = 1; frame <= 9; ++frame)
        art.push_back({ QStringLiteral("Loading_big/i_loading_%1.png").arg(frame), 76, 76, Common, spinner(frame, 9) });
    for (int frame = 1; frame <= 8; ++frame)
        art.push_back(
            { QStringLiteral("Loading_little/i_loading_%1.png").arg(frame), 30, 30, Common, spinner(frame, 8) });
    return art;
}

bool drawInto(const QString& folder, const Art& a, const Theme& theme)
{
    QImage image(a.width, a.height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        a.paint(p, image.rect(), theme);
    }
    const QString file = folder + QLatin1Char('/') + a.path;
    QDir().mkpath(QFileInfo(file).absolutePath());
    if (!image.save(file, "PNG")) {
        std::fprintf(stderr, "kivo_resgen: cannot write %s\n", qPrintable(file));
        return false;
    }
    return true;
}

bool writeQrc(const QString& qrcFile, const QString& folderName, const QStringList& paths)
{
    QFile f(qrcFile);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return false;
    QTextStream out(&f);
    out << "<!DOCTYPE RCC><RCC version=\"1.0\">\n<qresource prefix=\"/\">\n";
    for (const QString& path : paths)
        out << "  <file alias=\"" << path << "\">" << folderName << '/' << path << "</file>\n";
    out << "</qresource>\n</RCC>\n";
    return out.status() == QTextStream::Ok;
}

void putLe(std::vector<uint8_t>& b, uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        b.push_back(uint8_t(v >> (8 * i)));
}

// A short click: a 2.4 kHz tone with a fast attack and an exponential decay,
// 16-bit mono PCM at 22050 Hz.
bool writeClick(const QString& file)
{
    const uint32_t rate = 22050;
    const uint32_t samples = rate * 45 / 1000;
    std::vector<uint8_t> pcm;
    for (uint32_t i = 0; i < samples; ++i) {
        const double t = double(i) / rate;
        const double envelope = std::min(1.0, t / 0.002) * std::exp(-t / 0.009);
        const double value = 0.6 * envelope * std::sin(2 * M_PI * 2400 * t);
        putLe(pcm, uint32_t(uint16_t(int16_t(std::lround(value * 32767)))), 2);
    }
    std::vector<uint8_t> wav;
    wav.insert(wav.end(), { 'R', 'I', 'F', 'F' });
    putLe(wav, uint32_t(36 + pcm.size()), 4);
    wav.insert(wav.end(), { 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ' });
    putLe(wav, 16, 4); // fmt chunk size
    putLe(wav, 1, 2); // PCM
    putLe(wav, 1, 2); // mono
    putLe(wav, rate, 4);
    putLe(wav, rate * 2, 4); // byte rate
    putLe(wav, 2, 2); // block align
    putLe(wav, 16, 2); // bits per sample
    wav.insert(wav.end(), { 'd', 'a', 't', 'a' });
    putLe(wav, uint32_t(pcm.size()), 4);
    wav.insert(wav.end(), pcm.begin(), pcm.end());

    QDir().mkpath(QFileInfo(file).absolutePath());
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(reinterpret_cast<const char*>(wav.data()), qint64(wav.size())) == qint64(wav.size());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: kivo_resgen <output folder> <click sound file>\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir(out).removeRecursively();

    struct Target {
        const char* folder;
        const char* qrc;
        const Theme* theme;
        Bundle bundle;
    };
    const Target targets[] = {
        { "Common", "common.qrc", &kDay, Common },
        { "Day", "day.qrc", &kDay, Themed },
        { "Night", "night.qrc", &kNight, Themed },
        { "Zyr", "zyr.qrc", &kDay, Zyr },
        { "Bt", "bt.qrc", &kDay, Bt },
    };

    std::vector<Art> art = artTable();
    art.insert(art.end(), registeredArt().begin(), registeredArt().end());
    for (const Target& target : targets) {
        const QString folder = out + QLatin1Char('/') + QLatin1String(target.folder);
        QStringList paths;
        for (const Art& a : art) {
            if (a.bundle != target.bundle)
                continue;
            if (!drawInto(folder, a, *target.theme))
                return 1;
            paths << a.path;
        }
        if (!writeQrc(out + QLatin1Char('/') + QLatin1String(target.qrc), QLatin1String(target.folder), paths)) {
            std::fprintf(stderr, "kivo_resgen: cannot write %s\n", target.qrc);
            return 1;
        }
    }

    if (!writeClick(QString::fromLocal8Bit(argv[2]))) {
        std::fprintf(stderr, "kivo_resgen: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
