# The Wine prefix of the Windows program, shared by scripts/test-wine and
# scripts/run-wine.
# shellcheck shell=bash

export WINEPREFIX="${QV_WINEPREFIX:-$QV_ROOT/build/mingw/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64

# Starts a persistent wineserver (one that already runs keeps the display
# it was started on: stop it first to change displays) and lets Wine's
# background services come up before anything else runs: started later,
# they can hold a test's output open and make ctest wait for ever. Their
# output goes nowhere for the same reason.
# With an argument, the server ends that many seconds after its last program.
qv_wine_warm_up() {
    mkdir -p "$WINEPREFIX"
    wineserver "-p${1:-}" >/dev/null 2>&1
    wine wineboot >/dev/null 2>&1 </dev/null
    qv_wine_configure
}

qv_wine_configure() {
    local name
    # The panel's Japanese texts: link the IPA Gothic font into the dialog fonts.
    for name in "MS Shell Dlg" "Tahoma" "Microsoft Sans Serif"; do
        wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
            /v "$name" /t REG_MULTI_SZ /d "ipag.ttf,IPAGothic" /f >/dev/null 2>&1 </dev/null
    done
    # Wine's X11 driver cuts layered windows to the shape of their non-transparent
    # pixels with one X request; a detailed picture makes that request too long,
    # and the X error ends the program. The window is click-through anyway.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v ShapeLayeredWindows /t REG_SZ /d N /f \
        >/dev/null 2>&1 </dev/null
}

# For a script running inside a virtual X server: starts a compositing
# manager (layered windows show their alpha only under one), stops any
# wineserver started on another display, warms Wine up, and stops both
# again when the script exits.
qv_wine_start_composited() {
    xcompmgr >/dev/null 2>&1 &
    QV_COMPOSITOR_PID=$!
    trap qv_wine_stop_composited EXIT
    wineserver -k >/dev/null 2>&1 || true
    qv_wine_warm_up
}

qv_wine_stop_composited() {
    wineserver -k 2>/dev/null || true
    kill "$QV_COMPOSITOR_PID" 2>/dev/null || true
    wait "$QV_COMPOSITOR_PID" 2>/dev/null || true
}
