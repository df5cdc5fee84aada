#!/usr/bin/env bash
# The renderer's clips read by real clients: webpmux for the animated WebP,
# ffmpeg turning the raw frames into the README's WebM with alpha and ProRes
# 4444, and an interrupted run that must leave nothing behind.
# Usage: clip_tools_test.sh path/to/quorvane-render
set -euo pipefail
render=$1
for tool in webpmux ffmpeg ffprobe od; do
    command -v "$tool" >/dev/null || { echo "needs $tool (Debian packages webp and ffmpeg)" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
small=(--size 64x48 --space 10 --seed 5 --quiet)

# The animated WebP: 4 frames of 40 ms on a 64x48 canvas, looping forever.
"$render" "${small[@]}" --frames 4 --fps 25 -o "$work/c.webp"
info=$(webpmux -info "$work/c.webp")
grep -q "Canvas size: 64 x 48" <<<"$info" || fail "webp canvas: $info"
grep -q "Number of frames: 4" <<<"$info" || fail "webp frame count: $info"
grep -q "Loop Count : 0" <<<"$info" || fail "webp loop: $info"
[ "$(grep -cE '^ *[0-9]+: +64 +48 +yes +0 +0 +40 ' <<<"$info")" -eq 4 ] || fail "webp durations: $info"

# Raw RGBA into a WebM with alpha, decoded again by libvpx (ffmpeg's own
# VP9 decoder drops the alpha): 6 frames of 64x48, some clear, some well seen.
frames=6
"$render" "${small[@]}" --frames "$frames" --format rgba -o - |
    ffmpeg -v error -f rawvideo -pixel_format rgba -video_size 64x48 -framerate 12 -i - \
        -c:v libvpx-vp9 -pix_fmt yuva420p "$work/c.webm"
probe=$(ffprobe -v error -count_frames -select_streams v:0 \
    -show_entries stream=width,height,nb_read_frames -of csv=p=0 "$work/c.webm")
[ "$probe" = "64,48,$frames" ] || fail "webm: $probe"
ffmpeg -v error -c:v libvpx-vp9 -i "$work/c.webm" -f rawvideo -pix_fmt rgba - >"$work/back.rgba"
[ "$(stat -c %s "$work/back.rgba")" -eq $((frames * 64 * 48 * 4)) ] || fail "webm decodes to the wrong size"
alphas=$(od -An -v -tu1 -w4 "$work/back.rgba" | awk '{ if ($4 < 8) clear++; if ($4 > 128) seen++ }
    END { print (clear > 0 && seen > 0) ? "both" : "no alpha" }')
[ "$alphas" = both ] || fail "webm alpha: $alphas"

# ProRes 4444 keeps the alpha plane.
"$render" "${small[@]}" --frames 3 --format rgba -o - |
    ffmpeg -v error -f rawvideo -pixel_format rgba -video_size 64x48 -framerate 12 -i - \
        -c:v prores_ks -profile:v 4444 -pix_fmt yuva444p10le "$work/c.mov"
probe=$(ffprobe -v error -count_frames -select_streams v:0 \
    -show_entries stream=pix_fmt,nb_read_frames -of csv=p=0 "$work/c.mov")
[[ "$probe" =~ ^yuva444p[0-9]+le,3$ ]] || fail "prores: $probe"

# Ctrl+C (and SIGTERM) half way through a long PNG sequence or WebP: exit 2,
# one line, and not one frame file or temporary left.
set -m  # a background job of a script would otherwise ignore SIGINT
for run in INT:f_%05d.png TERM:f_%05d.png INT:c.webp; do
    signal=${run%%:*} name=${run#*:}
    dir="$work/$signal-${name##*.}"
    mkdir "$dir"
    "$render" --size 320x240 --seed 1 --frames 10000 -o "$dir/$name" 2>"$work/err" &
    pid=$!
    # A few frames in (the WebP's one temporary is there from the start).
    for _ in $(seq 200); do
        [ "$(find "$dir" -type f | wc -l)" -ge 5 ] && break
        [[ $name == *.webp ]] && [ -n "$(ls -A "$dir")" ] && sleep 0.3 && break
        sleep 0.05
    done
    kill -"$signal" "$pid"
    status=0
    wait "$pid" || status=$?
    [ "$status" -eq 2 ] || fail "SIG$signal: exit $status"
    grep -q "interrupted; no new file was kept" "$work/err" || fail "SIG$signal: $(cat "$work/err")"
    [ "$(wc -l <"$work/err")" -eq 1 ] || fail "SIG$signal: more than one line"
    [ -z "$(ls -A "$dir")" ] || fail "SIG$signal left: $(ls -A "$dir" | head -3)"
done
echo "clip tools: all passed"
