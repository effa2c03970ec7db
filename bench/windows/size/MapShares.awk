# Sums a GNU ld link map's input sections by where they came from, within the
# sections that take room in the file: code, data, read-only data, unwind
# tables, imports. Prints "origin text-bytes all-bytes" lines, largest first.
#
#   awk -f MapShares.awk Koravel.map

function hex(text,    i, n, c) { # mawk has no strtonum
    n = 0
    text = tolower(substr(text, 3))
    for (i = 1; i <= length(text); i++) {
        c = index("0123456789abcdef", substr(text, i, 1))
        if (c == 0) return n
        n = n * 16 + c - 1
    }
    return n
}

function origin(file) {
    if (file ~ /CMakeFiles\// || file ~ /libkoravel_/) return "koravel"
    if (file ~ /libstdc\+\+/) return "libstdc++"
    if (file ~ /libgcc/) return "libgcc"
    if (file ~ /libwinpthread/) return "winpthreads"
    if (file ~ /libmingw32\.a|libmingwex\.a|\/crt[^\/]*\.o$|crtbegin|crtend/) return "mingw-runtime"
    if (file ~ /libmsvcrt\.a/) return "msvcrt"
    if (file ~ /\.a\(/) return "import-stubs"
    return "other"
}

function add(size, file) {
    if (file == "" || size == 0) return
    o = origin(file)
    all[o] += size
    if (out == ".text") text[o] += size
}

# An output section starts in the first column.
/^[.A-Za-z]/ {
    out = $1
    counted = (out ~ /^\.(text|data|rdata|pdata|xdata|idata|CRT|tls)$/)
    pending = ""
    next
}

!counted { next }

# An input section on one line: " .name 0xADDRESS 0xSIZE file".
/^ [.A-Za-z_*]/ && NF >= 4 && $2 ~ /^0x/ && $3 ~ /^0x/ {
    add(hex($3), $4)
    pending = ""
    next
}
# A long name goes alone on its line, and the rest on the next.
/^ [.A-Za-z_]/ && NF == 1 {
    pending = $1
    next
}
pending != "" && NF >= 3 && $1 ~ /^0x/ && $2 ~ /^0x/ {
    add(hex($2), $3)
    pending = ""
    next
}
{ pending = "" }

END {
    for (o in all) printf "%s %d %d\n", o, text[o], all[o] | "sort -k3,3nr"
}
