#include "platform/modCommonDialog.h"

#include "platform/FileError.h"
#include "platform/MessageBox.h"

#include <exception>

namespace koravel {
namespace {

void ReportError(MessageBox& messages, int number, const std::string& description) {
    messages.Show("ShowOpen - modCommonDialog\r\n\r\n" + std::to_string(number) + " - " +
                      description,
                  MsgIcon::Critical, "Error");
}

} // namespace

std::vector<FileFilter> ParseFilterText(const std::string& filter) {
    std::vector<std::string> items;
    std::string::size_type start = 0;
    while (start < filter.size()) {
        const auto end = filter.find('\0', start);
        const auto stop = end == std::string::npos ? filter.size() : end;
        if (stop == start) { // two NULs close the list
            break;
        }
        items.push_back(filter.substr(start, stop - start));
        start = stop + 1;
    }
    std::vector<FileFilter> pairs;
    for (std::size_t i = 0; i + 1 < items.size(); i += 2) {
        pairs.push_back({items[i], items[i + 1]});
    }
    return pairs;
}

std::string modCommonDialog::ShowOpen(const std::string& filter, const std::uint32_t& flags) {
    try {
        // The path comes back whole: a name that really begins or ends with a
        // blank is the user's file, not padding.
        return dialog_.Run("Open", ParseFilterText(filter), flags).value_or(std::string());
    } catch (const FileError& e) {
        ReportError(messages_, e.Number(), e.Description());
    } catch (const std::exception& e) {
        ReportError(messages_, err::InternalError, std::string("Internal error: ") + e.what());
    }
    return std::string();
}

} // namespace koravel
