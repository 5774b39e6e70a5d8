# Sourced first by the scripts that run Windows programs of a build. On the
# first pass it installs what is missing, builds the targets named in
# $display_targets (everything when unset) and runs the calling script again,
# with the same arguments, under an Xvfb display of its own ($display_screen,
# WxHxD, when the default screen is too small). On that second pass it opens
# the build's Wine session. Needs $root and $build; $wine_prefix, when set,
# names the Wine prefix to use instead of the tests' one.
if [ -z "${TUNEWIRE_DISPLAY_READY:-}" ]; then
  "$root/scripts/setup.sh"
  # Build output goes to standard error: a first build takes minutes, and the
  # calling script's own output stays clean.
  "$root/scripts/build.sh" "$build" "${display_targets[@]}" >&2
  # Every Wine process of the run, the prefix's own included, must live on
  # the same display: see wine-session.sh.
  TUNEWIRE_DISPLAY_READY=1 exec xvfb-run -a ${display_screen:+-s "-screen 0 $display_screen"} \
    bash "$0" "$@"
fi
. "$root/scripts/wine-session.sh"
