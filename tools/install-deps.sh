#!/bin/sh
# Installs the Debian packages the build and the tests need, when any is missing. jackd2 and
# libjack-jackd2-dev go with librtmidi-dev: its JACK 1 development package would else be
# chosen, and replacing it later removes librtmidi-dev. pulseaudio is the sound server the
# tests of playing start for themselves (tools/pulse_server.sh).
set -e
packages="cmake ninja-build g++ clang libclang-rt-14-dev lld make pkg-config qtbase5-dev qtbase5-dev-tools
  qtmultimedia5-dev libqt5multimedia5-plugins pulseaudio
  librtmidi-dev jackd2 libjack-jackd2-dev libasound2-dev libsoxr-dev libebur128-dev libsndfile1-dev libtag1-dev
  libqt5sql5-sqlite libtinyxml2-dev zlib1g-dev libssl-dev libboost-dev libgtest-dev
  xvfb xauth sox ffmpeg lame flac fonts-dejavu-core desktop-file-utils appstream help2man lintian"
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing
