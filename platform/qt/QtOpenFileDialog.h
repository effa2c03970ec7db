#pragma once

#include "platform/OpenFileDialog.h"

#include <QStringList>
#include <QUrl>

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
    // Why a dialog's pick cannot be confirmed under the given flags, told as
    // Qt's own dialog tells a name that does not exist, and the folder to show
    // the dialog in again.
    struct Refusal {
        QString why;
        QUrl folder;
    };
    // Nothing when the pick may be confirmed. `shownFolder` is the folder the
    // dialog was in, for a pick that has no local folder of its own.
    static std::optional<Refusal> Refuse(const QUrl& picked, const QUrl& shownFolder,
                                         std::uint32_t flags);

  private:
    QWidget* owner_;
};

} // namespace koravel
