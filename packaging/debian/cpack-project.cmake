# SPDX-License-Identifier: GPL-3.0-or-later
# Read by cpack itself (CPACK_PROJECT_CONFIG_FILE) when it makes the package, so the control file's
# Maintainer is that of whoever runs it, the same as the changelog's signature.
include("${CMAKE_CURRENT_LIST_DIR}/maintainer.cmake")
orvane_debian_maintainer(CPACK_DEBIAN_PACKAGE_MAINTAINER)
