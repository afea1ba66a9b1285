#!/usr/bin/env python3
"""Lumenor as a native Wayland client of a real compositor (weston): run as
   dbus-run-session -- python3 wayland_test.py BUILD_DIR [TEST...]"""
from harness import drag, enlarged, make_picture, run, xdotool
from wayland_harness import WaylandSession, wait_until_shown


def shows_whole_picture_pixel_for_pixel(session, scale, width, height):
    session.start_weston(scale)
    path, picture = make_picture(session, "plasma", width, height)
    app = session.start(path)
    app.wait_until_loaded("Lumenor - plasma")
    wait_until_shown(session, picture, "the picture at actual size")


def test_output_scale_1_is_pixel_exact(session):
    shows_whole_picture_pixel_for_pixel(session, 1, 301, 203)


def test_output_scale_2_is_pixel_exact(session):
    # 800 x 600 screen pixels fit the client area only if the picture is not enlarged by the
    # output's scale.
    shows_whole_picture_pixel_for_pixel(session, 2, 800, 600)


def test_zoom_in_from_the_view_menu(session):
    session.start_weston(2)
    path, picture = make_picture(session, "plasma", 200, 150)
    app = session.start(path)
    app.wait_until_loaded("Lumenor - plasma")
    corner = wait_until_shown(session, picture, "the picture at actual size")
    app.choose("Zoom In")
    wait_until_shown(session, enlarged(picture, 0, 0, 200, 150, 2),
                     "after Zoom In, 2 x 2 screen pixels for each picture pixel", at=corner)


def test_full_screen_and_back(session):
    # At scale 2 the 640 x 480 output is 1280 x 960 screen pixels; the picture is larger, so in
    # full screen it fills the output from its top-left corner, with no menu bar above it.
    session.start_weston(2)
    path, picture = make_picture(session, "plasma", 1400, 1000, seed=7)
    app = session.start(path)
    app.wait_until_loaded("Lumenor - plasma")
    app.choose("Full Screen")
    width, height = session.output
    wait_until_shown(session, enlarged(picture, 0, 0, width, height, 1),
                     "in full screen, the picture over the whole output", at=(0, 0))
    app.choose("Full Screen")
    wait_until_shown(session, enlarged(picture, 0, 0, 200, 150, 1),
                     "back in the window, the picture's corner")


def test_drag_follows_the_pointer_and_stops_at_the_edges(session):
    scale = 2
    session.start_weston(scale, under_x=True)
    path, picture = make_picture(session, "plasma", 1200, 900, seed=5)
    app = session.start(path)
    app.wait_until_loaded("Lumenor - plasma")
    width, height = (side * scale for side in app.client_size())  # in screen pixels
    # weston's window is in the X screen's top-left corner, so X positions are output positions.
    # The pointer is in screenshots: it waits in the output's corner, off the window.
    away = session.output[0] - 1, session.output[1] - 1
    session.point_at(*away)

    def shown_from(x, y):
        """What the client area shows when picture point (x, y) is in its top-left corner."""
        return enlarged(picture, x, y, width, height, 1)

    corner = wait_until_shown(session, shown_from(0, 0), "the picture's top-left corner")
    grab = corner[0] + 400, corner[1] + 300

    # In even steps of the X pointer, which move the picture by whole screen pixels at scale 2.
    session.point_at(*grab)
    drag(grab[0], grab[1], -10, -6, 10)
    session.point_at(*away)
    wait_until_shown(session, shown_from(100, 60),
                     "after a drag of (-100, -60), the picture from (100, 60)", at=corner)

    # Far past the edges: the picture's bottom-right corner stops at the client area's.
    session.point_at(*grab)
    drag(grab[0], grab[1], -20, -14, 19)
    session.point_at(*away)
    right, bottom = 1200 - width, 900 - height
    wait_until_shown(session, shown_from(right, bottom),
                     "after a drag past the edges, the picture from (%d, %d)" % (right, bottom),
                     at=corner)
    session.point_at(corner[0] + 100, corner[1] + 50)
    drag(corner[0] + 100, corner[1] + 50, 20, 20, 20)
    session.point_at(*away)
    wait_until_shown(session, shown_from(0, 0),
                     "after a drag back past the top-left edges, the picture from (0, 0)",
                     at=corner)


if __name__ == "__main__":
    run({name[5:]: test for name, test in dict(globals()).items() if name.startswith("test_")},
        WaylandSession)
