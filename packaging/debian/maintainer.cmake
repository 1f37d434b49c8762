# SPDX-License-Identifier: GPL-3.0-or-later
# The package's maintainer, "NAME <ADDRESS>", read the way Debian's own tools (dch, debchange) read
# it: the address from DEBEMAIL, which may also carry the name as "NAME <ADDRESS>", and the name from
# DEBFULLNAME, which wins over a name in DEBEMAIL. Unset, the project's own name and an address
# that is no one's private one. Read when the package is made, so whoever builds it signs it.
function(orvane_debian_maintainer out)
  set(name "Orvane developers")
  set(address "orvane@users.noreply.github.com")
  set(debemail "$ENV{DEBEMAIL}")
  if(debemail MATCHES "^(.*[^ ]) *<([^<>]+)>$")
    set(name "${CMAKE_MATCH_1}")
    set(address "${CMAKE_MATCH_2}")
  elseif(NOT debemail STREQUAL "")
    set(address "${debemail}")
  endif()
  if(NOT "$ENV{DEBFULLNAME}" STREQUAL "")
    set(name "$ENV{DEBFULLNAME}")
  endif()
  set(${out} "${name} <${address}>" PARENT_SCOPE)
endfunction()
