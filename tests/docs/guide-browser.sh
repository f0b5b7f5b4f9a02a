#!/bin/sh
# The HTML guide in a real headless browser (Debian's Chromium): every image
# of the page loads, the page logs nothing to the console, and a screenshot
# taken at the gallery shows the types' pictures. The screenshot is kept in
# OUT_DIR for people to look at. Exits 77 (skipped) without Chromium.
# Usage: guide-browser.sh GUIDE_DIR OUT_DIR
set -eu
guide_dir=$(cd "$1" && pwd)
out=$2
for p in chromium convert; do command -v $p >/dev/null 2>&1 || { echo "skipped: no $p"; exit 77; }; done
[ -f "$guide_dir/index.html" ] || { echo "no guide at $guide_dir"; exit 1; }
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
page="file://$guide_dir/index.html"

browse() {
  HOME="$work" timeout 120 chromium --headless --no-sandbox --disable-gpu \
    --user-data-dir="$work/profile" --enable-logging=stderr --v=0 "$@"
}

# A page of the test's own holds the guide in a frame and reports each of its
# images that did not load.
cat >"$work/check.html" <<HTML
<html><body><iframe id="guide" src="$page" width="1280" height="900"></iframe>
<script>
document.getElementById('guide').onload = function() {
  var bad = [], images = this.contentDocument.images;
  for (var i = 0; i < images.length; ++i)
    if (!images[i].complete || images[i].naturalWidth == 0) bad.push(images[i].getAttribute('src'));
  var r = document.createElement('pre');
  r.id = 'result';
  r.textContent = 'images=' + images.length + ' missing=[' + bad.join(' ') + ']';
  document.body.appendChild(r);
};
</script></body></html>
HTML
browse --allow-file-access-from-files --virtual-time-budget=10000 --dump-dom \
  "file://$work/check.html" >"$work/dom" 2>"$work/log"
result=$(sed -n 's|.*<pre id="result">\(.*\)</pre>.*|\1|p' "$work/dom")
# The gallery's pictures and the settings window's.
expected=$(( $(ls "$guide_dir"/gallery/*.png | wc -l) + 1 ))
echo "guide: $result (expected $expected images)"
[ "$result" = "images=$expected missing=[]" ] || { echo "FAIL: images"; exit 1; }
! grep ":CONSOLE" "$work/log" | grep -F "$guide_dir/index.html" || { echo "FAIL: the guide logged to the console"; exit 1; }

# The whole page (headless screenshots do not follow an anchor).
shot="$out/guide.png"
browse --hide-scrollbars --window-size=1280,3600 --virtual-time-budget=10000 \
  --screenshot="$shot" "$page" 2>/dev/null >/dev/null
# The sky of the gallery's nine pictures (around #6aaed0) covers about a
# tenth of the page; without them (the header and the settings window's
# preview) about a thirtieth.
sky=$(convert "$shot" -fuzz 15% -fill black +opaque "#6aaed0" -fill white -opaque "#6aaed0" \
      -format "%[fx:mean]" info:)
echo "guide: sky fraction of the page $sky ($shot)"
awk -v f="$sky" 'BEGIN { exit !(f > 0.07) }' || { echo "FAIL: no gallery in the screenshot"; exit 1; }
echo "passed"
