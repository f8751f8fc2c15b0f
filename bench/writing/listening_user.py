#!/usr/bin/env python3
"""A user who only listens, writing a text with the real program.

It hears the program only through the speech engine's log (each new
"upcTVRead" line is one thing said), knows the text it wants to write and
what each spoken name writes (the names a user learns from the manual: "e
oberta" is È, "coma" is a comma), and presses keys through xdotool. It
never looks at the screen, the program's memory or its layout: the order of
the items it learns by listening.

Keys mode: at the start it walks the keyboard once (Down through the blocks,
Right through the blocks it needs), uncounted, as a user who knows the
keyboard would have done long ago. Then, for each character, it goes the
shorter way to the item it remembers, checking each item it hears, and with
prediction it first listens through the predicted words while that can
still pay. One-switch mode: it presses Space when it hears the block holding
what it wants, and again on the item; it enters the block of words while
the word being written still has two letters to go.

Prints one line: presses per character (and items heard per character).
"""

import argparse
import os
import subprocess
import sys
import time

SIGNS_AFTER_WORD = ".,:;?!"

# What each spoken name writes, as heard (the program lower-cases A..Z only).
NAMES = {
    "espai": " ", "ii": "I", "quu": "Q", "uu": "U", "ii grega": "Y", "i grega": "Y",
    "\xc8": "E", "enye": "\xd1", "\xd1": "\xd1", "\xc7": "\xc7",
    "a accentuada": "\xc0", "e oberta": "\xc8", "e tancada": "\xc9", "i accentuada": "\xcd",
    "i amb di\xe8resi": "\xcf", "o oberta": "\xd2", "o tancada": "\xd3", "u accentuada": "\xda",
    "u amb di\xe8resi": "\xdc", "ela geminada": "L\xb7L",
    "a con tilde": "\xc1", "e con tilde": "\xc9", "i con tilde": "\xcd", "o con tilde": "\xd3",
    "u con tilde": "\xda", "u con di\xe9resis": "\xdc",
    "punt": ".", "coma": ",", "interrogaci\xf3": "?", "admiraci\xf3": "!", "ap\xf3strof": "'",
    "retorn": "\n", "dos punts": ":", "punt i coma": ";", "obrir par\xe8ntesi": "(",
    "tancar par\xe8ntesi": ")", "gui\xf3": "-", "obrir cometes": "\xab", "tancar cometes": "\xbb",
}
for _c in "abcdefghjklmnoprstvwxz":
    NAMES[_c] = _c.upper()
for _d in "0123456789":
    NAMES[_d] = _d
# Items of the blocks of functions and of the calculator: never needed here.
OTHER_NAMES = {"llegir-ho tot", "llegir l'\xdaltima paraula", "esborrar l'\xdaltima lletra",
               "esborrar \xdaltima paraula", "esborrar-ho tot", "imprimir", "calcular",
               "m\xe9s", "menys", "per", "dividid"}
# The block that holds each kind of thing, by its spoken name.
LETTERS_BLOCK, SIGNS_BLOCK, NUMBERS_BLOCK, WORDS_BLOCK = (
    "bloc lletres", "bloc puntuaci\xf3", "bloc n\xfameros", "bloc paraules")


def fold(text):
    out = []
    for c in text:
        o = ord(c)
        if "a" <= c <= "z" or (0xE0 <= o <= 0xFE and o != 0xF7):
            c = chr(o - 0x20)
        out.append(c)
    return "".join(out)


def is_letter(c):
    o = ord(c)
    return c.isascii() and c.isalpha() or (o >= 0xC0 and o not in (0xD7, 0xF7)) or o == 0xB7


# Letters said apart from a block: their plain letter (an accent, a cedilla
# or a tilde off) decides which half of the alphabet holds them.
PLAIN = dict(zip("\xc0\xc8\xc9\xcd\xcf\xd2\xd3\xda\xdc\xc7\xd1", "AEEIIOOUUCN"))


def half_holds(name, written):
    """Whether a block named "lletres de X a Y" holds the character: a
    listener knows the alphabet ("espai" goes with the first half)."""
    parts = name.split()
    if len(parts) != 5 or parts[:2] != ["lletres", "de"] or parts[3] != "a":
        return False
    if written == " ":
        return parts[2] == "a"
    plain = PLAIN.get(written[0], written[0])
    return is_letter(plain) and parts[2].upper() <= plain <= parts[4].upper()


def block_of(written):
    """The block a character is found in."""
    if written[0].isdigit():
        return NUMBERS_BLOCK
    if written in " " or is_letter(written[0]):
        return LETTERS_BLOCK
    return SIGNS_BLOCK


class Ear:
    """Each new line the speech engine logs; "upcTVRead" lines are heard."""

    def __init__(self, path):
        self.file = open(path, "rb")
        self.buffer = b""
        self.heard = 0

    def lines(self):
        self.buffer += self.file.read()
        *complete, self.buffer = self.buffer.split(b"\n")
        return [line.decode("cp1252", "replace") for line in complete]

    def listen(self, first_wait, quiet=0.08):
        """What is said from now: the first text within first_wait seconds,
        then everything until the engine has finished and stayed quiet."""
        said, done_at = [], None
        deadline = time.monotonic() + first_wait
        while True:
            for line in self.lines():
                if line.startswith("upcTVRead "):
                    said.append(line[len("upcTVRead "):].rstrip(" "))
                    done_at = None
                elif line.startswith("upcTVStatus") and line.endswith(" 0") and said:
                    done_at = time.monotonic()
            now = time.monotonic()
            if not said and now > deadline:
                return said
            if done_at is not None and now - done_at > quiet:
                self.heard += len(said)
                return said
            if said and now > deadline + 10:
                raise RuntimeError("speech never ended: %r" % said)
            time.sleep(0.004)

    def next_text(self, wait):
        """The next single text said within wait seconds, with its time."""
        deadline = time.monotonic() + wait
        while time.monotonic() < deadline:
            for line in self.lines():
                if line.startswith("upcTVRead "):
                    return line[len("upcTVRead "):].rstrip(" "), time.monotonic()
            time.sleep(0.003)
        return None, time.monotonic()


def press(key):
    subprocess.run(["xdotool", "key", "--clearmodifiers", key], check=True)


class Writer:
    """What the document holds and what a choice would make of it: a chosen
    word replaces the letters written of it and brings a space, unless it
    ends in an apostrophe; with prediction on, a sign after a space takes
    that space's place and brings its own."""

    def __init__(self, target, prediction):
        self.target = fold(target)
        self.text = ""
        self.prediction = prediction

    def done(self):
        return self.text == self.target

    def partial(self):
        n = 0
        while n < len(self.text) and is_letter(self.text[-1 - n]):
            n += 1
        return n

    def after_item(self, written):
        written = fold(written)
        if self.prediction and written in SIGNS_AFTER_WORD and self.text.endswith(" "):
            return self.text[:-1] + written + " "
        return self.text + written

    def after_word(self, word):
        head = self.text[: len(self.text) - self.partial()]
        return head + fold(word) + ("" if word.endswith("'") else " ")

    def fits(self, text):
        """A text the target starts with, or a word's space that a sign after
        it will take ("casa " for "casa, ")."""
        if self.target.startswith(text):
            return True
        if not text.endswith(" "):
            return False
        k = len(text) - 1
        return (self.target.startswith(text[:-1]) and k + 1 < len(self.target)
                and self.target[k] in SIGNS_AFTER_WORD and self.target[k + 1] == " ")

    def next_char(self):
        if self.target.startswith(self.text):
            rest = self.target[len(self.text):]
            return "L\xb7L" if rest.startswith("L\xb7L") else rest[0]
        # A chosen word's space, where the sign that will take it goes.
        return self.target[len(self.text) - 1]

    def word_left(self):
        """Letters of the word being written still to go."""
        i = len(self.text)
        if not self.target.startswith(self.text):
            return 0
        n = 0
        while i + n < len(self.target) and (is_letter(self.target[i + n]) or self.target[i + n] == "'"):
            n += 1
        return n


class KeysUser:
    def __init__(self, ear, writer, words_heard):
        self.ear, self.w = ear, writer
        self.words_heard = words_heard
        self.presses = 0
        self.blocks = []     # in Down order: (kind, ring of spoken names); a kind is a block name or "words"
        self.at = None       # (block, item) as far as heard
        self.word_here = None
        self.vain = 0        # presses through words that were not chosen
        # After a choice the scanning starts on the predicted words when
        # prediction is on, else on the first letter item.
        self.words_on = writer.prediction

    def key(self, key, counted=True):
        press(key)
        if counted:
            self.presses += 1
        said = self.ear.listen(3.0)
        if not said:
            raise RuntimeError("nothing said after %s" % key)
        return said

    @staticmethod
    def kind(spoken):
        if spoken in NAMES:
            return block_of(NAMES[spoken])
        if spoken in OTHER_NAMES:
            return "other"
        return "words"

    # -- learning the keyboard --------------------------------------------
    def explore(self, needed):
        """Down through the blocks, Right through those needed: what the
        keyboard holds and in which order."""
        firsts = []
        while True:
            said = self.key("Down", counted=False)[-1]
            if said in firsts:
                break
            firsts.append(said)
        order = firsts[firsts.index(said):] + firsts[:firsts.index(said)]
        for first in order:
            ring = [first]
            if self.kind(first) in needed:
                while True:
                    said = self.key("Right", counted=False)[-1]
                    if said == first:
                        break
                    ring.append(said)
            self.blocks.append((self.kind(first), ring))
            self.key("Down", counted=False)
        if self.w.prediction and not any(k == "words" for k, _ in self.blocks):
            # No words offered yet: they come before the letters.
            at = self.index(LETTERS_BLOCK)
            self.blocks.insert(at, ("words", []))
        self.at = (0, 0)

    def index(self, kind):
        for b, (k, _) in enumerate(self.blocks):
            if k == kind:
                return b
        raise RuntimeError("no block holds %s" % kind)

    def active(self):
        return [b for b, (k, _) in enumerate(self.blocks) if k != "words" or self.words_on]

    def home(self):
        return (self.index("words"), 0) if self.words_on else (self.index(LETTERS_BLOCK), 0)

    def locate(self, spoken, expected):
        """Where an item heard is: where expected if it fits, else wherever
        the keyboard as learned has it."""
        b, i = expected
        kind, ring = self.blocks[b]
        if kind == "words":
            if self.kind(spoken) == "words" or spoken in ("a", "e", "o"):
                return expected
        elif ring[i % len(ring)] == spoken:
            return expected
        for nb, (k, ring) in enumerate(self.blocks):
            if k != "words" and spoken in ring:
                return (nb, ring.index(spoken))
        return (self.index("words"), 0)

    def move(self, key):
        b, i = self.at
        if key in ("Down", "Up"):
            cycle = self.active()
            b = cycle[(cycle.index(b) + (1 if key == "Down" else -1)) % len(cycle)]
            expected = (b, 0)
        else:
            n = len(self.blocks[b][1]) or 1
            expected = (b, (i + (1 if key == "Right" else -1)) % n if self.blocks[b][0] != "words" else i + 1)
        said = self.key(key)[-1]
        self.at = self.locate(said, expected)
        self.word_here = said if self.blocks[self.at[0]][0] == "words" else None

    # -- writing ----------------------------------------------------------
    def find(self, written):
        for b, (kind, ring) in enumerate(self.blocks):
            if kind not in ("words", "other"):
                for i, spoken in enumerate(ring):
                    if NAMES.get(spoken) == written:
                        return (b, i)
        raise RuntimeError("no item writes %r" % written)

    def go_and_choose(self, place):
        """The shorter way round to a remembered item, then Return."""
        tb, ti = place
        while self.at != place:
            b, i = self.at
            if b == tb:
                n = len(self.blocks[b][1])
                self.move("Right" if (ti - i) % n <= (i - ti) % n else "Left")
            else:
                cycle = self.active()
                down = (cycle.index(tb) - cycle.index(b)) % len(cycle)
                self.move("Down" if down <= len(cycle) - down else "Up")
        self.choose(NAMES[self.blocks[tb][1][ti]])

    def choose(self, written, word=False):
        self.w.text = self.w.after_word(written) if word else self.w.after_item(written)
        press("Return")
        self.presses += 1
        said = self.ear.listen(3.0)
        self.at = self.home()
        self.word_here = None
        # What is said after the echo is the item the choice leaves us on.
        if len(said) > 1:
            self.at = self.locate(said[-1], self.at)
            if self.blocks[self.at[0]][0] == "words":
                self.word_here = said[-1]

    def write(self):
        while not self.w.done():
            if len(self.w.text) > len(self.w.target) + 1:
                raise RuntimeError("wrote past the text: %r" % self.w.text)
            left = self.w.word_left()
            if self.blocks[self.at[0]][0] == "words" and left >= 1 and self.try_words(left):
                continue
            self.go_and_choose(self.find(self.w.next_char()))

    def try_words(self, left):
        """Listens through the words while one could still save presses
        (about four a letter); True when one was chosen."""
        budget = min(4 * (left + 1) - 2, self.words_heard - 1)
        heard, steps = [], 0
        while True:
            word = self.word_here
            if word is not None:
                if self.w.fits(self.w.after_word(word)):
                    self.choose(word, word=True)
                    return True
                if word in heard:
                    return self.gave_up(steps)
                heard.append(word)
            if steps >= budget:
                return self.gave_up(steps)
            self.move("Right")
            steps += 1
            if self.blocks[self.at[0]][0] != "words":
                return self.gave_up(steps)

    def gave_up(self, steps):
        self.vain += steps
        return False


class SwitchUser:
    def __init__(self, ear, writer, interval):
        self.ear, self.w = ear, writer
        self.interval = interval
        self.presses = 0
        self.items_heard = 0
        self.vain = 0          # items heard through words that were not chosen

    def wanted_block(self, said, tried):
        if said in tried:
            return False
        if said == WORDS_BLOCK:
            return self.w.prediction and self.w.word_left() >= 2
        if said.startswith("lletres de "):
            return half_holds(said, self.w.next_char())
        return said == block_of(self.w.next_char())

    def write(self):
        inside = None          # the block entered, or None at the names
        run = 0                # items heard in it
        tried = set()          # blocks walked through in vain for this text
        chosen_at = None
        while not self.w.done():
            said, at = self.ear.next_text(self.interval * 8 + 5)
            if said is None:
                raise RuntimeError("the scanning went silent")
            if chosen_at is not None and at - chosen_at < self.interval * 0.8:
                continue       # the echo of the choice
            chosen_at = None
            self.items_heard += 1
            if said == "pausa":
                press("space")
                self.presses += 1
                inside = None
                continue
            if said.startswith("bloc ") or said.startswith("lletres de "):
                if inside is not None:
                    tried.add(inside)   # its items ended without the one wanted
                    if inside == WORDS_BLOCK:
                        self.vain += run + 1
                inside = None
                if self.wanted_block(said, tried):
                    press("space")
                    self.presses += 1
                    inside, run = said, 0
                continue
            # At the names, an item said by itself (a likely letter or word)
            # is taken as one inside a block is.
            run += 1
            if inside == WORDS_BLOCK or (inside is None and said not in NAMES and said not in OTHER_NAMES):
                after = self.w.after_word(said)
                fits = self.w.fits(after)
            else:
                written = NAMES.get(said)
                after = self.w.after_item(written) if written else None
                fits = after is not None and self.w.fits(after) and written == self.w.next_char()
            if fits:
                press("space")
                chosen_at = time.monotonic()
                self.presses += 1
                self.w.text = after
                inside = None
                tried = set()


def document_text():
    """The editor's text, through the program's own "Copiar a la carpeta"
    (Ctrl+I), which puts the whole text on the clipboard."""
    press("ctrl+i")
    time.sleep(0.5)
    out = subprocess.run(["xclip", "-o", "-selection", "clipboard"], capture_output=True, timeout=10)
    return out.stdout.decode("utf-8", "replace")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--log", required=True)
    parser.add_argument("--text", required=True)
    parser.add_argument("--mode", choices=["keys", "one-switch"], default="keys")
    parser.add_argument("--prediction", choices=["on", "off"], default="off")
    parser.add_argument("--interval", type=float, default=0.5)
    parser.add_argument("--words-heard", type=int, default=8,
                        help="keys mode: at most this many words listened to after each choice")
    args = parser.parse_args()

    target = open(args.text, encoding="utf-8").read().rstrip("\n").replace("\u2019", "'")
    target_cp = target.encode("cp1252").decode("cp1252")
    writer = Writer(target_cp, args.prediction == "on")
    ear = Ear(args.log)
    ear.lines()
    started = time.monotonic()
    if args.mode == "keys":
        user = KeysUser(ear, writer, args.words_heard)
        needed = {block_of(c) for c in fold(target_cp)}
        user.explore(needed)
        ear.heard = 0
        # The walk ends on a block's first item; a choice that writes
        # nothing would be needed to stand where a choice leaves the user.
        user.write()
        presses, heard, vain = user.presses, ear.heard, user.vain
    else:
        # Wait for the pause that three silent rounds bring, then start from
        # the top as after a choice.
        while True:
            said, _ = ear.next_text(60)
            if said is None or said == "pausa":
                break
        press("space")
        time.sleep(args.interval / 2)
        ear.lines()
        user = SwitchUser(ear, writer, args.interval)
        user.write()
        presses, heard, vain = user.presses, user.items_heard, user.vain
    elapsed = time.monotonic() - started
    time.sleep(1.0)
    text = document_text().replace("\r\n", "\n")
    n = len(target_cp)
    ok = fold(text) == fold(target_cp)
    print("presses per character: %.2f; items heard per character: %.2f; through words not chosen: %.2f;"
          " characters: %d; seconds: %.0f; text %s"
          % (presses / n, heard / n, vain / n, n, elapsed, "matches" if ok else "DIFFERS: %r" % text))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
