// The window's pictures and its icon are read with Qt's own BMP reader, so
// starting the program loads no image-format plugin: each one that Qt loads
// to ask whether it reads "bmp" costs start-up time and memory.

#include "ui/qt/KoravelApp.h"

#include <QApplication>
#include <QLabel>

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>

namespace koravel {
namespace {

// The image-format plugins mapped into this process, one path a line.
std::string LoadedImagePlugins() {
    std::ifstream maps("/proc/self/maps");
    std::set<std::string> paths;
    std::string line;
    while (std::getline(maps, line)) {
        const std::size_t path = line.find('/');
        if (path != std::string::npos && line.find("/imageformats/", path) != std::string::npos) {
            paths.insert(line.substr(path));
        }
    }
    std::string found;
    for (const std::string& path : paths) {
        found += path + '\n';
    }
    return found;
}

TEST(StartupPlugins, TheWindowAndTheIconLoadNoImageFormatPlugin) {
    int argc = 1;
    char name[] = "test_startup_plugins";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);

    KoravelApp koravel; // the window with its icon, after Form_Load
    const frmMain& window = koravel.Window();
    EXPECT_EQ(window.Picture(PictureBox::picPatchRed)->pixmap().size(), QSize(150, 116));
    EXPECT_EQ(window.windowIcon().pixmap(QSize(16, 16), 1.0).size(), QSize(16, 16));
    EXPECT_EQ(window.windowIcon().pixmap(QSize(32, 32), 1.0).size(), QSize(32, 32));
    EXPECT_EQ(LoadedImagePlugins(), "");

    // The check itself can fail: left to guess the format, Qt loads the plugins.
    EXPECT_FALSE(QPixmap(QStringLiteral(":/assets/swirl_blue.bmp")).isNull());
    if (LoadedImagePlugins().empty()) {
        GTEST_SKIP() << "no image-format plugin is installed, so none could have been loaded";
    }
}

} // namespace
} // namespace koravel
