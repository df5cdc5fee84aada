# Shared by scripts/web, scripts/test-web and scripts/package: builds the
# browser page (preset web) into build/web/site.
# shellcheck shell=bash

# Emscripten's tools are node programs that want Debian's acorn; with a node
# that is not Debian's they find it only through NODE_PATH.
QV_WEB_PACKAGES=(emscripten node-acorn nodejs python3)
QV_WEB_SITE="$QV_ROOT/build/web/site"

qv_web_env() {
    local dir
    for dir in /usr/share/nodejs /usr/lib/nodejs; do
        [ -d "$dir" ] && case ":${NODE_PATH:-}:" in *":$dir:"*) ;; *) NODE_PATH="${NODE_PATH:+$NODE_PATH:}$dir" ;; esac
    done
    export NODE_PATH
}

qv_build_web() {
    qv_ensure_packages "${QV_BUILD_PACKAGES[@]}" "${QV_WEB_PACKAGES[@]}"
    qv_web_env
    qv_say "building the page (preset web)"
    cmake --preset web >/dev/null
    cmake --build --preset web -j "$(qv_jobs)"
}
