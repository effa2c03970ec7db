#pragma once

#include "platform/OpenFileDialog.h"

#include <QStringList>

class QWidget;

namespace koravel {

// Qt's own open-file dialog, modal to its owner window.
class QtOpenFileDialog : public OpenFileDialog {
  public:
    explicit QtOpenFileDialog(QWidget* owner) : owner_(owner) {}
    std::optional<std::string> Run(const std::string& title, const std::vector<FileFilter>& filters,
                                   std::uint32_t flags) override;

    // The dialog's name filters for the given pairs.
    static QStringList NameFilters(const std::vector<FileFilter>& filters);

  private:
    QWidget* owner_;
};

} // namespace koravel
