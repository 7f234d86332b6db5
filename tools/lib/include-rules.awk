# The include check of tools/check.sh: reads "FILE:LINE" include lines (grep -H) and checks
# each include of a repository file against the table tools/include-rules.txt and against
# the CMake link graph, and each Qt header against the Qt modules the file's target links.
#
#   awk -v rules=TABLE -v roots="app imaging ..." -v cmakelists=LIST -v qtheaders=LIST
#
# rules      the table: a folder (or file) and the folders it may include
# cmakelists a file naming the CMakeLists.txt to read, one a line, relative to the root
# qtheaders  a file of "MODULE HEADER" lines (QtWidgets QComboBox), QtCore's first
#
# The link graph: the targets that add_library, add_executable, cuvora_add_test,
# cuvora_add_bench and cuvora_add_fuzz_target define, each in the folder of its CMakeLists,
# and their target_link_libraries and LIBS. A target may include the folders of the
# targets it links and of what they link PUBLIC, in turn; a file listed as a target's source
# follows that target, any other file the targets of its table folder together.

function module_of(path,    best, m) {
    best = ""
    for (m in allowed)
        if ((path == m || index(path, m "/") == 1) && length(m) > length(best))
            best = m
    return best
}

function normalize(path,    n, parts, out, i, k) {
    n = split(path, parts, "/")
    k = 0
    for (i = 1; i <= n; i++) {
        if (parts[i] == "." || parts[i] == "")
            continue
        if (parts[i] == ".." && k > 0) {
            k--
            continue
        }
        out[++k] = parts[i]
    }
    path = ""
    for (i = 1; i <= k; i++)
        path = path (i > 1 ? "/" : "") out[i]
    return path
}

function add_word(set, word) {
    return index(set, " " word " ") ? set : set word " "
}

function add_words(set, words,    n, parts, i) {
    n = split(words, parts, " ")
    for (i = 1; i <= n; i++)
        set = add_word(set, parts[i])
    return set
}

function define(name, dir) {
    if (name ~ /\$/)
        return
    targetDir[name] = dir
    links[name] = links[name] ""
    publicLinks[name] = publicLinks[name] ""
}

function link(name, library, visibility) {
    if (library ~ /\$|^-/ || name ~ /\$/)
        return
    # An INTERFACE library is for the target's users, not the target itself.
    if (visibility != "INTERFACE")
        links[name] = add_word(links[name] == "" ? " " : links[name], library)
    if (visibility != "PRIVATE")
        publicLinks[name] = add_word(publicLinks[name] == "" ? " " : publicLinks[name], library)
}

# One command of a CMakeLists: NAME and its arguments in args[1..n].
function command(dir, name, n,    i, visibility, target, source, keyword) {
    if (name == "function") {
        inFunction = 1
        return
    }
    if (name == "endfunction") {
        inFunction = 0
        return
    }
    if (inFunction)
        return
    if (name == "add_library" || name == "add_executable") {
        if (args[2] == "ALIAS" || args[2] == "IMPORTED")
            return
        define(args[1], dir)
        for (i = 2; i <= n; i++)
            if (args[i] !~ /^(STATIC|SHARED|MODULE|INTERFACE|OBJECT|EXCLUDE_FROM_ALL|WIN32)$/ &&
                args[i] !~ /\$/)
                sourceTarget[normalize(dir "/" args[i])] = args[1]
    } else if (name == "target_link_libraries") {
        visibility = "PUBLIC"
        for (i = 2; i <= n; i++) {
            if (args[i] ~ /^(PUBLIC|PRIVATE|INTERFACE)$/)
                visibility = args[i]
            else
                link(args[1], args[i], visibility)
        }
    } else if (name == "cuvora_add_test" || name == "cuvora_add_bench" ||
               name == "cuvora_add_fuzz_target") {
        if (name == "cuvora_add_fuzz_target") {
            target = "fuzz_" args[1]
            source = args[2]
            i = 3
        } else {
            source = normalize(dir "/" args[1])
            target = source
            sub(/\.cpp$/, "", target)
            if (name == "cuvora_add_test") {
                sub(/^tests\//, "", target)
                gsub(/\//, "_", target)
            } else {
                sub(/^.*\//, "", target)
            }
            source = args[1]
            i = 2
        }
        define(target, dir)
        sourceTarget[normalize(dir "/" source)] = target
        keyword = ""
        for (; i <= n; i++) {
            if (args[i] ~ /^[A-Z]+$/)
                keyword = args[i]
            else if (keyword == "LIBS")
                link(target, args[i], "PRIVATE")
        }
    }
}

function read_cmakelists(path,    dir, line, text, depth, start, i, c, inner, n, word, name) {
    dir = path
    sub(/\/?CMakeLists\.txt$/, "", dir)
    text = ""
    while ((getline line < path) > 0) {
        sub(/#.*/, "", line)
        text = text " " line
    }
    close(path)
    inFunction = 0
    while (match(text, /[A-Za-z_][A-Za-z0-9_]*[ \t]*\(/)) {
        name = substr(text, RSTART, RLENGTH - 1)
        gsub(/[ \t]/, "", name)
        start = RSTART + RLENGTH
        depth = 1
        for (i = start; i <= length(text) && depth > 0; i++) {
            c = substr(text, i, 1)
            if (c == "(")
                depth++
            else if (c == ")")
                depth--
        }
        inner = substr(text, start, i - start - 1)
        text = substr(text, i)
        gsub(/"/, "", inner)
        delete args
        n = split(inner, words, /[ \t]+/)
        c = 0
        for (word = 1; word <= n; word++)
            if (words[word] != "")
                args[++c] = words[word]
        command(dir, tolower(name), c)
    }
}

# What a target links PUBLIC, in turn (Qt modules as "Qt6::Widgets").
function public_closure(target,    result, n, parts, i) {
    if (target in closure)
        return closure[target]
    closure[target] = " "
    result = " "
    n = split(publicLinks[target], parts, " ")
    for (i = 1; i <= n; i++)
        result = add_words(add_word(result, parts[i]), public_closure(parts[i]))
    closure[target] = result
    return result
}

# The folders (table rows) and Qt modules a target may include.
function derive(target,    reach, n, parts, i, module, qt) {
    reach = " "
    n = split(links[target], parts, " ")
    for (i = 1; i <= n; i++)
        reach = add_words(add_word(reach, parts[i]), public_closure(parts[i]))
    targetModules[target] = " "
    targetQt[target] = " "
    n = split(reach, parts, " ")
    for (i = 1; i <= n; i++) {
        if (parts[i] in targetDir) {
            module = module_of(targetDir[parts[i]])
            if (module != "")
                targetModules[target] = add_word(targetModules[target], module)
        } else if (parts[i] ~ /^Qt6::/) {
            qt = "Qt" substr(parts[i], 6)
            targetQt[target] = add_words(targetQt[target], qt " " qtNeeds[qt])
        }
    }
}

function complain(message) {
    printf "check includes: %s\n", message > "/dev/stderr"
    bad++
}

BEGIN {
    while ((getline line < rules) > 0) {
        sub(/#.*/, "", line)
        n = split(line, words, /[ \t]+/)
        first = words[1] == "" ? 2 : 1
        if (n < first)
            continue
        folder = words[first]
        allowed[folder] = " "
        for (i = first + 1; i <= n; i++)
            if (words[i] != "-" && words[i] != "")
                allowed[folder] = allowed[folder] words[i] " "
    }
    close(rules)
    split(roots, rootList, " ")
    bad = 0

    # The Qt modules each module's headers need linked too.
    qtNeeds["QtGui"] = "QtCore"
    qtNeeds["QtWidgets"] = "QtGui QtCore"
    qtNeeds["QtPrintSupport"] = "QtWidgets QtGui QtCore"
    qtNeeds["QtTest"] = "QtCore"
    if (qtheaders != "") {
        while ((getline line < qtheaders) > 0) {
            # The first module that has a header is its module (QtCore before QtGui ...).
            split(line, words, " ")
            if (!(words[2] in qtHeader))
                qtHeader[words[2]] = words[1]
            qtHeader[words[1] "/" words[2]] = words[1]
            qtHeader[words[1]] = words[1]
        }
        close(qtheaders)
    }

    while ((getline path < cmakelists) > 0)
        read_cmakelists(path)
    close(cmakelists)
    for (target in targetDir) {
        derive(target)
        module = module_of(targetDir[target])
        # A library or program folder is a row of its own; tests and benchmarks share theirs.
        if (targetDir[target] !~ /^(tests|bench)(\/|$)/ && module != targetDir[target])
            complain(sprintf("%s/CMakeLists.txt defines %s but has no row of its own in tools/include-rules.txt; add \"%s\" there with the folders it may include", targetDir[target], target, targetDir[target]))
        if (module == "")
            continue
        hasTargets[module] = 1
        folderModules[module] = add_words(folderModules[module] == "" ? " " : folderModules[module], targetModules[target])
        folderQt[module] = add_words(folderQt[module] == "" ? " " : folderQt[module], targetQt[target])
    }
    # A row may allow only what its targets link.
    for (module in allowed) {
        if (!(module in hasTargets))
            continue
        n = split(allowed[module], parts, " ")
        for (i = 1; i <= n; i++)
            if ((parts[i] in hasTargets) && !index(folderModules[module], " " parts[i] " "))
                complain(sprintf("tools/include-rules.txt lets %s include %s, but no target of %s links a library of %s; link it in CMake or take it off the row", module, parts[i], module, parts[i]))
    }
}

{
    colon = index($0, ":")
    file = substr($0, 1, colon - 1)
    text = substr($0, colon + 1)
    if (!match(text, /include[[:space:]]*["<][^">]+[">]/))
        next
    target = substr(text, RSTART, RLENGTH)
    sub(/^include[[:space:]]*["<]/, "", target)
    sub(/[">]$/, "", target)
    from = module_of(file)
    if (from == "") {
        complain(sprintf("%s lies in no folder of tools/include-rules.txt; add its folder there", file))
        next
    }
    owner = file in sourceTarget ? sourceTarget[file] : ""
    linked = owner != "" ? targetModules[owner] : folderModules[from]
    linkedQt = owner != "" ? targetQt[owner] : folderQt[from]
    by = owner != "" ? "target " owner : "the targets of " from

    fromRoot = 0
    for (r in rootList)
        if (index(target, rootList[r] "/") == 1)
            fromRoot = 1
    if (!fromRoot) {
        if (text ~ /include[[:space:]]*</) {
            # <QWidget>: a Qt header, of a module the file's target must link.
            if ((target in qtHeader) && (from in hasTargets) &&
                !index(linkedQt, " " qtHeader[target] " "))
                complain(sprintf("%s includes <%s> of %s, but the links of %s give %s; use what those give, or link %s in CMake if the design allows", file, target, qtHeader[target], by, (linkedQt == " " ? "no Qt module" : "only" substr(linkedQt, 1, length(linkedQt) - 1)), qtHeader[target]))
            next
        }
        # "Name.h" lies beside the file.
        dir = file
        sub(/\/[^\/]*$/, "", dir)
        target = normalize(dir "/" target)
    }
    to = module_of(target)
    if (to == from)
        next
    count++
    if (to == "" || index(allowed[from], " " to " ") == 0) {
        complain(sprintf("%s includes %s: %s may not include %s (tools/include-rules.txt); include only what %s may, or change the design there and in CMake", file, target, from, (to == "" ? target : to), from))
        next
    }
    if ((from in hasTargets) && (to in hasTargets) && !index(linked, " " to " "))
        complain(sprintf("%s includes %s, but the links of %s give nothing of %s (CMake); link its library first", file, target, by, to))
}

END {
    if (bad) {
        printf "check includes: %d fault(s) against tools/include-rules.txt and the CMake links\n", bad > "/dev/stderr"
        exit 1
    }
    printf "check includes: %d includes between folders follow tools/include-rules.txt and the CMake links\n", count
}
