# Java declarations of the reference, "static [native] Type name(Type a, ...)", as "kind name signature".
function descriptor(type,   dims, base) {
    dims = ""
    while (type ~ /\[\]$/) { dims = dims "["; type = substr(type, 1, length(type) - 2) }
    sub(/.*\./, "", type)
    if (type == "void") base = "V"; else if (type == "boolean") base = "Z"; else if (type == "int") base = "I"
    else if (type == "long") base = "J"; else if (type == "byte") base = "B"
    else if (type == "String") base = "Ljava/lang/String;"; else if (type == "Serializable") base = "Ljava/io/Serializable;"
    else if (type == "Component") base = "Ljava/awt/Component;"; else if (type == "Graphics2D") base = "Ljava/awt/Graphics2D;"
    else { print "reference: unknown type " type " in " $0 > "/dev/stderr"; bad = 1; base = "?" }
    return dims base
}
{
    kind = $2 == "native" ? "native" : "method"
    declaration = $0; sub(/^static (native )?/, "", declaration)
    split(declaration, head, /[ (]/)
    params = declaration; sub(/^[^(]*\(/, "", params); sub(/\)$/, "", params)
    signature = "("
    n = split(params, list, / *, */)
    for (i = 1; i <= n; i++) if (list[i] != "") { split(list[i], word, / /); signature = signature descriptor(word[1]) }
    print kind, head[2], signature ")" descriptor(head[1])
}
END { exit bad }
