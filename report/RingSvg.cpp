#include "report/RingSvg.h"

#include <array>
#include <cmath>
#include <map>
#include <utility>

#include "common/Bits.h"
#include "geometry/BusGeometry.h"
#include "geometry/ModulePixels.h"
#include "report/Html.h"

namespace quorval {

namespace {

// The drawing area of the bus view, with the module pictures at twice their size.
constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int kPixel = 2;
constexpr int kPictureWidth = kModuleImageWidth * kPixel;
constexpr int kPictureHeight = kModuleImageHeight * kPixel;
// The module IDs beside the pictures: 13 px digits.
constexpr double kIdDigitWidth = 8;
constexpr double kIdHeight = 14;
const char* const kBackground = "#c0c0c0";
const char* const kBlue = "#0000ff";
const char* const kRed = "#ff0000";

QString Rgb(unsigned rgb) {
    return QStringLiteral("#%1").arg(rgb, 6, 16, QLatin1Char('0'));
}

QString Number(double v) {
    return QString::number(v, 'f', 1);
}

// The pixels of one kind as one path of runs along the rows.
QString PixelPath(ModulePixel kind) {
    QString d;
    for (int row = 0; row < kModuleImageHeight; ++row) {
        for (int col = 0; col < kModuleImageWidth;) {
            int end = col;
            while (end < kModuleImageWidth && ModulePixelAt(row, end) == kind) {
                ++end;
            }
            if (end > col) {
                d += QStringLiteral("M%1 %2h%3v%4h-%3z")
                         .arg(col * kPixel)
                         .arg(row * kPixel)
                         .arg((end - col) * kPixel)
                         .arg(kPixel);
                col = end;
            } else {
                ++col;
            }
        }
    }
    return d;
}

struct PicturePaths {
    QString black = PixelPath(ModulePixel::Black);
    QString face = PixelPath(ModulePixel::Face);
    QString left = PixelPath(ModulePixel::LeftLamp);
    QString right = PixelPath(ModulePixel::RightLamp);
};

ChannelState Lamps(const ModuleState& m) {
    return ChannelState{m.error1, m.error2};
}

void WriteLinks(Html& h, const std::vector<ModuleState>& modules, const RingGeometry& ring) {
    const int n = static_cast<int>(modules.size());
    // Each arc is drawn twice, as the bus view does; the later colour is the one seen.
    std::vector<std::pair<int, int>> order;
    std::map<std::pair<int, int>, bool> red;
    for (int k = 0; k < n; ++k) {
        for (const RingLink& link :
             LinksAt(k, n, [&](int i) { return Lamps(modules[static_cast<std::size_t>(i)]); })) {
            const std::pair<int, int> key{link.fromDeg, link.toDeg};
            if (!red.count(key)) {
                order.push_back(key);
            }
            red[key] = link.red;
        }
    }
    const double r = ring.arcRadius;
    for (const auto& key : order) {
        const char* colour = red[key] ? kRed : kBlue;
        const int span = ArcSpan(key.first, key.second);
        if (span == 360) {
            h.Empty("circle", {{"class", "link"},
                               {"cx", Number(ring.centreX)},
                               {"cy", Number(ring.centreY)},
                               {"r", Number(r)},
                               {"stroke", colour}});
            continue;
        }
        std::int16_t from = static_cast<std::int16_t>(key.first);
        std::int16_t to = static_cast<std::int16_t>(key.second);
        const double a = DegToRad(from);
        const double b = DegToRad(to);
        // Counter-clockwise on screen is SVG's negative sweep, since y grows downwards.
        const QString d =
            QStringLiteral("M%1 %2A%3 %3 0 %4 0 %5 %6")
                .arg(Number(ring.centreX + r * std::cos(a)), Number(ring.centreY - r * std::sin(a)),
                     Number(r), span > 180 ? QStringLiteral("1") : QStringLiteral("0"),
                     Number(ring.centreX + r * std::cos(b)),
                     Number(ring.centreY - r * std::sin(b)));
        h.Empty("path", {{"class", "link"}, {"d", d}, {"stroke", colour}});
    }
}

void WriteModule(Html& h, const std::vector<ModuleState>& modules, int k, const RingGeometry& ring,
                 const PicturePaths& paths) {
    const int n = static_cast<int>(modules.size());
    const ModuleState& m = modules[static_cast<std::size_t>(k)];
    const Point at = PicturePosition(ring, k, n, kPictureWidth, kPictureHeight);
    const int image = ModuleImageIndex(Lamps(m), false);
    const bool ch1Error = image == 2 || image == 4;
    const bool ch2Error = image == 3 || image == 4;
    const auto lamp = [](bool error) { return Rgb(error ? kLampErrorRgb : kLampOkRgb); };
    h.Open("g", {{"class", "module"}, {"id", QStringLiteral("module-%1").arg(m.id)}});
    h.Element("title", QStringLiteral("module %1: CH1 %2, CH2 %3")
                           .arg(m.id)
                           .arg(QLatin1String(m.error1 ? "error" : "ok"),
                                QLatin1String(m.error2 ? "error" : "ok")));
    h.Open("g", {{"transform",
                  QStringLiteral("translate(%1 %2)").arg(Number(at.left), Number(at.top))}});
    h.Empty("path", {{"d", paths.black}, {"fill", "#000000"}});
    h.Empty("path", {{"d", paths.face}, {"fill", Rgb(kFaceRgb)}});
    h.Empty("path", {{"d", paths.left}, {"fill", lamp(ch1Error)}});
    h.Empty("path", {{"d", paths.right}, {"fill", lamp(ch2Error)}});
    h.Close();
    // The module ID outside the ring, clear of its picture in every direction.
    const QString id = QString::number(m.id);
    const Point label = LabelCentre(ring, k, n, kPictureWidth, kPictureHeight,
                                    kIdDigitWidth * id.size(), kIdHeight);
    h.Element("text", id, {{"class", "id"}, {"x", Number(label.left)}, {"y", Number(label.top)}});
    if (k == 0) {  // the label "PC" directly below the attached module, left edges aligned
        h.Element(
            "text", QStringLiteral("PC"),
            {{"class", "pc"}, {"x", Number(at.left)}, {"y", Number(at.top + kPictureHeight)}});
    }
    h.Close();
}

}  // namespace

void WriteRingSvg(Html& h, const std::vector<ModuleState>& modules) {
    const RingGeometry ring = Ring(kWidth, kHeight, kPictureHeight);
    h.Open("svg", {{"class", "ring"},
                   {"viewBox", QStringLiteral("0 0 %1 %2").arg(kWidth).arg(kHeight)},
                   {"width", QString::number(kWidth)},
                   {"height", QString::number(kHeight)},
                   {"role", "img"}});
    h.Element("title", QStringLiteral("The ring of %1 modules").arg(modules.size()));
    h.Empty("rect", {{"width", QString::number(kWidth)},
                     {"height", QString::number(kHeight)},
                     {"fill", kBackground}});
    WriteLinks(h, modules, ring);
    const PicturePaths paths;
    for (int k = 0; k < static_cast<int>(modules.size()); ++k) {
        WriteModule(h, modules, k, ring, paths);
    }
    h.Close();
}

}  // namespace quorval
