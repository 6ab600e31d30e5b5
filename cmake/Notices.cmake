# THIRD-PARTY-NOTICES.txt beside the exe: the licence of every library that
# the linker actually took into it, read from the link map after each link,
# so that a library dropped or added changes the file with no one to forget
# it. The texts come from where Debian installed each library (its package's
# copyright file) and from Mbed TLS's own LICENSE.
#
# Included, it gives veltrano_third_party_notices(target); run with
# cmake -DMAP=<link map> -DOUT=<file> -DMBEDTLS=<source> -P, it writes the file.

if(NOT CMAKE_SCRIPT_MODE_FILE)
  # Made again after each link of target, and when this file or a licence
  # it copies changes.
  function(veltrano_third_party_notices target)
    set(map ${CMAKE_CURRENT_BINARY_DIR}/${target}.map)
    get_target_property(folder ${target} RUNTIME_OUTPUT_DIRECTORY)
    set(notices ${folder}/THIRD-PARTY-NOTICES.txt)
    target_link_options(${target} PRIVATE -Wl,-Map=${map})
    add_custom_command(OUTPUT ${notices}
      COMMAND ${CMAKE_COMMAND} -DMAP=${map} -DOUT=${notices} -DMBEDTLS=${VELTRANO_MBEDTLS_SOURCE}
              -P ${CMAKE_CURRENT_FUNCTION_LIST_FILE}
      DEPENDS ${target} ${CMAKE_CURRENT_FUNCTION_LIST_FILE} ${VELTRANO_MBEDTLS_SOURCE}/LICENSE VERBATIM)
    add_custom_target(${target}_notices ALL DEPENDS ${notices})
  endfunction()
  return()
endif()

file(READ ${MAP} map)
# The map's first part names each archive member that was linked in:
# "/path/libfoo.a(member.o)". Only the archive's path is of use here.
string(REGEX MATCHALL "[^ \t\n(]+\\.a\\(" members "${map}")
list(TRANSFORM members REPLACE "\\($" "")
list(REMOVE_DUPLICATES members)

# The Debian package that installed path, and with it the copyright file.
function(copyright_of path out)
  cmake_path(NORMAL_PATH path)
  execute_process(COMMAND dpkg-query -S ${path} OUTPUT_VARIABLE owner RESULT_VARIABLE failed ERROR_QUIET)
  string(REGEX REPLACE "[:,].*" "" package "${owner}")
  if(failed OR NOT EXISTS /usr/share/doc/${package}/copyright)
    message(FATAL_ERROR "Notices: no Debian copyright file for ${path}")
  endif()
  file(READ /usr/share/doc/${package}/copyright text)
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# The part of text from the line that begins with first up to the one that
# begins with next.
function(slice text first next out)
  string(FIND "${text}" "\n${first}" begin)
  string(FIND "${text}" "\n${next}" end)
  if(begin LESS 0 OR end LESS begin)
    message(FATAL_ERROR "Notices: no \"${first}\" before \"${next}\" in a copyright file")
  endif()
  math(EXPR length "${end} - ${begin}")
  string(SUBSTRING "${text}" ${begin} ${length} part)
  set(${out} "${part}" PARENT_SCOPE)
endfunction()

set(notices "")
set(rule "\n\n================================================================================\n")
foreach(component gcc mingw mbedtls)
  set(used "")
  foreach(archive ${members})
    get_filename_component(name ${archive} NAME)
    if(component STREQUAL "gcc" AND name MATCHES "^lib(stdc\\+\\+|supc\\+\\+|gcc|gcc_eh|ssp)\\.a$")
      set(used ${archive})
    elseif(component STREQUAL "mingw" AND name MATCHES "^lib(mingw32|mingwex|msvcrt|winpthread|pthread)\\.a$")
      set(used ${archive})
    elseif(component STREQUAL "mbedtls" AND name MATCHES "^libmbed(tls|x509|crypto)\\.a$")
      set(used ${archive})
    endif()
  endforeach()
  if(NOT used)
    continue()
  endif()
  if(component STREQUAL "gcc")
    # Debian's file covers all of GCC; what binds an exe is the runtime
    # libraries' licence, the GPL with the Runtime Library Exception.
    copyright_of(${used} text)
    slice("${text}" "GCC is Copyright" "The libbacktrace library" terms)
    slice("${text}" "GCC RUNTIME LIBRARY EXCEPTION" "libquadmath/" exception)
    file(READ /usr/share/common-licenses/GPL-3 gpl)
    string(APPEND notices "${rule}libstdc++ and libgcc (GCC), under the GNU General Public License version 3 with "
           "the GCC Runtime Library Exception version 3.1\n${terms}${exception}\n${gpl}")
  elseif(component STREQUAL "mingw")
    copyright_of(${used} text)
    string(APPEND notices "${rule}The mingw-w64 runtime (C runtime, winpthreads), as Debian gives its terms\n\n"
           "${text}")
  else()
    file(READ ${MBEDTLS}/LICENSE text)
    string(APPEND notices "${rule}Mbed TLS, under the Apache License 2.0 (or, at the recipient's choice, the GNU "
           "General Public License version 2 or later)\n\n${text}")
  endif()
endforeach()

file(WRITE ${OUT}.new "Korvane Veltrano includes the following third-party software, each under its own "
     "licence as given below.${notices}")
file(RENAME ${OUT}.new ${OUT})
