#!/usr/bin/env python3
"""Lists product functions longer than 60 lines and classes longer than 300.

A reader should be able to take in any function at a glance and any class in
one sitting; this keeps us honest about it. The parse is a brace matcher over
the source with comments, strings and preprocessor lines blanked out: good
enough for our own code, which .clang-format keeps regular.

Usage: tools/check_sizes.py [FILE_OR_DIR ...]   (default: the product folders)
Exit status 1 when something is over.
"""
import os
import re
import sys

FUNCTION_LIMIT = 60
CLASS_LIMIT = 300
PRODUCT_DIRS = ["common", "components", "src"]
CONTROL = re.compile(r"^\s*(if|for|while|switch|catch|do|else|try)\b")
CLASS_HEAD = re.compile(r"\b(class|struct|union)\s+([A-Za-z_][\w:]*)[^;()]*$")
NAMESPACE_HEAD = re.compile(r"\b(namespace|extern\s+\"C\")\b|^\s*$|=\s*$")


def blank(text):
    """Comments, string and character literals and preprocessor lines become
    spaces, newlines kept, so braces inside them don't count."""
    out = []
    i, n = 0, len(text)
    line_start = True
    while i < n:
        c = text[i]
        if line_start and c == "#":
            while i < n and text[i] != "\n":
                if text[i] == "\\" and i + 1 < n and text[i + 1] == "\n":
                    out.append(" \n")
                    i += 2
                    continue
                out.append(" ")
                i += 1
            continue
        if c == "\n":
            line_start = True
            out.append(c)
            i += 1
            continue
        if not c.isspace():
            line_start = False
        if text.startswith("//", i):
            while i < n and text[i] != "\n":
                out.append(" ")
                i += 1
        elif text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            out.append(re.sub(r"[^\n]", " ", text[i:end]))
            i = end
        elif text.startswith('R"', i) and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == "_")):
            m = re.match(r'R"([^(]*)\(', text[i:])
            close = ")" + m.group(1) + '"'
            end = text.find(close, i)
            end = n if end < 0 else end + len(close)
            out.append(re.sub(r"[^\n]", " ", text[i:end]))
            i = end
        elif c in "\"'" and not (c == "'" and i > 0 and text[i - 1].isdigit()):
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            out.append(" " * (j + 1 - i))
            i = j + 1
        else:
            out.append(c)
            i += 1
    return "".join(out)


def blocks(text):
    """Yields (kind, name, first_line, line_count) for every function body and
    class body that is not inside another function."""
    stack = []  # kinds of the open braces
    head_start = 0
    parens = 0  # a for's semicolons don't end its head
    for i, c in enumerate(text):
        if c == "(":
            parens += 1
        elif c == ")":
            parens = max(0, parens - 1)
        elif c == ";" and parens == 0:
            head_start = i + 1
        elif c == "{":
            head = text[head_start:i]
            kind = "block"
            if not any(k == "function" for k, _, _ in stack):
                flat = " ".join(head.split())
                cls = CLASS_HEAD.search(flat)
                if cls and "(" not in flat.split(cls.group(0))[0][-1:]:
                    kind = "class:" + cls.group(2)
                elif ")" in flat and not CONTROL.match(flat) and not NAMESPACE_HEAD.search(flat.split("(")[0]):
                    name = re.findall(r"([~\w:]+(?:operator\S*)?)\s*\(", flat)
                    kind = "function:" + (name[0] if name else "?")
            stack.append((kind, i, text.count("\n", 0, i) + 1))
            head_start = i + 1
        elif c == "}":
            if stack:
                kind, _, line = stack.pop()
                end_line = text.count("\n", 0, i) + 1
                if kind != "block":
                    what, name = kind.split(":", 1)
                    yield what, name, line, end_line - line + 1
            head_start = i + 1


def files(args):
    for arg in args or PRODUCT_DIRS:
        if os.path.isfile(arg):
            yield arg
            continue
        for root, dirs, names in os.walk(arg):
            dirs[:] = [d for d in dirs if d not in ("tests", "build", "node_modules")]
            for name in sorted(names):
                if name.endswith((".cpp", ".h", ".c")):
                    yield os.path.join(root, name)


def main(args):
    over = 0
    for path in files(args):
        with open(path, encoding="utf-8", errors="replace") as f:
            text = blank(f.read())
        for what, name, line, count in blocks(text):
            limit = FUNCTION_LIMIT if what == "function" else CLASS_LIMIT
            if count > limit:
                print(f"{path}:{line}: {what} {name} is {count} lines (limit {limit})")
                over += 1
    return 1 if over else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
