# Sourced by the test scripts: a headless X server, a fresh Wine prefix in
# the Chinese locale (code page 936) with a CJK font, one persistent
# wineserver and a process that keeps Wine's desktop alive.
#   wine_session_start KEEPER_EXE   then   wine_session_stop
#   wine_test_arch   prints the Windows build that Wine runs here: i686 (the
#                    product) where 32-bit Wine works, else x86_64
# Wine is always started through its 64-bit loader: Debian's wine commands
# prefer the 32-bit one even where the kernel cannot run it.

wine_test_arch() {
    if [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1; then
        echo i686
    else
        echo x86_64
    fi
}

wine_session_start() {
    local keeper="$1"
    export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
    export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winealsa.drv="
    export WINEARCH=win64
    QF_SESSION_DIR=$(mktemp -d /tmp/qf-session.XXXXXX)
    export WINEPREFIX="$QF_SESSION_DIR/prefix"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$QF_SESSION_DIR/display" \
        >"$QF_SESSION_DIR/xvfb.log" 2>&1 &
    QF_XVFB_PID=$!
    local i
    for i in $(seq 100); do [ -s "$QF_SESSION_DIR/display" ] && break; sleep 0.1; done
    export DISPLAY=":$(head -n1 "$QF_SESSION_DIR/display")"
    mkdir -p "$WINEPREFIX"
    wineserver -p
    /usr/lib/wine/wine64 wineboot.exe -i >/dev/null 2>&1
    /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\Fonts\Replacements' /v SimSun /d 'WenQuanYi Micro Hei' /f \
        >/dev/null 2>&1
    /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'MS Sans Serif' /d 'WenQuanYi Micro Hei' /f \
        >/dev/null 2>&1
    # No window manager runs here: unmanaged windows keep dialogs from
    # waiting for one when they close.
    /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    if [ -n "$keeper" ] && [ -f "$keeper" ]; then
        /usr/lib/wine/wine64 "$keeper" >/dev/null 2>&1 &
        QF_KEEPER_PID=$!
    fi
    xset r off 2>/dev/null || true
    trap wine_session_stop EXIT
}

wine_session_stop() {
    [ -n "${QF_KEEPER_PID:-}" ] && kill "$QF_KEEPER_PID" 2>/dev/null
    wineserver -k 2>/dev/null
    [ -n "${QF_XVFB_PID:-}" ] && kill "$QF_XVFB_PID" 2>/dev/null
    wait 2>/dev/null
    [ -n "${QF_SESSION_DIR:-}" ] && rm -rf "$QF_SESSION_DIR"
    QF_KEEPER_PID= QF_XVFB_PID= QF_SESSION_DIR=
}
