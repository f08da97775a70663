#!/usr/bin/env bash
# Takes the README's pictures of the window: the Linux program (build-release/app/bulkon)
# under Xvfb and the Windows program (build-windows/package/winapp/bulkon.exe) under Wine,
# each scanning the same generated tree of sparse files in a temporary folder.
#
#   bash docs/screenshots/make_screenshots.sh     after ./dev package
#
# Needs xvfb, openbox, ImageMagick (import, convert) and Wine with the prefix of
# .ci/windows-package --check.
set -euo pipefail
cd "$(dirname "$0")/../.."
SOURCE=$(pwd)
OUT=$SOURCE/docs/screenshots
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# A home folder as people have them: films, disk images, photos, mail, a few small files.
# It is made in the temporary folder and shown to the programs as /home/anna, by a bind
# mount in a mount namespace of their own that ends with them.
mkdir -p "$WORK/home/anna"
python3 - "$WORK/home/anna" <<'TREE_EOF'
import os, sys
root = sys.argv[1]
files = {
    "Videos/Holiday 2025/Lisbon day 1.mp4": 831_838_208,
    "Videos/Holiday 2025/Lisbon day 2.mp4": 625_000_117,
    "Videos/Holiday 2025/Sintra.mov": 347_483_648,
    "Videos/Wedding Tom and Mia.mkv": 1_442_450_944,
    "Downloads/debian-12.8.0-amd64-netinst.iso": 659_554_304,
    "Downloads/ubuntu-24.04.1-server-amd64.iso": 2_773_874_688,
    "Downloads/driver-bundle-2024.zip": 734_003_200,
    "Downloads/Thesis-final-final.pdf": 48_234_496,
    "VirtualBox VMs/Windows 11/Windows 11.vdi": 3_221_225_472,
    "VirtualBox VMs/Windows 11/Logs/VBox.log": 2_231_808,
    "Pictures/2025/Raw/IMG_4410.CR3": 31_457_280,
    "Pictures/2025/Raw/IMG_4411.CR3": 30_932_992,
    "Pictures/2025/Raw/IMG_4412.CR3": 31_981_568,
    "Pictures/2025/Panorama Tagus.tif": 412_090_368,
    "Music/Backup/music-library-2024.tar": 963_676_416,
    "Music/Albums/Live in Porto/01 Overture.flac": 58_720_256,
    "Music/Albums/Live in Porto/02 River.flac": 47_185_920,
    ".thunderbird/profile/ImapMail/INBOX": 379_048_192,
    ".cache/browser/cache2/data_1": 268_435_456,
    ".local/share/Steam/steamapps/common/Game/data.pak": 1_532_385_536,
    "Documents/Taxes/2025 receipts.zip": 157_286_400,
    "Documents/notes.txt": 4_096,
}
for index, (name, size) in enumerate(sorted(files.items())):
    path = os.path.join(root, name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.truncate(size)
    stamp = 1733000000 + index * 86400 * 9 + index * 3733
    os.utime(path, (stamp, stamp))
TREE_EOF

# Starts a program on a virtual screen with a window manager, waits for its scan, and
# keeps the screen cut to the window.
shoot() {
    local picture=$1
    shift
    xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
        picture=$1; shift
        openbox >/dev/null 2>&1 &
        wm=$!
        sleep 1
        "$@" >/dev/null 2>&1 &
        program=$!
        sleep 12
        import -window root "$picture.full.png"
        kill $program 2>/dev/null
        kill $wm 2>/dev/null
        wait $program 2>/dev/null || true' shoot "$picture" "$@"
    convert "$picture.full.png" -trim +repage "$picture"
    rm -f "$picture.full.png"
}

shoot_both() {
    mount --bind "$WORK/home" /home
    echo "== Linux"
    LANG=en_GB.UTF-8 TMPDIR=$WORK shoot "$OUT/linux.png" "$SOURCE/build-release/app/bulkon" /home/anna
    echo "== Windows (Wine)"
    shoot "$OUT/windows.png" wine "$SOURCE/build-windows/package/winapp/bulkon.exe" 'Z:\home\anna'
    wineserver -k 2>/dev/null || true
}
export HOME=$SOURCE/build-windows/wine-package/home WINEPREFIX=$SOURCE/build-windows/wine-package/prefix
export WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
export SOURCE OUT WORK
export -f shoot shoot_both
# A Wine server started outside would see the real /home.
wineserver -k 2>/dev/null || true
unshare --mount --propagation private bash -c shoot_both
ls -l "$OUT"/*.png
