# The methods the given source files bind, each file read as a single line:
# "kind name signature key".
# A native registered under several prefixes gives one line per prefix, all with one key.

# The string literals of `text`, in order, into `out`; their count.
function strings(text, out,   n) {
    n = 0
    while (match(text, /"[^"]*"/)) {
        out[++n] = substr(text, RSTART + 1, RLENGTH - 2)
        text = substr(text, RSTART + RLENGTH)
    }
    return n
}

# Cuts the next match of `pattern` out of the global `rest`; empty when there is none.
function next_match(pattern,   found) {
    if (!match(rest, pattern)) return ""
    found = substr(rest, RSTART, RLENGTH)
    rest = substr(rest, RSTART + RLENGTH)
    return found
}

function bindings(s,   found, body, array, n, np, i, j, literal, prefix, pump, pair, table) {
    delete nativeArray
    gsub(/"[ \t]+"/, "", s)                       # literals continued on the next line
    gsub(/Get(Static)?MethodID\([^;]*;/, "", s)   # the runtime's own methods, not the application's

    # Native sets: NativeSet kName{"Interface", count, kPrefixes, kMethods}.
    rest = s
    while ((found = next_match("NativeSet k[A-Za-z]+\\{\"[A-Za-z]+\", *[A-Za-z0-9]+, *k[A-Za-z]+, *k[A-Za-z]+\\}")) != "") {
        split(found, field, /[{},] */)
        nativeArray[field[5]] = field[4]
    }

    # Method tables: std::array<NativeMethod, n> kName{{ {id, "name", "signature"}, ... }};
    rest = s
    s = ""
    while (match(rest, /std::array<NativeMethod, *[0-9]+> *k[A-Za-z]+\{\{/)) {
        s = s substr(rest, 1, RSTART - 1)
        rest = substr(rest, RSTART)
        end = index(rest, "}};")
        body = substr(rest, 1, end)
        rest = substr(rest, end + 3)
        match(body, /> *k[A-Za-z]+/)
        array = substr(body, RSTART + 1, RLENGTH - 1)
        gsub(/ /, "", array)
        n = strings(body, literal)
        np = 1
        prefix[1] = ""
        if (array in nativeArray && match(rest s, nativeArray[array] "\\[\\] *= *\\{[^}]*\\}"))
            np = strings(substr(rest s, RSTART, RLENGTH), prefix)
        for (i = 1; i < n; i += 2)
            for (j = 1; j <= np; j++)
                print (array in nativeArray ? "native" : "method"), prefix[j] literal[i], literal[i + 1],
                      literal[i] literal[i + 1]
    }
    s = s rest

    # Pumps: bindPump(record, mainClass, "query", "supply", "deliver").
    rest = s
    while ((found = next_match("bindPump\\([A-Za-z]+, *[A-Za-z()]+, *\"[A-Za-z]+\", *\"[A-Za-z]+\", *\"[A-Za-z]+\"\\)")) != "") {
        strings(found, pump)
        print "method", pump[1], "()Z", pump[1] "()Z"
        print "method", pump[2], "()Ljava/io/Serializable;", pump[2] "()Ljava/io/Serializable;"
        print "method", pump[3], "(Ljava/io/Serializable;)V", pump[3] "(Ljava/io/Serializable;)V"
    }

    # Everything else: a method name followed by its signature.
    rest = s
    while ((found = next_match("\"[A-Za-z_]+\", *\"\\([^\"]*\\)[^\"]*\"")) != "") {
        strings(found, pair)
        print "method", pair[1], pair[2], pair[1] pair[2]
    }
}

FNR == 1 && NR > 1 { bindings(text); text = "" }
{ text = text " " $0 }
END { bindings(text) }
