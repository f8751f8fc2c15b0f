"""Reads brunzit through AT-SPI as a screen reader does: the speech window of
a first start, the no-sound box, the main window by its title, the editor,
the menus by their captions in both languages, the 48 keys of the grid by
their spoken names on their places, the highlight followed as the cursor
keys move it, a key pressed through its action and the large-letter window.
"""

import os
import subprocess
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402
import pyatspi  # noqa: E402

PROGRAM_PID = int(os.environ["PROGRAM_PID"])
SPEECH_TITLE = "TTS - Projecte Remor 2016"
MAIN_TITLE = "Sense nom - brunzit"

# The grid, row by row, by the names the keys are said with.
GRID = [
    ["a", "B", "C", "D", "E", "F", "G", "H", "ii", "J", "return", "Llegir"],
    ["K", "L", "M", "N", "O", "P", "quu", "R", "S", "T", "punt", "esborrar"],
    ["uu", "V", "W", "X", "i grega", "Z", "més", "menys", "per", "dividid", "igual", "calcular"],
    ["0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "espai", "imprimir"],
]
KEY_WIDTH, KEY_HEIGHT = 64, 72

MENUS = {
    "ca": ["Arxiu", "Opcions", "Llengua", "Parlant de..."],
    "es": ["Archivo", "Opciones", "Lengua", "Acerca de..."],
}

failures = []


def check(ok, what):
    print(("ok: " if ok else "FAIL: ") + what, flush=True)
    if not ok:
        failures.append(what)
    return ok


def give_up(what):
    print("FAIL: " + what, flush=True)
    sys.exit(1)


def pump(seconds=0.0):
    context = GLib.MainContext.default()
    deadline = time.monotonic() + seconds
    while True:
        while context.pending():
            context.iteration(False)
        if time.monotonic() >= deadline:
            return
        time.sleep(0.02)


def wait_for(find, seconds, what):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        try:
            found = find()
        except GLib.Error:
            found = None
        if found is not None:
            return found
        pump(0.1)
    give_up(what)


def walk(node):
    yield node
    for i in range(node.childCount):
        try:
            child = node.getChildAtIndex(i)
        except GLib.Error:
            continue
        if child is not None:
            yield from walk(child)


def showing(node):
    return node.getState().contains(pyatspi.STATE_SHOWING)


def find(root, role, name, must_show=True):
    for node in walk(root):
        if node.getRole() == role and node.name == name and (not must_show or showing(node)):
            return node
    return None


def the_application():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.get_process_id() == PROGRAM_PID:
            app.set_cache_mask(Atspi.Cache.NONE)
            return app
    return None


def window(app, name):
    for i in range(app.childCount):
        node = app.getChildAtIndex(i)
        if node is not None and node.name == name and showing(node):
            return node
    return None


def press(node):
    actions = node.queryAction()
    names = [actions.getName(i).lower() for i in range(actions.nActions)]
    actions.doAction(names.index("press") if "press" in names else 0)


def menu_bar(frame):
    return find(frame, pyatspi.ROLE_MENU_BAR, "Menú", must_show=False)


def menu_entry(frame, menu, entry):
    top = [c for c in menu_bar(frame) if c.name == menu][0]
    return [c for c in top.getChildAtIndex(0) if c.name == entry][0]


def check_menus(frame, language):
    bar = menu_bar(frame)
    check(bar is not None, "the menu bar is read as 'Menú'")
    titles = [c.name for c in bar]
    check(titles == MENUS[language], f"menus read as {MENUS[language]} (got {titles})")
    popups = [c.getChildAtIndex(0).name for c in bar if c.childCount]
    check(popups == MENUS[language][:3], f"each open menu is read by its caption (got {popups})")


# ---- First start: the speech window comes first -------------------------------

app = wait_for(the_application, 40, "the program never appeared on the accessibility bus")
print("ok: the program is on the accessibility bus", flush=True)

tts = wait_for(lambda: window(app, SPEECH_TITLE), 40, "the speech window is not read by its title")
for role, name in [
    (pyatspi.ROLE_LIST, "Motors de veu"),
    (pyatspi.ROLE_PUSH_BUTTON, "D'acord"),
    (pyatspi.ROLE_CHECK_BOX, "Utilitzar diccionari d'excepcions"),
    (pyatspi.ROLE_SLIDER, "Velocitat"),
    (pyatspi.ROLE_LABEL, "Speed:"),
    (pyatspi.ROLE_LABEL, "Velocitat actual"),
]:
    check(find(tts, role, name) is not None, f"speech window: {role} '{name}'")
press(find(tts, pyatspi.ROLE_PUSH_BUTTON, "D'acord"))

# ---- The main window and the box that says no voice can be heard --------------

frame = wait_for(lambda: window(app, MAIN_TITLE), 30, "the main window is not read by its title")
print(f"ok: the main window is read as '{MAIN_TITLE}'", flush=True)


def no_sound_box():
    for i in range(app.childCount):
        node = app.getChildAtIndex(i)
        if node is not None and node is not frame and node.name == SPEECH_TITLE and showing(node):
            return node
    return None


box = wait_for(no_sound_box, 20, "the no-sound box is not read")
check(any(n.getRole() == pyatspi.ROLE_LABEL and n.name.startswith("Sense veu") for n in walk(box)),
      "the no-sound box's message is read")
press([n for n in walk(box) if n.getRole() == pyatspi.ROLE_PUSH_BUTTON][0])
wait_for(lambda: None if no_sound_box() else True, 10, "the no-sound box did not close")

editor = find(frame, pyatspi.ROLE_TEXT, "Editor")
check(editor is not None, "the editor is read as 'Editor'")
check_menus(frame, "ca")
entries = [c.name for c in menu_bar(frame).getChildAtIndex(0).getChildAtIndex(0)
           if c.getRole() != pyatspi.ROLE_SEPARATOR]
check(entries == ["Nou", "Obrir...", "Desar", "Desar com...", "Imprimir", "Sortir"],
      f"the file menu's entries are read by their captions (got {entries})")

# ---- The grid keyboard ---------------------------------------------------------

press(menu_entry(frame, "Opcions", "Teclat visible"))
def keyboard_panel():
    for node in walk(frame):
        if node.name == "Teclat" and showing(node):
            return node
    return None


panel = wait_for(keyboard_panel, 10, "the keyboard panel is not read as 'Teclat'")
print(f"ok: the keyboard panel is read as 'Teclat' ({panel.getRole()})", flush=True)
keys = [n for n in walk(panel) if n.getRole() == pyatspi.ROLE_PUSH_BUTTON]
names = [k.name for k in keys]
check(names == [n for row in GRID for n in row], f"the 48 keys are read as buttons by their spoken names (got {names})")
origin = panel.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
misplaced = []
for index, key in enumerate(keys[:48]):
    box_ = key.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    col, row = index % 12, index // 12
    expected = (origin.x + col * KEY_WIDTH, origin.y + row * KEY_HEIGHT, KEY_WIDTH, KEY_HEIGHT)
    if (box_.x, box_.y, box_.width, box_.height) != expected:
        misplaced.append(key.name)
check(not misplaced, f"each key is read where it is drawn (misplaced: {misplaced})")
by_name = dict(zip(names, keys))


def lit_keys():
    return [k.name for k in keys if k.getState().contains(pyatspi.STATE_FOCUSED)
            and k.getState().contains(pyatspi.STATE_SELECTED)]


check(lit_keys() == ["a"], f"the highlighted key 'a' is read as focused and selected (got {lit_keys()})")

focus_events = []


def on_focus(event):
    if event.detail1 == 1 and event.source is not None:
        try:
            focus_events.append((event.source.name, event.source.getRole()))
        except GLib.Error:
            pass


pyatspi.Registry.registerEventListener(on_focus, "object:state-changed:focused")
pump(0.5)

main_window_id = subprocess.run(
    ["xdotool", "search", "--onlyvisible", "--name", f"^{MAIN_TITLE}$"],
    capture_output=True, text=True).stdout.split()[0]


def told_keys():
    return [name for name, role in focus_events if role == pyatspi.ROLE_PUSH_BUTTON]


def key_and_follow(key, expected):
    del focus_events[:]
    subprocess.run(["xdotool", "windowfocus", "--sync", main_window_id], check=False)
    subprocess.run(["xdotool", "key", key], check=True)
    deadline = time.monotonic() + 5
    while time.monotonic() < deadline and expected not in told_keys():
        pump(0.05)
    pump(0.2)  # and nothing after it
    return check(told_keys() == [expected] and lit_keys() == [expected],
                 f"{key}: the reader is told of '{expected}' alone (told {told_keys()}, lit {lit_keys()})")


# Right along the first row, wrapping round to its first key; then Down.
for expected in GRID[0][1:] + GRID[0][:1]:
    key_and_follow("Right", expected)
key_and_follow("Down", GRID[1][0])
key_and_follow("Left", GRID[1][11])

# Pressing a key through its action chooses it, as a click does.
del focus_events[:]
press(by_name["C"])
wait_for(lambda: True if editor.queryText().getText(0, -1) == "C" else None, 5,
         f"pressing 'C' through its action did not write C (text {editor.queryText().getText(0, -1)!r})")
pump(0.2)
check(lit_keys() == ["C"] and told_keys() == ["C"],
      f"pressing 'C' moves the highlight there once; choosing it is no move (told {told_keys()}, lit {lit_keys()})")

# ---- The large-letter window ---------------------------------------------------

press(menu_entry(frame, "Opcions", "Veure la lletra que es diu"))
key_and_follow("Right", "D")
letter = wait_for(lambda: window(app, "Lletra"), 10, "the large-letter window is not read as 'Lletra'")
shown = [n.name.strip() for n in walk(letter) if n.getRole() == pyatspi.ROLE_LABEL]
check(shown == ["D"], f"the large-letter window reads the letter shown (got {shown})")
press(menu_entry(frame, "Opcions", "Veure la lletra que es diu"))

# Hiding the keyboard takes the reader back to the editor.
del focus_events[:]
press(menu_entry(frame, "Opcions", "Teclat visible"))
wait_for(lambda: True if ("Editor", pyatspi.ROLE_TEXT) in focus_events else None, 5,
         f"hiding the keyboard left the reader on a hidden key (told {focus_events})")
check(lit_keys() == [], f"no key is lit once the keyboard is hidden (lit {lit_keys()})")

# ---- The language of the menus -------------------------------------------------

press(menu_entry(frame, "Llengua", "Castellano"))
pump(0.5)
check_menus(frame, "es")
press(menu_entry(frame, "Lengua", "Català"))
pump(0.5)
check_menus(frame, "ca")

if failures:
    print(f"{len(failures)} failed", flush=True)
    sys.exit(1)
