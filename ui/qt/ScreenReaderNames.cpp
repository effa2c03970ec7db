#include "ui/qt/ScreenReaderNames.h"

#include "ui/qt/frmMain.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QComboBox>

namespace koravel {
namespace {

// A pick-only list named by its accessible name. Qt's own interface for a
// combo box gives its current text as its name on Linux, where screen readers
// are expected to find the setting's name through a label, so a list without
// one is heard by its value alone. Here the name stays the setting's, and the
// chosen item is the list's value and its read-only text.
class NamedList : public QAccessibleWidget, public QAccessibleTextInterface {
  public:
    explicit NamedList(QComboBox* list) : QAccessibleWidget(list, QAccessible::ComboBox) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface) {
            return static_cast<QAccessibleTextInterface*>(this);
        }
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Value ||
            (kind == QAccessible::Name && List()->accessibleName().isEmpty())) {
            return List()->currentText(); // unnamed, it is read by its value, as before
        }
        return QAccessibleWidget::text(kind);
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.expandable = true;
        state.expanded = List()->view()->isVisible();
        state.collapsed = !state.expanded;
        return state;
    }

    // The drop-down list is the one child, as with Qt's own interface.
    int childCount() const override { return 1; }
    QAccessibleInterface* child(int index) const override {
        return index == 0 ? QAccessible::queryAccessibleInterface(List()->view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return child != nullptr && child->object() == List()->view() ? 0 : -1;
    }

    QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }
    void doAction(const QString& action) override {
        if (action == showMenuAction() || action == pressAction()) {
            List()->showPopup();
        }
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

    // The read-only text: the chosen item.
    QString text(int start, int end) const override {
        return List()->currentText().mid(start, end - start);
    }
    int characterCount() const override { return int(List()->currentText().size()); }
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    void selection(int, int* start, int* end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int* start, int* end) const override {
        *start = *end = 0;
        return {};
    }

  private:
    QComboBox* List() const { return static_cast<QComboBox*>(widget()); }
};

QAccessibleInterface* Interface(const QString& className, QObject* object) {
    // The main window is a plain widget, which Qt takes for a pane inside a
    // window: named a window, it is read as one, by its caption.
    if (auto* window = qobject_cast<frmMain*>(object);
        window != nullptr && className == QLatin1String(frmMain::staticMetaObject.className())) {
        return new QAccessibleWidget(window, QAccessible::Window);
    }
    // A pick-only list keeps the name it is given. The interface is asked for
    // as soon as a screen reader listens, possibly before the list has its
    // name, so the name is read when it is needed. Lists one can type in stay
    // Qt's.
    if (auto* list = qobject_cast<QComboBox*>(object);
        list != nullptr && className == QLatin1String("QComboBox") && !list->isEditable()) {
        return new NamedList(list);
    }
    return nullptr;
}

} // namespace

void InstallScreenReaderNames() {
    static const bool installed = [] {
        QAccessible::installFactory(Interface);
        return true;
    }();
    (void)installed;
}

} // namespace koravel
