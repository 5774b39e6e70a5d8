# Sourced first by the scripts that run Windows programs of a build. On the
# first pass it installs what is missing, settles the build ($build: the
# caller's TUNEWIRE_BUILD_DIR, else arch.sh's folder of this machine's kind),
# says which it is, builds the targets named in $display_targets (everything
# when unset) and runs the calling script again, with the same arguments,
# under an Xvfb display of its own ($display_screen, WxHxD, when the default
# screen is too small). On that second pass it opens the build's Wine session
# and, on an x86-64 build, says so again when the script ends. Needs $root and
# $display_what (what runs, for those lines: "the suite"); $prefix_name, when
# set, names a Wine prefix of the build to use instead of the tests' one.
if [ -z "${TUNEWIRE_DISPLAY_READY:-}" ]; then
  "$root/scripts/setup.sh"
  # Only the install needs root. Under sudo, the build and its Wine prefixes
  # go to the user who asked, so that a later run without sudo can use them.
  if [ "$(id -u)" -eq 0 ] && [ "${SUDO_UID:-0}" != 0 ]; then
    exec setpriv --reuid="$SUDO_UID" --regid="$SUDO_GID" --init-groups \
      env -u SUDO_UID -u SUDO_GID -u SUDO_USER -u SUDO_COMMAND \
      HOME="$(getent passwd "$SUDO_UID" | cut -d: -f6)" USER="$SUDO_USER" LOGNAME="$SUDO_USER" \
      bash "$0" "$@"
  fi
fi
. "$root/scripts/arch.sh"
build=${TUNEWIRE_BUILD_DIR:-$arch_build}
if [ -z "${TUNEWIRE_DISPLAY_READY:-}" ]; then
  if [ "$TUNEWIRE_ARCH" = x86 ] && [ "$runs_32bit" = no ]; then
    echo "$(basename "$0"): TUNEWIRE_ARCH=x86, but $no_32bit_reason" >&2
    exit 1
  fi
  say_arch "$display_what runs"
  # Build output goes to standard error: a first build takes minutes, and the
  # calling script's own output stays clean.
  "$root/scripts/build.sh" "$build" "${display_targets[@]}" >&2
  # Every Wine process of the run, the prefix's own included, must live on
  # the same display: see wine-session.sh.
  # With $display_private_network set, a normal user's run goes into a user
  # and network namespace of its own, where it may bind any port of loopback
  # and loopback is all there is. The display and the wineserver start in it
  # too: Wine's wineserver, not the program, makes a program's sockets.
  private_network=()
  if [ -n "${display_private_network:-}" ] && [ "$(id -u)" -ne 0 ]; then
    private_network=(unshare --user --map-root-user --net -- sh -c 'ip link set lo up && exec "$@"' sh)
  fi
  TUNEWIRE_DISPLAY_READY=1 TUNEWIRE_BUILD_DIR=$build \
    exec "${private_network[@]}" xvfb-run -a ${display_screen:+-s "-screen 0 $display_screen"} bash "$0" "$@"
fi
wine_prefix=$build/${prefix_name:-wineprefix}
. "$root/scripts/wine-session.sh"
[ "$TUNEWIRE_ARCH" = x86 ] || on_exit 'say_arch "$display_what ran"'
