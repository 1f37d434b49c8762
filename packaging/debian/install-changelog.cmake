# SPDX-License-Identifier: GPL-3.0-or-later
# Run at install time (install(SCRIPT)): writes the Debian changelog made from CHANGELOG.md,
# compressed as Debian keeps it, into the documentation directory as changelog.gz.
# ORVANE_SOURCE_DIR, ORVANE_WORK_DIR (in the build tree) and ORVANE_DOC_DIR come from install(CODE).
include("${ORVANE_SOURCE_DIR}/packaging/debian/maintainer.cmake")
orvane_debian_maintainer(maintainer)
# A folder of this install's own: cpack and cmake --install may run from one build at once.
string(RANDOM LENGTH 12 run)
set(made "${ORVANE_WORK_DIR}/changelog-${run}")
file(MAKE_DIRECTORY "${made}")
execute_process(
  COMMAND sh "${ORVANE_SOURCE_DIR}/packaging/debian/debian-changelog.sh"
          "${ORVANE_SOURCE_DIR}/CHANGELOG.md" "${maintainer}"
  COMMAND gzip -9n
  OUTPUT_FILE "${made}/changelog.gz"
  RESULTS_VARIABLE results)
foreach(result ${results})
  if(NOT result EQUAL 0)
    file(REMOVE_RECURSE "${made}")
    message(FATAL_ERROR "the Debian changelog could not be made from CHANGELOG.md")
  endif()
endforeach()
file(INSTALL "${made}/changelog.gz" DESTINATION "${CMAKE_INSTALL_PREFIX}/${ORVANE_DOC_DIR}"
     PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
file(REMOVE_RECURSE "${made}")
