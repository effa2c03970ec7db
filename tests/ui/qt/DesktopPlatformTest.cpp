// Which Qt platform the program asks for, by the session it starts in.
#include "ui/qt/DesktopPlatform.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace koravel {
namespace {

QByteArray Choice(const std::map<std::string, QByteArray>& environment,
                  bool platformArgument = false) {
    return PreferredPlatform(
        [&](const char* name) {
            const auto found = environment.find(name);
            return found == environment.end() ? QByteArray() : found->second;
        },
        platformArgument);
}

TEST(DesktopPlatform, AWaylandSessionWithXWaylandGoesThroughX) {
    EXPECT_EQ(Choice({{"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ":0"}}), "xcb;wayland");
}

TEST(DesktopPlatform, OtherSessionsAreLeftToQt) {
    EXPECT_EQ(Choice({{"WAYLAND_DISPLAY", "wayland-0"}}), ""); // no X server for old programs
    EXPECT_EQ(Choice({{"DISPLAY", ":0"}}), "");                // plain X
    EXPECT_EQ(Choice({{"WAYLAND_DISPLAY", ""}, {"DISPLAY", ":0"}}), "");
}

TEST(DesktopPlatform, TheUsersOwnChoiceStands) {
    const std::map<std::string, QByteArray> both{{"WAYLAND_DISPLAY", "wayland-0"},
                                                 {"DISPLAY", ":0"}};
    auto chosen = both;
    chosen["QT_QPA_PLATFORM"] = "wayland";
    EXPECT_EQ(Choice(chosen), "");
    EXPECT_EQ(Choice(both, /*platformArgument=*/true), "");
}

QByteArray Theme(const std::map<std::string, QByteArray>& environment, bool themeArgument = false) {
    return PreferredPlatformTheme(
        [&](const char* name) {
            const auto found = environment.find(name);
            return found == environment.end() ? QByteArray() : found->second;
        },
        themeArgument);
}

TEST(DesktopPlatform, GnomeOpensItsOwnDialogThroughThePortal) {
    EXPECT_EQ(Theme({{"XDG_CURRENT_DESKTOP", "GNOME"}}), "xdgdesktopportal");
    EXPECT_EQ(Theme({{"XDG_CURRENT_DESKTOP", "ubuntu:GNOME"}}), "xdgdesktopportal");
    EXPECT_EQ(Theme({{"XDG_CURRENT_DESKTOP", "KDE"}}), "");             // Plasma's own theme
    EXPECT_EQ(Theme({{"XDG_CURRENT_DESKTOP", "GNOME-Flashback"}}), ""); // not GNOME's shell
    EXPECT_EQ(Theme({}), "");
    EXPECT_EQ(Theme({{"XDG_CURRENT_DESKTOP", "GNOME"}, {"QT_QPA_PLATFORMTHEME", "gtk3"}}), "");
    EXPECT_EQ(Theme({{"XDG_CURRENT_DESKTOP", "GNOME"}}, /*themeArgument=*/true), "");
}

TEST(DesktopPlatform, OnlyPlasmasCompositorFramesTheWindowOnWayland) {
    const auto frames = [](const char* desktop) {
        return CompositorFramesWindows([&](const char* name) {
            return std::string(name) == "XDG_CURRENT_DESKTOP" ? QByteArray(desktop) : QByteArray();
        });
    };
    EXPECT_TRUE(frames("KDE"));
    EXPECT_FALSE(frames("GNOME"));
    EXPECT_FALSE(frames("ubuntu:GNOME"));
    EXPECT_FALSE(frames(""));
}

} // namespace
} // namespace koravel
