#!/usr/bin/env python3
"""Lumenor used as a person uses it, in a real window: run as
   dbus-run-session -- python3 window_test.py BUILD_DIR [TEST...]"""
import os
import shutil
import subprocess
import time

import pyatspi

from harness import (App, check, drag, enabled, enlarged, find, make_picture, press,
                     region_difference, run, screenshot, wait_for, xdotool)
from sgi_files import write_giant

SCREENSHOT = os.environ.get("LUMENOR_SCREENSHOT")  # where to keep a picture of the window


def test_about_box(session):
    app = session.start()
    app.keys("alt+h", "a")
    box = app.box("About...")
    text = "\n".join(App.box_text(box))
    lines = text.split("\n")
    check(len(lines) == 6, "About text has %d lines: %r" % (len(lines), text))
    check(lines[0].startswith("Lumenor 1.0 by Vantris ("), lines[0])
    check(lines[2] == "" and lines[4] == "", "empty lines before the third and fourth: %r" % text)
    check("2003" in lines[3], lines[3])
    press(find(box, "push button", "OK"))
    wait_for("the About box to close", lambda: find(app.accessible, "alert", "About...") is None)


def test_open_shows_the_picture(session):
    path, picture = make_picture(session, "plasma", 301, 203)
    for name in ("UPPER.RGB", "grey.bw", "notes.txt", "noextension", "deep.SGI", "matte.inta"):
        shutil.copy(path, session.path(name))
    app = session.start()
    check(app.title() == "Lumenor 1.0 by Vantris", app.title())
    check(app.client_size() == (449, 343), "client area %s" % (app.client_size(),))

    # The filters list what they name, whatever the case; the last choice lists every file.
    app.keys("alt+f", "o")
    dialog = app.box("Select a RGB Image")
    name = wait_for("the file name field", lambda: find(dialog, "text", "File name:"))
    name.queryEditableText().setTextContents(session.tmp.name + "/")
    press(find(dialog, "push button", "Open"))  # enters the folder

    def listed(expected):
        tree = find(dialog, "tree", "Files")
        cells = [cell.name for cell in tree if cell is not None and cell.getRoleName() == "table cell"]
        names = sorted(cells[0::4])  # name, size, type, date
        return names if names == expected else None

    rgb_files = ["UPPER.RGB", "grey.bw", "plasma.rgb"]
    wait_for("the RGB filter to list %s" % rgb_files, lambda: listed(rgb_files))
    combo = find(dialog, "combo box", "RGB Images (*.bw, *.rgb)")
    extents = combo.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)

    def choose_next_filter():
        xdotool("mousemove", extents.x + extents.width // 2, extents.y + extents.height // 2)
        xdotool("click", 1)
        time.sleep(0.5)
        xdotool("key", "Down")
        xdotool("key", "Return")

    choose_next_filter()
    sgi_files = sorted(rgb_files + ["deep.SGI", "matte.inta"])
    wait_for("All SGI Images to list %s" % sgi_files, lambda: listed(sgi_files))
    choose_next_filter()
    every_file = sorted(sgi_files + ["noextension", "notes.txt", "plasma.ppm"])
    wait_for("All Files to list %s" % every_file, lambda: listed(every_file))

    name.queryEditableText().setTextContents(path)
    press(find(dialog, "push button", "Open"))
    app.wait_until_loaded("Lumenor - plasma")

    shot = screenshot(SCREENSHOT)
    difference = region_difference(shot, app.client_origin(), picture, (0, 0), picture[:2])
    check(difference is None, "screen and picture differ: %s" % difference)


def test_error_box_and_open_state(session):
    bad = session.path("swapped.rgb")
    with open(bad, "wb") as out:
        out.write(b"\xDA\x01" + bytes(510))
    app = session.start()
    app.open_file(bad)
    box = app.box("Error")
    check(App.box_text(box) == ["Header doesn't check out: -9727"], "error text %r" % App.box_text(box))
    check(not enabled(app.menu_item("Open")), "Open is enabled while a load runs")
    press(find(box, "push button", "OK"))
    wait_for("Open enabled again", lambda: enabled(app.menu_item("Open")))
    check(app.title() == "Lumenor 1.0 by Vantris", "title changed to %r" % app.title())

    app.open_file(session.path("does-not-exist.rgb"))
    text = App.box_text(app.box("Error"))
    check(text and text[0].startswith("There was an error reading the file:\n"), "read error text %r" % text)
    check(not os.path.exists(session.path("does-not-exist.rgb")), "a missing file was created")


def test_drag_in_small_steps_and_resize(session):
    path, picture = make_picture(session, "big", 1000, 800, seed=5)
    app = session.start()
    app.open_file(path)
    app.wait_until_loaded("Lumenor - big")
    ox, oy = app.client_origin()

    # Grab picture point (400, 300) and drag it in 60 small steps to client (100, 60).
    drag(ox + 400, oy + 300, -5, -4, 60)
    time.sleep(0.3)
    shot = screenshot()
    difference = region_difference(shot, (ox, oy), picture, (300, 240), (449, 343))
    check(difference is None, "after the drag the client area should show the picture from (300, 240): %s" % difference)

    # Growing the window pulls the panned picture back to the corner.
    xdotool("windowsize", app.window, 1200, 900)
    wait_for("the larger window", lambda: app.client_size()[0] == 1200)
    time.sleep(0.3)
    shot = screenshot()
    difference = region_difference(shot, app.client_origin(), picture, (0, 0), (1000, 800))
    check(difference is None, "after the resize the picture should sit at the corner: %s" % difference)


def test_command_line_file(session):
    # A missing file: the read-error box, as through the dialog.
    app = session.start(session.path("missing.rgb"))
    text = App.box_text(app.box("Error"))
    check(text and text[0].startswith("There was an error reading the file:\n"), "read error text %r" % text)
    press(find(app.box("Error"), "push button", "OK"))
    wait_for("Open enabled again", lambda: enabled(app.menu_item("Open")))
    check(app.title() == "Lumenor 1.0 by Vantris", "title changed to %r" % app.title())
    check(not os.path.exists(session.path("missing.rgb")), "a missing file was created")

    # A picture whose name has a blank and a byte that is not UTF-8, shown pixel for pixel.
    path, picture = make_picture(session, "plasma", 211, 157)
    odd = session.tmp.name.encode() + b"/my caf\xe9 picture.rgb"
    os.rename(path, odd)
    app = session.start(odd)
    app.wait_until_loaded("Lumenor - plasma")
    difference = region_difference(screenshot(), app.client_origin(), picture, (0, 0), picture[:2])
    check(difference is None, "screen and picture differ: %s" % difference)


def test_new_picture_is_pulled_into_view(session):
    path, _ = make_picture(session, "big", 1000, 800, seed=5)
    small, picture = make_picture(session, "small", 37, 5, seed=9)
    app = session.start(path)
    app.wait_until_loaded("Lumenor - big")
    ox, oy = app.client_origin()
    # Drag the picture up and left as far as it goes, to (449 - 1000, 343 - 800): two strokes
    # from the bottom-right corner to the top-left one.
    for _ in range(2):
        drag(ox + 440, oy + 330, -10, -7, 43)
    app.open_file(small)
    app.wait_until_loaded("Lumenor - small")
    time.sleep(0.3)
    difference = region_difference(screenshot(), (ox, oy), picture, (0, 0), picture[:2])
    check(difference is None, "the small picture should sit at the corner: %s" % difference)


def test_walk_a_folder_by_keys(session):
    folder = session.path("walk")
    os.mkdir(folder)
    pictures = {}
    for name, seed in (("a1", 3), ("a2", 5), ("a10", 7)):
        path, pictures[name] = make_picture(session, name, 120 + seed, 90, seed=seed)
        os.rename(path, os.path.join(folder, name + ".rgb"))
    app = session.start(os.path.join(folder, "a1.rgb"))
    app.wait_until_loaded("Lumenor - a1")
    wait_for("the folder's list", lambda: enabled(app.menu_item("Next Picture")))
    # In natural order, by the keys: a picture smaller than the window is walked with the arrows.
    for key, shown in (("space", "a2"), ("Right", "a10"), ("space", "a10"), ("BackSpace", "a2"),
                       ("ctrl+Home", "a1"), ("End", "a10")):
        app.keys(key)
        app.wait_until_loaded("Lumenor - " + shown)
    check(not enabled(app.menu_item("Next Picture")), "Next Picture enabled at the last picture")
    difference = region_difference(screenshot(), app.client_origin(), pictures["a10"], (0, 0),
                                   pictures["a10"][:2])
    check(difference is None, "screen and the last picture differ: %s" % difference)


def test_play_three_frames(session):
    folder = session.path("frames")
    os.mkdir(folder)
    frames = {}
    for index, seed in enumerate((3, 5, 7), 1):
        name = "shot.%04d" % index
        path, frames[name] = make_picture(session, name, 160, 120, seed=seed)
        os.rename(path, os.path.join(folder, name + ".rgb"))
    app = session.start("--play", "--fps", "12", os.path.join(folder, "shot.0001.rgb"))
    # Every frame in its turn, round and round, the title following each.
    seen = []
    def next_frame():
        title = app.title()
        if title.startswith("Lumenor - shot.") and (not seen or seen[-1] != title):
            seen.append(title)
        return len(seen) >= 5
    wait_for("five frames in a row", next_frame)
    names = [title[len("Lumenor - "):] for title in seen]
    for earlier, later in zip(names, names[1:]):
        check(int(later[-1]) == int(earlier[-1]) % 3 + 1, "frames out of order: %s" % names)
    app.keys("p")  # pauses on the frame shown
    wait_for("Play unchecked", lambda: not app.menu_item("Play").getState().contains(
        pyatspi.STATE_CHECKED))
    shown = app.title()[len("Lumenor - "):]
    time.sleep(0.3)
    check(app.title() == "Lumenor - " + shown, "still playing after P")
    # The heads-up display names the frame; H takes it off the picture.
    display = wait_for("the heads-up display", lambda: find(app.frame, "label", "Heads-Up Display"))
    text = display.description
    check(text.startswith("%s.rgb\nframe %d of 1-3" % (shown, int(shown[-1]))), text)
    app.keys("h")
    wait_for("the display to go", lambda: not find(app.frame, "label", "Heads-Up Display") or
             not find(app.frame, "label", "Heads-Up Display").getState().contains(
                 pyatspi.STATE_SHOWING))
    difference = region_difference(screenshot(), app.client_origin(), frames[shown], (0, 0),
                                   frames[shown][:2])
    check(difference is None, "the paused frame differs on the screen: %s" % difference)


def test_scrub_the_timeline(session):
    folder = session.path("frames")
    os.mkdir(folder)
    for index in range(1, 9):
        if index == 5:
            continue  # missing
        name = "shot.%04d" % index
        path, _ = make_picture(session, name, 160, 120, seed=index)
        os.rename(path, os.path.join(folder, name + ".rgb"))
    app = session.start(os.path.join(folder, "shot.0001.rgb"))
    app.wait_until_loaded("Lumenor - shot.0001")
    app.keys("t")
    slider = wait_for("the timeline", lambda: find(app.frame, "slider", "Timeline"))
    value = slider.queryValue()
    check((value.minimumValue, value.maximumValue, value.currentValue) == (1, 8, 1),
          "range and value %s" % ((value.minimumValue, value.maximumValue, value.currentValue),))
    box = slider.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    y = box.y + box.height // 2
    # A press on the track shows the frame under it; a drag to its left end, the first.
    xdotool("mousemove", box.x + box.width * 2 // 3, y)
    xdotool("mousedown", 1)
    wait_for("a later frame", lambda: slider.queryValue().currentValue > 4)
    pressed = int(slider.queryValue().currentValue)
    wait_for("its picture", lambda: app.title() == "Lumenor - shot.%04d" % pressed)
    for step in range(1, 11):
        xdotool("mousemove", box.x + box.width * 2 // 3 - step * box.width // 16, y)
        time.sleep(0.02)
    xdotool("mousemove", box.x + 2, y)
    xdotool("mouseup", 1)
    wait_for("the first frame", lambda: app.title() == "Lumenor - shot.0001")
    wait_for("the slider to follow", lambda: slider.queryValue().currentValue == 1)
    check(not app.menu_item("Play").getState().contains(pyatspi.STATE_CHECKED), "scrubbing plays")
    # Paused after play: Right steps a frame at a time, onto the missing one too.
    for _ in range(4):
        app.keys("Right")
    wait_for("frame 5 (missing)", lambda: slider.queryValue().currentValue == 5)
    check(app.title() == "Lumenor - shot.0004", "a missing frame holds the one before: %s" %
          app.title())


def test_compare_and_drag_the_wipe(session):
    a_path, a = make_picture(session, "first", 200, 150, seed=3)
    b_path, b = make_picture(session, "second", 200, 150, seed=8)
    app = session.start("--compare", b_path, a_path)
    app.wait_until_loaded("Lumenor - first")
    wait_for("Stop Comparing enabled", lambda: enabled(app.menu_item("Stop Comparing")))
    ox, oy = app.client_origin()
    width, _ = app.client_size()
    # The line starts in the middle of the client area, beyond the picture: A shows whole.
    time.sleep(0.3)
    difference = region_difference(screenshot(), (ox, oy), a, (0, 0), (200, 150))
    check(difference is None, "A left of the line: %s" % difference)
    # Taken two pixels beside it and dragged in small steps to x = 120.
    line = width // 2
    drag(ox + line + 2, oy + 100, -2, 0, (line + 2 - 120) // 2)
    time.sleep(0.3)
    shot = screenshot()
    left = region_difference(shot, (ox, oy), a, (0, 0), (120, 150))
    check(left is None, "A left of the line after the drag: %s" % left)
    right = region_difference(shot, (ox + 121, oy), b, (121, 0), (79, 150))
    check(right is None, "B right of the line after the drag: %s" % right)
    sw = shot[0]
    px = shot[2][((oy + 50) * sw + ox + 120) * 3:((oy + 50) * sw + ox + 120) * 3 + 3]
    check(px == b"\xff\x00\xff", "the line at x = 120, have %s" % px.hex())
    # Ended, A alone again.
    app.keys("ctrl+shift+w")
    time.sleep(0.3)
    difference = region_difference(screenshot(), (ox, oy), a, (0, 0), (200, 150))
    check(difference is None, "A alone after Stop Comparing: %s" % difference)


def test_screen_scales_are_pixel_exact(session):
    path, picture = make_picture(session, "plasma", 1200, 900)
    for scale in (2, 1.5):
        app = session.start(path, QT_SCALE_FACTOR=str(scale))
        app.wait_until_loaded("Lumenor - plasma")
        time.sleep(0.3)
        origin = app.device_origin(scale)
        width, height = app.client_size()
        shown = (int(width * scale) - 1, int(height * scale) - 1)  # what the client area shows
        difference = region_difference(screenshot(), origin, picture, (0, 0), shown)
        check(difference is None, "at screen scale %s, actual size is not pixel for pixel: %s" % (scale, difference))
        if scale != 2:
            continue
        # A drag moves the picture with the pointer, screen pixel for screen pixel.
        ox, oy = origin
        drag(ox + 500, oy + 400, -7, -5, 30)
        time.sleep(0.3)
        difference = region_difference(screenshot(), origin, picture, (210, 150), (600, 450))
        check(difference is None, "after a drag of (-210, -150) at scale 2: %s" % difference)


def test_view_menu_fit_and_resize(session):
    path, picture = make_picture(session, "plasma", 1000, 800)
    app = session.start(path)
    app.wait_until_loaded("Lumenor - plasma")
    ox, oy = app.client_origin()

    app.keys("alt+v", "i", "Home")  # Zoom In, then the top-left corner
    time.sleep(0.3)
    difference = region_difference(screenshot(), (ox, oy), enlarged(picture, 0, 0, 200, 150, 2), (0, 0), (400, 300))
    check(difference is None, "Zoom In by its access key: not 200 %%: %s" % difference)

    def picture_span(shot, width):
        """Where the picture begins and ends on the client area's middle row, the band beside it
        being the background (the top-left pixel's colour at Fit, the picture filling the height)."""
        sw, _, spx = shot
        row = oy + 150

        def at(x):
            return spx[(row * sw + ox + x) * 3:(row * sw + ox + x + 1) * 3]
        background = at(width - 1)
        inside = [x for x in range(width) if at(x) != background]
        return (inside[0], inside[-1] + 1) if inside else (0, 0)

    def check_fitted(what):
        """The picture fills the height and lies in the middle of the width."""
        width, height = app.client_size()
        fitted = -(-1000 * height // 800)
        want = ((width - fitted) // 2, (width - fitted) // 2 + fitted)
        span = picture_span(screenshot(), width)
        check(span == want, "%s: the picture should span x = %d to %d, has %d to %d" % (what, *want, *span))

    app.keys("alt+v", "f")  # Fit to Window, narrower than the client area: centred
    time.sleep(0.3)
    check_fitted("Fit to Window")

    xdotool("windowsize", app.window, 900, 500)
    wait_for("the larger window", lambda: app.client_size()[0] == 900)
    time.sleep(0.3)
    check_fitted("after a resize, fitted again")


def test_zoom_about_the_pointer_and_keyboard_panning(session):
    path, picture = make_picture(session, "plasma", 1000, 800)
    app = session.start(path)
    app.wait_until_loaded("Lumenor - plasma")
    ox, oy = app.client_origin()

    # Ctrl+wheel over picture point (300, 200): at 200 % it is still under the pointer.
    xdotool("mousemove", ox + 300, oy + 200)
    xdotool("keydown", "ctrl")
    xdotool("click", 4)
    xdotool("keyup", "ctrl")
    time.sleep(0.3)
    difference = region_difference(screenshot(), (ox + 300, oy + 200), enlarged(picture, 300, 200, 20, 20, 2), (0, 0), (40, 40))
    check(difference is None, "Ctrl+wheel: picture point (300, 200) left the pointer: %s" % difference)

    # End shows the bottom-right corner, Home the top-left one; the clamps hold.
    width, height = app.client_size()
    app.keys("End", "Right", "Next")
    time.sleep(0.3)
    difference = region_difference(screenshot(), (ox + width - 100, oy + height - 100),
                                   enlarged(picture, 950, 750, 50, 50, 2), (0, 0), (100, 100))
    check(difference is None, "End: the bottom-right corner should be in the corner: %s" % difference)
    app.keys("Home", "Left", "Prior")
    time.sleep(0.3)
    difference = region_difference(screenshot(), (ox, oy), enlarged(picture, 0, 0, 50, 50, 2), (0, 0), (100, 100))
    check(difference is None, "Home: the top-left corner should be in the corner: %s" % difference)

    # A drag at 200 %: the grabbed point follows the pointer.
    drag(ox + 300, oy + 250, -5, -3, 20)
    time.sleep(0.3)
    difference = region_difference(screenshot(), (ox, oy), enlarged(picture, 50, 30, 100, 80, 2), (0, 0), (200, 160))
    check(difference is None, "after a drag of (-100, -60) at 200 %%: %s" % difference)


def peak_memory_mib(pid):
    with open("/proc/%d/status" % pid) as status:
        for line in status:
            if line.startswith("VmHWM:"):
                return int(line.split()[1]) // 1024
    return 0


def test_exit_in_the_middle_of_a_load(session):
    path = session.path("giant.rgb")
    write_giant(path)
    app = session.start()
    app.open_file(path)
    wait_for("the load to start", lambda: app.title() == "Lumenor - giant", timeout=30)

    # The window answers while it loads: the About box opens and closes.
    app.keys("alt+h", "a")
    box = app.box("About...")
    press(find(box, "push button", "OK"))
    wait_for("the About box to close", lambda: find(app.accessible, "alert", "About...") is None)
    check(not enabled(app.menu_item("Open")), "the load ended before Exit could be chosen")

    print("  peak memory while loading 32767 x 32767 x 4: %d MiB" % peak_memory_mib(app.process.pid))
    started = time.monotonic()
    app.keys("alt+f", "e")
    code = app.process.wait(timeout=10)
    check(code == 0, "exit code %d" % code)
    print("  ended %.2f s after Exit" % (time.monotonic() - started))


if __name__ == "__main__":
    run({name[5:]: test for name, test in dict(globals()).items() if name.startswith("test_")})
