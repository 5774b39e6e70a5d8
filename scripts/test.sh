#!/usr/bin/env bash
# Builds the plugin, its tools and its tests, and runs the whole suite under
# Wine on one Xvfb display. Installs what it needs first. Arguments go to ctest.
# The build is this machine's kind (scripts/arch.sh; TUNEWIRE_ARCH chooses).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# Larger and deeper than xvfb-run's 640x480x8 default: the windows of tests
# running at once share this screen.
display_screen=1280x1024x24
display_what="the suite"
# The tests' servers listen on port 80 of loopback addresses, which only root
# may bind: a normal user's suite runs in a network namespace of its own.
display_private_network=yes
arch_note="; the tests check it as a file, and skip what needs 32-bit execution: the installer's run and the shared GCC runtime case"
. "$root/scripts/on-display.sh"
# Most tests spend their time waiting for the monitor's one-second polls, so
# four run at once even on two cores.
ctest --test-dir "$build" --output-on-failure -j 4 "$@"
