// Draws KivoWiFi's skin images and its click sound.
//
//   kivo_resgen <output folder> <click sound file>
//
// Writes <output>/Common, <output>/Day and <output>/Night with the images of
// each resource file and a .qrc beside each folder (common.qrc, day.qrc,
// night.qrc) for rcc. Images that follow the day/night mode are drawn into
// both mode folders with the mode's colours; the rest go to Common.
//
// To add an image, add a row to the art table: its resource path, its size,
// which files carry it and how it is drawn. Images named ".mif" are stored as
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

namespace {

struct Theme {
    bool night;
    QColor page; // backgrounds of lists and pages
    QColor bar; // title and footer bars
    QColor barEdge;
    QColor row; // list rows
    QColor rowPressed;
    QColor line;
    QColor dialog;
};

// Labels the screens leave unstyled draw black text on the page and the
// bars, so those stay light enough for it in both modes; the night pages are
// dimmer. Rows and dialogs, whose texts the screens colour, follow the mode.
const Theme kDay = { false, QColor(236, 238, 240), QColor(128, 170, 218), QColor(86, 128, 178), QColor(248, 249, 250),
    QColor(255, 196, 64), QColor(190, 194, 200), QColor(40, 44, 52) };
const Theme kNight = { true, QColor(170, 174, 180), QColor(112, 120, 132), QColor(80, 86, 96), QColor(62, 64, 68),
    QColor(150, 98, 18), QColor(90, 94, 100), QColor(20, 22, 26) };

enum class Look { Normal, Pressed, Disabled };

const QColor kAccent(46, 120, 200);
const QColor kAccentPressed(255, 176, 32);
const QColor kDisabled(150, 150, 150);
const QColor kGlyph(255, 255, 255);
const QColor kGreen(60, 170, 80);
const QColor kRed(224, 84, 72);

using Paint = std::function<void(QPainter&, const QRect&, const Theme&)>;

enum Bundle { Common, Themed };

struct Art {
    QString path; // resource path below ":/"
    int width;
    int height;
    Bundle bundle;
    Paint paint;
};

QColor buttonColor(Look look, QColor normal = kAccent)
{
    switch (look) {
    case Look::Pressed:
        return kAccentPressed;
    case Look::Disabled:
        return kDisabled;
    default:
        return normal;
    }
}

// A flat rounded button face with a thin darker edge.
Paint button(Look look, QColor normal = kAccent, qreal radius = 6)
{
    return [=](QPainter& p, const QRect& r, const Theme&) {
        QColor face = buttonColor(look, normal);
        p.setPen(QPen(face.darker(140), 1));
        p.setBrush(face);
        p.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    };
}

Paint fill(std::function<QColor(const Theme&)> color)
{
    return [=](QPainter& p, const QRect& r, const Theme& t) { p.fillRect(r, color(t)); };
}

// A bar with a one-pixel edge at the bottom (title bars) or top (footers).
Paint bar(bool edgeAtBottom)
{
    return [=](QPainter& p, const QRect& r, const Theme& t) {
        p.fillRect(r, t.bar);
        p.setPen(t.barEdge);
        int y = edgeAtBottom ? r.bottom() : r.top();
        p.drawLine(r.left(), y, r.right(), y);
    };
}

Paint row(bool pressed)
{
    return [=](QPainter& p, const QRect& r, const Theme& t) {
        p.fillRect(r, pressed ? t.rowPressed : t.row);
        p.setPen(t.line);
        p.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
    };
}

// Glyphs are drawn inside a centred square of the image.
QRectF glyphBox(const QRect& r, qreal scale = 0.6)
{
    qreal side = std::min(r.width(), r.height()) * scale;
    return QRectF(r.center().x() + 0.5 - side / 2, r.center().y() + 0.5 - side / 2, side, side);
}

void drawArrow(QPainter& p, const QRectF& b, int direction) // 0 up, 1 down, 2 left, 3 right
{
    QPolygonF tri;
    switch (direction) {
    case 0:
        tri << QPointF(b.center().x(), b.top()) << b.bottomRight() << b.bottomLeft();
        break;
    case 1:
        tri << b.topLeft() << b.topRight() << QPointF(b.center().x(), b.bottom());
        break;
    case 2:
        tri << QPointF(b.left(), b.center().y()) << b.topRight() << b.bottomRight();
        break;
    default:
        tri << b.topLeft() << QPointF(b.right(), b.center().y()) << b.bottomLeft();
        break;
    }
    p.setPen(Qt::NoPen);
    p.setBrush(kGlyph);
    p.drawPolygon(tri);
}

Paint arrowButton(Look look, int direction, QColor normal = kAccent)
{
    return [=](QPainter& p, const QRect& r, const Theme& t) {
        button(look, normal)(p, r, t);
        drawArrow(p, glyphBox(r, 0.45), direction);
    };
}

void drawTick(QPainter& p, const QRectF& b, QColor color)
{
    QPainterPath path;
    path.moveTo(b.left(), b.top() + b.height() * 0.55);
    path.lineTo(b.left() + b.width() * 0.38, b.bottom() - b.height() * 0.1);
    path.lineTo(b.right(), b.top() + b.height() * 0.12);
    p.setPen(QPen(color, std::max<qreal>(2, b.width() / 7), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
}

Paint tick(QColor color)
{
    return [=](QPainter& p, const QRect& r, const Theme&) { drawTick(p, glyphBox(r, 0.8), color); };
}

// Signal strength: four rising bars, the first `bars` of them lit; a small
// padlock at the left for secured networks.
Paint signal(int bars, bool locked)
{
    return [=](QPainter& p, const QRect& r, const Theme&) {
        const qreal barWidth = r.width() / 9.0;
        for (int i = 0; i < 4; ++i) {
            qreal h = r.height() * (0.3 + 0.2 * i);
            QRectF b(r.left() + r.width() * 0.45 + i * barWidth * 1.3, r.bottom() + 1 - h, barWidth, h);
            p.fillRect(b, i < bars ? kAccent : kDisabled);
        }
        if (locked) {
            QRectF body(r.left() + 2, r.top() + r.height() * 0.45, r.width() * 0.32, r.height() * 0.45);
            p.setPen(QPen(kRed, 2));
            p.setBrush(Qt::NoBrush);
            p.drawArc(QRectF(body.left() + body.width() * 0.2, body.top() - body.height() * 0.6, body.width() * 0.6,
                          body.height() * 1.2),
                0, 180 * 16);
            p.setPen(Qt::NoPen);
            p.setBrush(kRed);
            p.drawRect(body);
        }
    };
}

// Frame `frame` of `count` of a spinner: a ring of dots, one of them bright.
Paint spinner(int frame, int count)
{
    return [=](QPainter& p, const QRect& r, const Theme&) {
        const QPointF c = QRectF(r).center();
        const qreal radius = std::min(r.width(), r.height()) * 0.36;
        const qreal dot = std::max<qreal>(2, radius * 0.22);
        for (int i = 0; i < count; ++i) {
            const qreal angle = 2 * M_PI * i / count - M_PI / 2;
            const int age = ((frame - 1 - i) % count + count) % count;
            QColor color = kAccent;
            color.setAlpha(255 - age * 200 / count);
            p.setPen(Qt::NoPen);
            p.setBrush(color);
            p.drawEllipse(QPointF(c.x() + radius * std::cos(angle), c.y() + radius * std::sin(angle)), dot, dot);
        }
    };
}

// Two alternating frames of a "connecting" mark: arcs growing out of a dot.
Paint connecting(int frame)
{
    return [=](QPainter& p, const QRect& r, const Theme&) {
        const QPointF base(r.center().x() + 0.5, r.bottom() - r.height() * 0.15);
        p.setBrush(kAccent);
        p.setPen(Qt::NoPen);
        p.drawEllipse(base, 2.5, 2.5);
        p.setBrush(Qt::NoBrush);
        for (int i = 1; i <= frame + 1; ++i) {
            qreal rad = r.height() * 0.22 * i;
            p.setPen(QPen(kAccent, 2.5));
            p.drawArc(QRectF(base.x() - rad, base.y() - rad, 2 * rad, 2 * rad), 45 * 16, 90 * 16);
        }
    };
}

Paint field()
{
    return [](QPainter& p, const QRect& r, const Theme&) {
        p.setPen(QPen(QColor(120, 124, 130), 1));
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    };
}

Paint dialogBackground()
{
    return [](QPainter& p, const QRect& r, const Theme& t) {
        p.fillRect(r, t.dialog);
        p.setPen(QPen(t.dialog.lighter(180), 2));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(r).adjusted(8, 90, -8, -90), 8, 8);
    };
}

Paint shadow()
{
    return [](QPainter& p, const QRect& r, const Theme& t) {
        QLinearGradient g(r.topLeft(), r.bottomLeft());
        g.setColorAt(0, t.page.darker(115));
        g.setColorAt(0.08, t.page);
        g.setColorAt(1, t.page);
        p.fillRect(r, g);
    };
}

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
        { "Join_network/b_security.png", 210, 35, Common, arrowButton(Look::Normal, 3) },
        { "Join_network/b_security_p.png", 210, 35, Common, arrowButton(Look::Pressed, 3) },
        { "Join_network/bkgd_search_key.png", 224, 35, Common, field() },
        { "Join_network/i_v.png", 30, 30, Common, tick(kGreen) },

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
    };

    const std::vector<Art> art = artTable();
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
