#!/usr/bin/env python3
"""Counts words and word pairs in the LibreOffice help texts and merges them
with the Debian word lists into the prediction lexicons.

Usage: lexicon-builder.py HELP_ROOT OUT_DIR [LANG...]   (HELP_ROOT holds ca/ and es/)

Output, per language, UTF-8, one entry a line, sorted by the folded form
(lower case, accents off, as the predictor compares) encoded in Windows-1252,
then by the word in lower case and then by the word itself:
  LANG.tsv        word<TAB>count
  LANG-pairs.tsv  first<TAB>second<TAB>count   (first empty: sentence start)
Counts are ten times the times seen in the help texts; a listed word never
seen there gets a floor of 1 to 9, higher when words that begin like it were
seen often and for dictionary headwords, so the rare forms of common words and
the base forms come before truly rare words.
"""
import html
import math
import os
import re
import sys
import unicodedata
from collections import Counter, defaultdict

WORD_BYTES = int(os.environ.get("LEXICON_WORD_BYTES", 4_000_000))   # size budget of LANG.tsv
PAIR_BYTES = 400_000     # size budget of LANG-pairs.tsv
HEADWORD_BONUS = int(os.environ.get("LEXICON_HEADWORD_BONUS", 2))  # a dictionary headword before its inflected forms
TEXT_ONLY_MIN = 5        # a word missing from every list needs this many sightings

ALLOWED = set("abcdefghijklmnopqrstuvwxyzàáèéíïòóúüçñ·'")
ELIDED = {"l'", "d'", "s'", "n'", "m'", "t'"}
SOURCES = {
    "ca": {"lists": ["/usr/share/dict/catalan"],
           "hunspell": ["/usr/share/hunspell/ca.dic"]},
    "es": {"lists": ["/usr/share/dict/spanish"],
           "hunspell": ["/usr/share/hunspell/es_ES.dic"]},
}


def fold(word):
    """Lower case, accents and cedilla off; the predictor's own folding."""
    out = []
    for ch in word.lower():
        base = unicodedata.normalize("NFD", ch)[0]
        out.append(base if "a" <= base <= "z" else ch)
    return "".join(out)


def sort_key(word):
    return (fold(word).encode("cp1252"), word.lower().encode("cp1252"), word.encode("cp1252"))


def acceptable(word):
    return len(word) > 0 and all(ch in ALLOWED for ch in word.lower()) \
        and not word.startswith("'") and not word.startswith("·") \
        and not word.endswith("·") and word.count("'") <= 1 \
        and (("'" not in word) or (word.lower() in ELIDED))


def read_lists(lang):
    """The listed words, and those among them that are dictionary headwords."""
    words, headwords = set(), set()
    for path in SOURCES[lang]["lists"]:
        with open(path, encoding="utf-8") as f:
            for line in f:
                w = line.strip()
                if acceptable(w):
                    words.add(w)
    for path in SOURCES[lang]["hunspell"]:
        with open(path, encoding="utf-8", errors="replace") as f:
            next(f)  # entry count
            for line in f:
                w = line.strip().split("/")[0].split("\t")[0]
                if acceptable(w):
                    words.add(w)
                    headwords.add(w)
    return words, headwords


BLOCK = re.compile(r"<(?:p|h\d|li|td|th|div|br|tr|title)\b[^>]*>", re.I)
DROP = re.compile(r"<(script|style|pre|code)\b.*?</\1>", re.I | re.S)
TAG = re.compile(r"<[^>]*>")
TOKEN = re.compile(r"[^\W\d_]+(?:·[^\W\d_]+)*(?:'(?=[^\W\d_]))?|[.!?;:()\[\]\"«»,/=+*<>|-]")
SENTENCE_END = set(".!?;:")
# Parts of the help are still in English; a block with these is skipped.
ENGLISH = {"the", "and", "of", "is", "to", "with", "this", "you", "are", "for", "that", "from", "can", "which"}


def blocks_of(path):
    with open(path, encoding="utf-8", errors="replace") as f:
        text = f.read()
    start = text.find('id="DisplayArea"')
    if start >= 0:
        text = text[start:]
    text = DROP.sub(" ", text)
    text = BLOCK.sub("\n", text)
    text = html.unescape(TAG.sub(" ", text))
    text = text.replace("\u2019", "'").replace("\u00a0", " ")
    text = re.sub(r"(?<=[lL])\.(?=[lL])", "·", text)   # col.lecció, the common stand-in
    text = re.sub(r"\S*\w[./@\\]\w\S*", " | ", text)   # addresses, file names, numbers: no pair across
    for block in text.split("\n"):
        if block.strip():
            yield block


def count_help(folder, lang):
    words, forms, pairs = Counter(), defaultdict(Counter), Counter()
    for root, _, files in os.walk(folder):
        for name in files:
            if not name.endswith(".html"):
                continue
            for block in blocks_of(os.path.join(root, name)):
                tokens = TOKEN.findall(block)
                if sum(t.lower() in ENGLISH for t in tokens) * 20 > len(tokens):
                    continue
                previous = ""          # sentence start
                for tok in tokens:
                    if not tok[0].isalpha():
                        previous = "" if tok in SENTENCE_END else None
                        continue
                    if tok.endswith("'") and (lang != "ca" or tok.lower() not in ELIDED):
                        tok = tok[:-1]
                    low = tok.lower()
                    if not acceptable(low):
                        previous = None
                        continue
                    words[low] += 1
                    forms[low][tok] += 1
                    if previous is not None:
                        pairs[(previous, low)] += 1
                    previous = low
    return words, forms, pairs


def build(lang, help_root, out_dir):
    listed, headwords = read_lists(lang)
    listed_lower = {w.lower(): w for w in sorted(listed, reverse=True)}
    lower_listed = {w for w in listed if w == w.lower()}
    seen, forms, pairs = count_help(os.path.join(help_root, lang), lang)

    entries = {}
    for low, n in seen.items():
        if low in lower_listed or low in ELIDED and lang == "ca":
            entries[low] = 10 * n
        elif low in listed_lower:
            entries[listed_lower[low]] = 10 * n
        elif n >= TEXT_ONLY_MIN and len(low) > 1 and forms[low][low] * 5 >= n * 4:
            entries[low] = 10 * n      # frequent, written in lower case: a real word
    # Families: words that share their first five letters.
    family = Counter()
    for w, n in entries.items():
        family[fold(w)[:5]] += n
    taken = {w.lower() for w in entries}
    # Lower-case spellings first, so "abad" is kept rather than "Abad" too;
    # sorted, so that two runs write the same files.
    for w in sorted(listed, key=lambda w: (w != w.lower(), w)):
        if w.lower() in taken:
            continue
        taken.add(w.lower())
        f = family[fold(w)[:5]] if len(w) >= 6 else 0
        entries[w] = min(9, 1 + int(math.log2(1 + f / 10)) + (HEADWORD_BONUS if w in headwords else 0))

    if lang == "ca":
        # No word list holds the elided forms (the apostrophe): those the help
        # texts never use ("m'", "t'") get the highest floor.
        for w in sorted(ELIDED - taken):
            entries[w] = 9
    ranked = sorted(entries.items(), key=lambda e: (-e[1], len(e[0]), sort_key(e[0])))
    kept, size = {}, 0
    for w, n in ranked:
        line = len(f"{w}\t{n}\n".encode("utf-8"))
        if size + line > WORD_BYTES:
            break
        kept[w] = n
        size += line
    with open(os.path.join(out_dir, f"{lang}.tsv"), "w", encoding="utf-8", newline="\n") as f:
        for w in sorted(kept, key=sort_key):
            f.write(f"{w}\t{kept[w]}\n")

    by_lower = {w.lower(): w for w in kept}
    good = []
    for (a, b), n in pairs.items():
        if n < 2 or b not in by_lower or (a and a not in by_lower):
            continue
        good.append((by_lower[a] if a else "", by_lower[b], n))
    good.sort(key=lambda p: (-p[2], sort_key(p[0]), sort_key(p[1])))
    chosen, size = [], 0
    for a, b, n in good:
        line = len(f"{a}\t{b}\t{n}\n".encode("utf-8"))
        if size + line > PAIR_BYTES:
            break
        chosen.append((a, b, n))
        size += line
    chosen.sort(key=lambda p: (sort_key(p[0]), -p[2], sort_key(p[1])))
    with open(os.path.join(out_dir, f"{lang}-pairs.tsv"), "w", encoding="utf-8", newline="\n") as f:
        for a, b, n in chosen:
            f.write(f"{a}\t{b}\t{n}\n")
    print(f"{lang}: {len(kept)} words ({sum(1 for w in kept if kept[w] >= 10)} seen in the help texts,"
          f" {len(listed)} listed), {len(chosen)} pairs")


def main():
    help_root, out_dir = sys.argv[1], sys.argv[2]
    os.makedirs(out_dir, exist_ok=True)
    for lang in sys.argv[3:] or ("ca", "es"):
        build(lang, help_root, out_dir)


if __name__ == "__main__":
    main()
