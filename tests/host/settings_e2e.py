#!/usr/bin/python3
"""The installed wingdrift-settings driven through the accessibility tree, as
an assistive tool or a user would: controls found by their labels, the number
of butterflies set to 3 and the background to a folder of pictures, Save; then
the settings file holds them and a recording flies 3 butterflies over the
picture from that folder.

Usage: settings_e2e.py PREFIX WORKDIR   (run inside a session bus, on $DISPLAY)
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



def find(parent, **what):
    """parent.child(**what), looked for again when a part of the tree that
    was being listed went away meanwhile (the file chooser redraws its
    lists while it loads a folder)."""
    for attempt in range(20):
        try:
            return parent.child(**what)
        except GLib.GError:
            time.sleep(0.5)
    return parent.child(**what)


prefix, work = sys.argv[1], sys.argv[2]
pictures = os.path.join(work, "pictures")
os.makedirs(pictures, exist_ok=True)
# One picture, so the folder's random choice is this one: a flat magenta.
subprocess.run(["convert", "-size", "64x48", "xc:#c030c0", os.path.join(pictures, "only.png")],
               check=True)

started = time.monotonic()
program = subprocess.Popen([os.path.join(prefix, "bin", "wingdrift-settings")])
try:
    app = tree.root.application("wingdrift-settings")
    save = app.child(name="Save", roleName="push button")
    print("filled window after %.2f s" % (time.monotonic() - started))

    app.child(name="Number of butterflies", roleName="spin button").text = "3"
    picture = app.child(name="Picture", roleName="combo box")
    picture.click()
    app.child(name="A random picture from a folder", roleName="menu item").click()

    app.child(name="Picture folder", roleName="push button").click()
    # A top-level window of the program; its insides change while it lists
    # folders, so it is looked for among the windows only.
    panel = app.child(name="Select Folder To Load Random Background Images From",
                      roleName="file chooser", recursive=False)
    select = find(panel, name="Select", roleName="push button")
    rawinput.keyCombo("<Control>l")  # the panel's "type a location" field
    find(panel, roleName="text").text = pictures + "/"
    tree.doDelay(1)
    select.click()
    tree.doDelay(1)
    save.click()
    program.wait(timeout=30)
finally:
    if program.poll() is None:
        program.kill()
        program.wait()

store = os.path.join(os.environ["XDG_CONFIG_HOME"], "wingdrift", "qvWingdrift.plist")
with open(store, "rb") as f:
    settings = plistlib.load(f)
assert settings["MaxBFly"] == 3, settings
assert settings["BGType"] == 2, settings
assert settings["BGPath"].rstrip("/") == pictures, settings

frame = os.path.join(work, "frame.png")
record = subprocess.run([os.path.join(prefix, "bin", "wingdrift"), "--record", frame,
                         "--seconds", "6", "--size", "320x240", "--seed", "5"],
                        capture_output=True, text=True, check=True)
assert "3 butterflies" in record.stdout, record.stdout
# The picture fills the frame where no butterfly is: its corners are magenta.
corners = subprocess.run(["convert", frame, "-format",
                          "%[pixel:p{2,2}] %[pixel:p{317,2}] %[pixel:p{2,237}] %[pixel:p{317,237}]",
                          "info:"], capture_output=True, text=True, check=True).stdout
print("corners:", corners)
for c in corners.split():
    r, g, b = (int(v) for v in c[c.index("(") + 1:c.index(")")].split(",")[:3])
    assert abs(r - 0xC0) < 40 and g < 90 and abs(b - 0xC0) < 40, corners
open(os.path.join(work, "passed"), "w").close()
print("passed")
