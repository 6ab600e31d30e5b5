# Mbed TLS 3.6, built from Debian 13's source package that scripts/setup.sh
# unpacks into build/, for whatever toolchain this build uses: static
# libraries mbedtls, mbedx509 and mbedcrypto, configured by mbedtls_config.h
# beside this file. Nothing of it is kept in the repository.
set(VELTRANO_MBEDTLS_SOURCE ${CMAKE_SOURCE_DIR}/build/mbedtls-src/source
    CACHE PATH "Unpacked Mbed TLS 3.6 source (scripts/setup.sh puts it there)")
if(NOT EXISTS ${VELTRANO_MBEDTLS_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "No Mbed TLS source in ${VELTRANO_MBEDTLS_SOURCE}: run scripts/setup.sh")
endif()

# The fuzzing preset names only a C++ compiler; Mbed TLS is C, and takes the
# same clang's sanitizer options.
if(NOT CMAKE_C_COMPILER AND CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  string(REPLACE "clang++" "clang" CMAKE_C_COMPILER "${CMAKE_CXX_COMPILER}")
endif()

set(MBEDTLS_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/mbedtls_config.h CACHE FILEPATH "" FORCE)
set(ENABLE_PROGRAMS OFF CACHE BOOL "" FORCE)
set(ENABLE_TESTING OFF CACHE BOOL "" FORCE)
set(USE_STATIC_MBEDTLS_LIBRARY ON CACHE BOOL "" FORCE)
set(USE_SHARED_MBEDTLS_LIBRARY OFF CACHE BOOL "" FORCE)
set(GEN_FILES OFF CACHE BOOL "" FORCE)
set(DISABLE_PACKAGE_CONFIG_AND_INSTALL ON CACHE BOOL "" FORCE)
# Its warnings are its maintainers' business; a newer compiler's new warning
# must not stop our build.
set(MBEDTLS_FATAL_WARNINGS OFF CACHE BOOL "" FORCE)
add_subdirectory(${VELTRANO_MBEDTLS_SOURCE} ${CMAKE_BINARY_DIR}/mbedtls EXCLUDE_FROM_ALL SYSTEM)

# On Windows Mbed TLS links bcrypt for its entropy, which the configuration
# leaves out. Taken off the link line, so that a call into it fails to link
# rather than adding an import of a DLL that is not a KnownDLL.
if(WIN32)
  foreach(lib mbedcrypto mbedx509 mbedtls)
    foreach(property LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
      get_target_property(libs ${lib} ${property})
      list(REMOVE_ITEM libs bcrypt)
      set_target_properties(${lib} PROPERTIES ${property} "${libs}")
    endforeach()
  endforeach()
endif()
