import os, subprocess, sys, time
sys.path.insert(0, os.path.dirname(__file__))
from window_driver import Window, wait_for, xdotool
import pyatspi
home = "/tmp/kvlook"
env = {"XDG_CONFIG_HOME": home + "/c", "XDG_DATA_HOME": home + "/d", "XDG_CACHE_HOME": home + "/k"}
w = Window(sys.argv[1], sys.argv[2:], env)
def shot(name):
    time.sleep(0.6)
    subprocess.run(["import", "-window", "root", "/tmp/kvlook/" + name + ".png"], check=True)
shot("empty")
w.keys("alt+f"); shot("filemenu"); w.keys("Escape")
w.press("Batch Mode"); shot("batch"); w.press("Batch Mode")
w.keys("alt+h"); w.keys("Up", "Return"); shot("about"); w.keys("Escape")
w.keys("ctrl+o"); shot("open"); w.keys("Escape")
w.press("Exit"); w.wait_exit()
