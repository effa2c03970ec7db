// Makes the one-file page: copies a template, putting in place of each
// {{KEY}} the text of a file or a data: URL of a picture.
//
//   koravel_page_inliner TEMPLATE OUTPUT KEY=text:FILE KEY=base64:FILE KEY=bmp:FILE ...
//
// text: the file as it is (a script must not hold "</script");
// html: markup as it is, which may hold whole <script> blocks;
// base64: the file's bytes in base64, for a block the page decodes itself;
// zlib-base64: the same, deflated first (a zlib stream, as DecompressionStream
//   "deflate" takes it);
// bmp:  a Windows bitmap, as a PNG data: URL; png: a PNG file as a data: URL;
// value: the text after the colon itself (empty for nothing);
// template: markup whose own {{KEY}}s are filled from the same values (one
//   level: a template's value is not itself a template's).
//
// {{ARIA_control}} (ARIA_cboPatch1, ...) are given: the control's accessible
// name and description as attributes, from the list every front end takes.
//
// {{SCRIPT_HASHES}} and {{STYLE_HASHES}} become the SHA-256 sources of the
// finished page's inline <script> and <style> blocks, for its
// Content-Security-Policy: the browser runs those blocks and nothing else.
// A <script type="text/plain" ...> block holds a script that the page runs
// later, as a script element of its own: it is hashed too.
#include "BmpToPng.h"
#include "Sha256.h"

#include "ui/ControlTexts.h"

#include <array>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <zlib.h>

namespace {

using koravel::web_tools::BmpToPng;

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
    const std::string text = ReadText(path);
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

std::string Base64(const std::vector<std::uint8_t>& bytes) {
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const std::uint32_t n = bytes[i] << 16 | bytes[i + 1] << 8 | bytes[i + 2];
        out += {digits[n >> 18], digits[n >> 12 & 63], digits[n >> 6 & 63], digits[n & 63]};
    }
    if (i + 1 == bytes.size()) {
        const std::uint32_t n = bytes[i] << 16;
        out += {digits[n >> 18], digits[n >> 12 & 63], '=', '='};
    } else if (i + 2 == bytes.size()) {
        const std::uint32_t n = bytes[i] << 16 | bytes[i + 1] << 8;
        out += {digits[n >> 18], digits[n >> 12 & 63], digits[n >> 6 & 63], '='};
    }
    return out;
}

std::string Base64(const std::array<std::uint8_t, 32>& digest) {
    return Base64(std::vector<std::uint8_t>(digest.begin(), digest.end()));
}

std::vector<std::uint8_t> Deflate(const std::vector<std::uint8_t>& bytes) {
    uLongf size = compressBound(static_cast<uLong>(bytes.size()));
    std::vector<std::uint8_t> packed(size);
    if (compress2(packed.data(), &size, bytes.data(), static_cast<uLong>(bytes.size()), 9) !=
        Z_OK) {
        throw std::runtime_error("zlib failed");
    }
    packed.resize(size);
    return packed;
}

// "'sha256-...'" for the text of each block that opens with `open` (up to its
// ">") and ends with </tag>, blank-separated.
std::string HashSources(const std::string& page, const std::string& open, const std::string& tag) {
    const std::string close = "</" + tag + ">";
    std::string sources;
    for (auto at = page.find(open); at != std::string::npos; at = page.find(open, at)) {
        const auto start = page.find('>', at) + 1;
        const auto stop = page.find(close, start);
        if (stop == std::string::npos) {
            throw std::runtime_error("unclosed " + open);
        }
        sources +=
            (sources.empty() ? "'sha256-" : " 'sha256-") +
            Base64(koravel::web_tools::Sha256(std::string_view(page).substr(start, stop - start))) +
            "'";
        at = stop;
    }
    return sources;
}

std::string EscapeAttribute(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '<':
            out += "&lt;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// A control without a name of its own is named by its caption.
std::string AriaAttributes(std::string_view name, std::string_view description) {
    std::string out;
    if (!name.empty()) {
        out += " aria-label=\"" + EscapeAttribute(name) + "\"";
    }
    return out + " aria-description=\"" + EscapeAttribute(description) + "\"";
}

// One pass from left to right: filled-in texts are never searched again.
std::string Fill(const std::string& page, const std::map<std::string, std::string>& values) {
    std::string out;
    std::size_t at = 0;
    while (at < page.size()) {
        const auto open = page.find("{{", at);
        if (open == std::string::npos) {
            out.append(page, at, std::string::npos);
            break;
        }
        const auto close = page.find("}}", open);
        if (close == std::string::npos) {
            throw std::runtime_error("unclosed {{ in the template");
        }
        const std::string key = page.substr(open, close + 2 - open);
        const auto found = values.find(key);
        if (found == values.end()) {
            throw std::runtime_error("nothing given for " + key);
        }
        out.append(page, at, open - at);
        out += found->second;
        at = close + 2;
    }
    return out;
}

std::string Value(const std::string& source) {
    const auto colon = source.find(':');
    if (colon == std::string::npos) {
        throw std::runtime_error("no kind in " + source);
    }
    const std::string kind = source.substr(0, colon);
    const std::string path = source.substr(colon + 1);
    if (kind == "text") {
        std::string text = ReadText(path);
        if (text.find("</script") != std::string::npos) {
            throw std::runtime_error(path + " would end its <script> early");
        }
        return text;
    }
    if (kind == "html" || kind == "template") {
        return ReadText(path);
    }
    if (kind == "value") {
        return path;
    }
    if (kind == "base64") {
        return Base64(ReadBytes(path));
    }
    if (kind == "zlib-base64") {
        return Base64(Deflate(ReadBytes(path)));
    }
    if (kind == "bmp") {
        return "data:image/png;base64," + Base64(BmpToPng(ReadBytes(path)));
    }
    if (kind == "png") {
        return "data:image/png;base64," + Base64(ReadBytes(path));
    }
    throw std::runtime_error("unknown kind " + kind);
}

} // namespace

int main(int argc, char** argv) {
    try {
        if (argc < 3) {
            throw std::runtime_error(
                "usage: koravel_page_inliner TEMPLATE OUTPUT KEY=kind:FILE...");
        }
        // Filled in once the page is whole.
        const std::string scriptHashes = "{{SCRIPT_HASHES}}";
        const std::string styleHashes = "{{STYLE_HASHES}}";
        std::map<std::string, std::string> values{{scriptHashes, scriptHashes},
                                                  {styleHashes, styleHashes}};
#define KORAVEL_ARIA_VALUE(control, name, description)                                             \
    values["{{ARIA_" #control "}}"] = AriaAttributes(name, description);
        KORAVEL_CONTROL_TEXTS(KORAVEL_ARIA_VALUE)
#undef KORAVEL_ARIA_VALUE
        std::vector<std::string> templates;
        for (int i = 3; i < argc; ++i) {
            const std::string arg = argv[i];
            const auto equals = arg.find('=');
            if (equals == std::string::npos) {
                throw std::runtime_error("expected KEY=kind:FILE, got " + arg);
            }
            const std::string key = "{{" + arg.substr(0, equals) + "}}";
            values[key] = Value(arg.substr(equals + 1));
            if (arg.compare(equals + 1, 9, "template:") == 0) {
                templates.push_back(key);
            }
        }
        for (const std::string& key : templates) {
            values[key] = Fill(values[key], values);
        }

        std::string out = Fill(ReadText(argv[1]), values);

        const std::string scripts = [&out] {
            const std::string now = HashSources(out, "<script>", "script");
            const std::string later = HashSources(out, "<script type=\"text/plain\"", "script");
            return later.empty() ? now : now + " " + later;
        }();
        for (const auto& [marker, sources] :
             {std::pair{scriptHashes, scripts},
              std::pair{styleHashes, HashSources(out, "<style>", "style")}}) {
            const auto at = out.find(marker);
            if (at != std::string::npos) {
                out.replace(at, marker.size(), sources);
            }
        }

        std::ofstream file(argv[2], std::ios::binary | std::ios::trunc);
        file << out;
        if (!file) {
            throw std::runtime_error(std::string("cannot write ") + argv[2]);
        }
    } catch (const std::exception& e) {
        std::cerr << "koravel_page_inliner: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
