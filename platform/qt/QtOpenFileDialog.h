#pragma once

#include "platform/OpenFileDialog.h"

#include <QStringList>

class QWidget;

namespace koravel {

// The desktop's open-file dialog through Qt, modal to its owner window: the
// desktop's own where Qt reaches one, Qt's own elsewhere.
class QtOpenFileDialog : public OpenFileDialog {
  public:
    explicit QtOpenFileDialog(QWidget* owner) : owner_(owner) {}
    std::optional<std::string> Run(const std::string& title, const std::vector<FileFilter>& filters,
                                   std::uint32_t flags) override;

    // The dialog's name filters for the given pairs.
    static QStringList NameFilters(const std::vector<FileFilter>& filters);
    // Whether a path a dialog returned may be confirmed under the given flags.
    static bool Confirmable(const QString& path, std::uint32_t flags);

  private:
    QWidget* owner_;
};

} // namespace koravel
