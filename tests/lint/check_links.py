#!/usr/bin/env python3
"""Checks that every relative link and anchor in README.md and docs/*.md resolves: usage check_links.py SOURCE_DIR."""
import re
import sys
from pathlib import Path

FENCE = re.compile(r"^\s*(```|~~~)")
COMMENT = re.compile(r"<!--.*?-->", re.S)
CODE_SPAN = re.compile(r"(`+)(.+?)\1")
INLINE = re.compile(r"!?\[(?:[^\]]*)\]\(\s*<?([^)\s>]*)>?(?:\s+\"[^\"]*\")?\s*\)")
DEFINITION = re.compile(r"^\s{0,3}\[[^\]]+\]:\s*<?(\S+?)>?(?:\s.*)?$")
HEADING = re.compile(r"^\s{0,3}(#{1,6})\s+(.*?)\s*#*\s*$")


def prose_lines(text):
    """The lines outside fenced and indented code blocks and HTML comments, code spans blanked."""
    text = COMMENT.sub(lambda m: "\n" * m.group(0).count("\n"), text)
    fenced = indented = False
    previous_blank = True
    for number, line in enumerate(text.split("\n"), 1):
        if FENCE.match(line):
            fenced = not fenced
            continue
        indented = line.startswith("    ") and (previous_blank or indented)
        previous_blank = line.strip() == ""
        if fenced or indented:
            continue
        yield number, CODE_SPAN.sub(lambda m: " " * len(m.group(0)), line), line


def slug(heading):
    """GitHub's anchor of a heading: its text in lower case, punctuation dropped, spaces as hyphens."""
    text = re.sub(r"\[([^\]]*)\]\([^)]*\)", r"\1", heading)
    text = text.replace("`", "").strip().lower()
    text = re.sub(r"[^\w\- ]", "", text)
    return text.replace(" ", "-")


def anchors(path):
    seen = {}
    result = set()
    for _, _, line in prose_lines(path.read_text(encoding="utf-8")):
        match = HEADING.match(line)
        if not match:
            continue
        base = slug(match.group(2))
        count = seen.get(base, 0)
        seen[base] = count + 1
        result.add(base if count == 0 else f"{base}-{count}")
    return result


def main():
    top = Path(sys.argv[1]).resolve()
    pages = [top / "README.md"] + sorted((top / "docs").glob("*.md"))
    failures = []
    checked = 0
    for page in pages:
        for number, prose, _ in prose_lines(page.read_text(encoding="utf-8")):
            targets = [m.group(1) for m in INLINE.finditer(prose)]
            definition = DEFINITION.match(prose)
            if definition:
                targets.append(definition.group(1))
            for target in targets:
                if re.match(r"^[a-zA-Z][a-zA-Z0-9+.-]*:", target):
                    continue  # a URL: not this tree's to check
                checked += 1
                where = f"{page.relative_to(top)}:{number}: {target}"
                path_part, _, anchor = target.partition("#")
                linked = (page.parent / path_part).resolve() if path_part else page
                if not linked.exists():
                    failures.append(f"{where}: no such file")
                elif top not in linked.parents and linked != top:
                    failures.append(f"{where}: outside the tree")
                elif anchor and (linked.suffix != ".md" or anchor not in anchors(linked)):
                    failures.append(f"{where}: no heading with this anchor")
    for failure in failures:
        print(failure)
    print(f"check_links: {checked} relative links in {len(pages)} pages, {len(failures)} broken")
    return 1 if failures or checked == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
