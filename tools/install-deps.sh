#!/bin/sh
# Installs the Debian packages that building, running and testing KORVA need.
set -e
export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y --no-install-recommends \
    cmake ninja-build g++ ccache pkg-config \
    qt6-base-dev qt6-base-dev-tools qt6-l10n-tools libgl-dev \
    libsqlite3-dev libpugixml-dev unixodbc-dev tdsodbc libsqliteodbc \
    xvfb xauth xfonts-base fonts-dejavu-core fonts-wqy-microhei \
    desktop-file-utils appstream dpkg-dev file x11-utils groff-base lintian
