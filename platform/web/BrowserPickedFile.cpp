#include "platform/web/BrowserPickedFile.h"

#include "platform/web/BrowserCalls.h"

#include <emscripten.h>

// The picked file's bytes come through promises; each call below suspends the
// program (Asyncify) until its promise settles.
// clang-format off
EM_JS(int, koravel_picked_name_size, (), {
    return Module.koravelPicked ? lengthBytesUTF8(Module.koravelPicked.name) + 1 : 0;
});
EM_JS(void, koravel_picked_name_copy, (char* buffer, int size), {
    stringToUTF8(Module.koravelPicked.name, buffer, size);
});

// The page has read the drop already; only a handle may still be on its way.
EM_ASYNC_JS(int, koravel_take_dropped, (), {
    try {
        const dropped = await Module.koravelEarlyPick;
        Module.koravelEarlyPick = null;
        if (!dropped) {
            return 0;
        }
        Module.koravelPicked = dropped;
        return 1;
    } catch (e) {
        console.error(e);
        return 0;
    }
});

// A File from <input type="file"> cannot be read once the file on disk has
// changed or gone; a handle gives the file as it is now.
EM_ASYNC_JS(double, koravel_file_size, (), {
    const picked = Module.koravelPicked;
    try {
        const file = picked.handle ? await picked.handle.getFile() : picked.file;
        await file.slice(0, 1).arrayBuffer();
        picked.current = file;
        return file.size;
    } catch (e) {
        return koravelFail(e, "read");
    }
});

EM_ASYNC_JS(double, koravel_file_read, (double offset, int length, unsigned char* into), {
    try {
        const bytes = new Uint8Array(
            await Module.koravelPicked.current.slice(offset, offset + length).arrayBuffer());
        HEAPU8.set(bytes, into);
        return bytes.length;
    } catch (e) {
        return koravelFail(e, "read");
    }
});

EM_JS(int, koravel_file_writes_in_place, (), {
    return koravelWritesInPlace(Module.koravelPicked) ? 1 : 0;
});

EM_ASYNC_JS(int, koravel_file_begin_write, (), {
    return koravelBeginWrite(Module.koravelPicked);
});

EM_ASYNC_JS(int, koravel_file_write, (double offset, const unsigned char* bytes, int length), {
    try {
        await Module.koravelPicked.writable.write(
            {type: "write", position: offset, data: HEAPU8.slice(bytes, bytes + length)});
        return 0;
    } catch (e) {
        return koravelFail(e, "save");
    }
});

EM_ASYNC_JS(int, koravel_file_commit, (), {
    const picked = Module.koravelPicked;
    const writable = picked.writable;
    picked.writable = null;
    try {
        await writable.close();
        return 0;
    } catch (e) {
        return koravelFail(e, "save");
    }
});

EM_ASYNC_JS(void, koravel_file_abort, (), {
    const picked = Module.koravelPicked;
    const writable = picked.writable;
    picked.writable = null;
    if (writable) {
        try {
            await writable.abort();
        } catch (e) {
        }
    }
});

// The link is clicked before the call returns, so the download is under way
// before the program goes on to say the patch worked.
EM_JS(void, koravel_file_download, (const unsigned char* bytes, int length), {
    const blob = new Blob([HEAPU8.slice(bytes, bytes + length)], {type: "application/octet-stream"});
    const url = URL.createObjectURL(blob);
    const link = document.createElement("a");
    link.href = url;
    link.download = Module.koravelPicked.name;
    link.hidden = true;
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(url), 60000);
});
// clang-format on

namespace koravel {

std::string PickedFileName() {
    const int size = koravel_picked_name_size();
    if (size == 0) {
        return std::string();
    }
    std::string name(static_cast<std::size_t>(size), '\0');
    koravel_picked_name_copy(name.data(), size);
    name.resize(static_cast<std::size_t>(size - 1));
    return name;
}

std::string TakeDroppedFile() {
    return koravel_take_dropped() != 0 ? PickedFileName() : std::string();
}

std::shared_ptr<PickedFile> BrowserPickedFiles::Find(const std::string& path) {
    const std::string name = PickedFileName();
    if (name.empty() || path != name) {
        return nullptr;
    }
    return std::make_shared<BrowserPickedFile>();
}

std::int64_t BrowserPickedFile::Size() {
    const double size = koravel_file_size();
    browser::ThrowIfFailed(size);
    return static_cast<std::int64_t>(size);
}

std::vector<std::uint8_t> BrowserPickedFile::Read(std::int64_t offset, std::size_t length) {
    std::vector<std::uint8_t> bytes(length);
    const double got =
        koravel_file_read(static_cast<double>(offset), static_cast<int>(length), bytes.data());
    browser::ThrowIfFailed(got);
    bytes.resize(static_cast<std::size_t>(got));
    return bytes;
}

bool BrowserPickedFile::WritesInPlace() {
    return koravel_file_writes_in_place() != 0;
}

void BrowserPickedFile::BeginWrite() {
    browser::ThrowIfFailed(koravel_file_begin_write());
}

void BrowserPickedFile::Write(std::int64_t offset, std::span<const std::uint8_t> bytes) {
    browser::ThrowIfFailed(koravel_file_write(static_cast<double>(offset), bytes.data(),
                                              static_cast<int>(bytes.size())));
}

void BrowserPickedFile::Commit() {
    browser::ThrowIfFailed(koravel_file_commit());
}

void BrowserPickedFile::Abort() noexcept {
    koravel_file_abort();
}

void BrowserPickedFile::Download(std::span<const std::uint8_t> bytes) {
    koravel_file_download(bytes.data(), static_cast<int>(bytes.size()));
}

} // namespace koravel
