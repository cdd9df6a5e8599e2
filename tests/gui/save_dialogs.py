"""Answering the exports' dialogs: FLTK's file chooser in save mode and our
Yes/No question window."""

import time


def focus_dialog(app, title_regex):
    """Waits for the dialog, puts the pointer on it and gives it the
    keyboard. Without a window manager the keyboard may stay with the main
    window after a click there, and keys typed then are lost."""
    wid = app.dialog(title_regex)
    gx, gy, w, h = app.x.geometry(wid)
    app.x.run("xdotool", "mousemove", str(gx + w // 2), str(gy + h // 2))
    app.x.run("xdotool", "windowfocus", "--sync", wid)
    time.sleep(0.2)
    return wid


def answer_save_dialog(app, title_regex, name, proposed=""):
    """Puts the base name in place of the proposed one at the end of the
    chooser's filename field and accepts it. The field must stay an absolute
    path while typing: a relative one is expanded under the cursor and the
    keys that follow land in the middle of it."""
    wid = focus_dialog(app, title_regex)
    app.x.key("End", *(["BackSpace"] * len(proposed)))
    app.x.type(name)
    app.x.key("Delete", "Return")  # Delete drops what completion offered
    return wid


def answer_yes(app, title_regex):
    """Clicks "Yes" in a question window: the button left of the middle, in
    the row below the text."""
    wid = app.dialog(title_regex)
    gx, gy, w, h = app.x.geometry(wid)
    app.x.run("xdotool", "mousemove", str(gx + w // 2 - 50), str(gy + 67))
    time.sleep(0.1)
    app.x.run("xdotool", "click", "1")
    return wid


def type_in_dialog(app, title_regex, text, *then):
    """Types the text in place of the input box's text, then the keys."""
    wid = focus_dialog(app, title_regex)
    app.x.key("ctrl+a")
    app.x.type(text)
    if then:
        app.x.key(*then)
    return wid
