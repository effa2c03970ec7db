// The floor of the main window's start-up in Qt: the same ten stock controls at
// the same places in a window of the same size and title, and nothing else. No
// pictures, no resources, no handlers: what any Qt program showing this window
// pays at the least.

#include "settings/CodeTables.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include <span>

namespace {

void AddList(QWidget* window, std::span<const char* const> items, QRect geometry) {
    auto* list = new QComboBox(window);
    for (const char* item : items) {
        list->addItem(QString::fromUtf8(item));
    }
    list->setGeometry(geometry);
}

void AddButton(QWidget* window, const char* caption, QRect geometry) {
    auto* button = new QPushButton(QString::fromUtf8(caption), window);
    button->setGeometry(geometry);
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);

    QWidget window(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    window.setWindowTitle(QStringLiteral("Koravel v0.3"));
    window.setFixedSize(250, 281);

    AddList(&window, koravel::SwirlTexts(), {128, 168, 113, 21});
    AddList(&window, koravel::LanguageTexts(), {8, 216, 233, 21});
    AddList(&window, koravel::BroadcastTexts(), {8, 192, 233, 21});
    AddButton(&window, "Patch", {8, 248, 233, 25});
    AddList(&window, koravel::RegionTexts(), {8, 168, 113, 21});
    AddButton(&window, "Select", {200, 136, 41, 21});
    auto* path = new QLineEdit(&window);
    path->setGeometry(8, 136, 185, 21);
    for (int i = 0; i < 3; ++i) {
        auto* picture = new QLabel(&window);
        picture->setGeometry(48, 8, 154, 120);
    }

    window.show();
    return QApplication::exec();
}
