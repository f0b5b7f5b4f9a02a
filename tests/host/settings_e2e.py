#!/usr/bin/python3
"""The installed wingdrift-settings driven through the accessibility tree, as
an assistive tool or a user would: controls found by their labels.

First a new type from a download server on 127.0.0.1 (catalogue_server.py
serving a `bflytool catalogue` site): without an address the check is off;
with one the check lists the types not in the user's folder, the download's
progress bar moves (screenshots part-way and after go to OUTDIR), and once
the type has landed the type pop-up lists it, the list no longer does, and
the number of butterflies typed before (3) is still there. Then the
background set to a folder of pictures through GTK's folder chooser, Save;
the settings file holds them and a recording flies 3 butterflies over the
picture from that folder.

Usage: settings_e2e.py PREFIX WORKDIR OUTDIR  (inside a session bus, on $DISPLAY)
Prints the seconds from the start to a filled window."""
import os
import plistlib
import subprocess
import sys
import time

os.environ["GTK_MODULES"] = "gail:atk-bridge"  # tells dogtail the bridge is on
from dogtail import config, rawinput, tree  # noqa: E402

from gi.repository import GLib  # noqa: E402

config.config.searchCutoffCount = 40
config.config.actionDelay = 0.2


def wait_for(what, condition, seconds=60, shown=lambda: ""):
    """Polls condition() until it holds (a part of the tree that went away
    meanwhile counts as not yet); `shown` says what was there instead."""
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        try:
            result = condition()
            if result:
                return result
        except GLib.GError:
            pass
        time.sleep(0.2)
    raise AssertionError("waited %d s for %s: %s" % (seconds, what, shown()))


def items(combo):
    return [m.name for m in combo.findChildren(lambda n: n.roleName == "menu item")]


def run(*args):
    return subprocess.run(args, check=True, capture_output=True, text=True).stdout


def screenshot(name):
    subprocess.run("xwd -root -silent | convert xwd:- " + os.path.join(outdir, name), shell=True, check=True)


prefix, work, outdir = sys.argv[1:4]
bflytool = os.path.join(prefix, "bin", "bflytool")
shipped = os.path.join(prefix, "share", "wingdrift")
# A type nobody has installed: a shipped one under a name of its own, offered
# first, beside a shipped one (not in the user's folder, so offered too).
NEW_TYPE = "Drift Test Monarch"
run(bflytool, "unpack", os.path.join(shipped, "Monarch.bfly"), os.path.join(work, "parts"))
manifest = os.path.join(work, "parts", "manifest.txt")
with open(manifest) as f:
    text = f.read().replace("name = Monarch\n", "name = %s\n" % NEW_TYPE)
with open(manifest, "w") as f:
    f.write(text)
new_type = os.path.join(work, "DriftTest.bfly")
run(bflytool, "pack", os.path.join(work, "parts"), "-o", new_type)
run(bflytool, "catalogue", os.path.join(work, "site"), new_type, os.path.join(shipped, "Peacock.bfly"))
server = subprocess.Popen([sys.executable, os.path.join(os.path.dirname(__file__), "catalogue_server.py"), work],
                          stdout=subprocess.PIPE, text=True)
# "slow": the type comes half at once, the rest once `release` exists.
base = "http://127.0.0.1:%d/slow/site" % int(server.stdout.readline())
landed = os.path.join(os.environ["XDG_DATA_HOME"], "wingdrift", "butterflies", "DriftTest.bfly")
# One picture, so the folder's random choice is this one: a flat magenta.
pictures = os.path.join(work, "pictures")
os.makedirs(pictures, exist_ok=True)
run("convert", "-size", "64x48", "xc:#c030c0", os.path.join(pictures, "only.png"))

started = time.monotonic()
program = subprocess.Popen([os.path.join(prefix, "bin", "wingdrift-settings")])
try:
    app = tree.root.application("wingdrift-settings")
    app.child(name="Save", roleName="push button")
    print("filled window after %.2f s" % (time.monotonic() - started))

    # An edit not yet saved, which the fresh sheet after the download keeps.
    app.child(name="Number of butterflies", roleName="spin button").text = "3"
    check = app.child(name="Check for new types", roleName="push button")
    assert not check.sensitive and check.description == "No download server is set", check.description
    app.child(name="Download server", roleName="text").text = base
    wait_for("the check to come on", lambda: check.sensitive)
    check.doActionNamed("click")
    available = app.child(name="Available types", roleName="combo box")
    status = app.child(name="Download status", roleName="label")
    wait_for("the catalogue", lambda: items(available) == [NEW_TYPE, "Peacock"],
             shown=lambda: "%s, \"%s\"" % (items(available), status.text))
    app.child(name="Download", roleName="push button").doActionNamed("click")

    progress = app.child(name="Download progress", roleName="progress bar")
    wait_for("the progress bar to move", lambda: progress.value > 0)
    assert "% Complete" in status.text, status.text
    assert not check.sensitive, "the controls are off while a download runs"
    screenshot("settings-download.png")
    print("progress %.1f, \"%s\"" % (progress.value, status.text.strip()))
    open(os.path.join(work, "release"), "w").close()

    # A fresh view replaces the preview once the type has landed; only its
    # sheet lists the new type, and everything is looked for again there.
    wait_for("the download to land", lambda: os.path.exists(landed))
    wait_for("the new type in the type pop-up",
             lambda: NEW_TYPE in items(app.child(name="Type", roleName="combo box")))
    assert app.child(name="Download status", roleName="label").text == "Download Complete!"
    assert items(app.child(name="Available types", roleName="combo box")) == ["Peacock"]
    assert app.child(name="Download server", roleName="text").text == base
    assert app.child(name="Number of butterflies", roleName="spin button").text == "3"
    screenshot("settings-downloaded.png")

    app.child(name="Picture", roleName="combo box").click()
    app.child(name="A random picture from a folder", roleName="menu item").click()
    app.child(name="Picture folder", roleName="push button").click()
    # A top-level window of the program; its insides change while it lists
    # folders, so it is looked for among the windows only, and its parts
    # again while a list being read goes away.
    panel = app.child(name="Select Folder To Load Random Background Images From", roleName="file chooser",
                      recursive=False)
    select = wait_for("the Select button", lambda: panel.child(name="Select", roleName="push button"))
    rawinput.keyCombo("<Control>l")  # the panel's "type a location" field
    wait_for("the location field", lambda: panel.child(roleName="text")).text = pictures + "/"
    tree.doDelay(1)
    select.click()
    tree.doDelay(1)
    app.child(name="Save", roleName="push button").click()
    program.wait(timeout=30)
finally:
    for p in (program, server):
        if p.poll() is None:
            p.kill()
            p.wait()

with open(os.path.join(os.environ["XDG_CONFIG_HOME"], "wingdrift", "qvWingdrift.plist"), "rb") as f:
    settings = plistlib.load(f)
assert (settings["MaxBFly"], settings["BGType"], settings["BGPath"].rstrip("/"), settings["DownloadServer"]) == \
    (3, 2, pictures, base), settings

frame = os.path.join(work, "frame.png")
recorded = run(os.path.join(prefix, "bin", "wingdrift"), "--record", frame, "--seconds", "6", "--size", "320x240",
               "--seed", "5")
assert "3 butterflies" in recorded, recorded
# The picture fills the frame where no butterfly is: its corners are magenta.
corners = run("convert", frame, "-format", "%[pixel:p{2,2}] %[pixel:p{317,2}] %[pixel:p{2,237}] %[pixel:p{317,237}]",
              "info:")
print("corners:", corners)
for c in corners.split():
    r, g, b = (int(v) for v in c[c.index("(") + 1:c.index(")")].split(",")[:3])
    assert abs(r - 0xC0) < 40 and g < 90 and abs(b - 0xC0) < 40, corners
open(os.path.join(work, "passed"), "w").close()
print("passed")
