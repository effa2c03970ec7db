// Draws the window pictures and icons into the folder named on the command
// line (ui/assets). Output is the same bytes on every run.

#include "Artwork.h"
#include "BitmapFiles.h"

#include <QImageWriter>
#include <QString>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

namespace fs = std::filesystem;
using namespace koravel::assets;

namespace {

bool WriteBytes(const fs::path& file, const std::string_view bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", file.c_str());
        return false;
    }
    return true;
}

bool WriteBytes(const fs::path& file, const std::vector<std::uint8_t>& bytes) {
    return WriteBytes(file,
                      std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

bool WritePng(const fs::path& file, const QImage& image) {
    fs::create_directories(file.parent_path());
    QImageWriter writer(QString::fromStdString(file.string()), "png");
    if (!writer.write(image)) {
        std::fprintf(stderr, "cannot write %s: %s\n", file.c_str(),
                     writer.errorString().toLocal8Bit().constData());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <ui/assets folder>\n", argv[0]);
        return 2;
    }
    const fs::path dir = argv[1];
    bool ok = true;
    // 1x for screens at 100 % scale, 24-bit; the suffixed files for 150 % and
    // 200 %, run-length coded in 255 colours, as uncompressed they would be
    // most of Koravel.exe.
    const std::pair<double, std::string> scales[] = {{1.0, ""}, {1.5, "@1.5x"}, {2.0, "@2x"}};
    const std::pair<Rgb, std::string> swirls[] = {
        {kSwirlRed, "red"}, {kSwirlBlue, "blue"}, {kSwirlBlack, "black"}};
    for (const auto& [scale, suffix] : scales)
        for (const auto& [colour, name] : swirls)
            ok &= WriteBytes(
                dir / ("swirl_" + name + suffix + ".bmp"),
                scale == 1.0 ? EncodeBmp24(WindowPicture(colour), 72.0)
                             : EncodeBmpRle8(PalettedWindowPicture(colour, scale), 72.0 * scale));

    const IndexedImage icon = WindowIcon();
    ok &= WriteBytes(dir / "swirl_icon.bmp", EncodeBmp8(icon));
    ok &= WriteBytes(dir / "koravel.ico", EncodeIco8(icon));
    // The same icon for title bars (16) and task lists (32) on screens at 1x,
    // 1.5x and 2x, where the Qt window gives it to the window manager.
    for (int size : {16, 24, 48, 64})
        ok &= WriteBytes(dir / ("swirl_icon_" + std::to_string(size) + ".bmp"),
                         EncodeBmp8(WindowIcon(size)));

    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const std::string folder = std::to_string(size) + "x" + std::to_string(size);
        ok &= WritePng(dir / "hicolor" / folder / "koravel.png", DesktopIcon(size));
    }
    // The web app's icons (ui/web/site): launchers and task bars, a maskable
    // one whose swirl keeps to the safe zone (a circle of 0.4 sides around
    // the centre, less an antialiased pixel's worth), and iOS's home screen,
    // which rounds the corners itself.
    for (int size : {192, 512})
        ok &= WritePng(dir / "app" / ("koravel-" + std::to_string(size) + ".png"),
                       AppIcon(size, 15.0 / 32.0));
    ok &= WritePng(dir / "app" / "koravel-maskable-512.png", AppIcon(512, 0.39));
    ok &= WritePng(dir / "app" / "koravel-touch-180.png", AppIcon(180, 0.4));

    fs::create_directories(dir / "hicolor" / "scalable");
    ok &= WriteBytes(dir / "hicolor" / "scalable" / "koravel.svg", DesktopIconSvg());
    return ok ? 0 : 1;
}
