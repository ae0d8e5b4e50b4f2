# Debian's build flags for the packaged programs, as dpkg-buildflags gives them with every
# hardening feature on: position-independent executables, immediate binding and read-only
# relocations, the fortified C library functions and the stack protector. The package's
# programs are built with them; a build without dpkg-buildflags stops here rather than make a
# package without them.
find_program(QELM_DPKG_BUILDFLAGS dpkg-buildflags)
if(NOT QELM_DPKG_BUILDFLAGS)
  message(FATAL_ERROR "dpkg-buildflags (dpkg-dev) is needed to build the package")
endif()

function(qelm_dpkg_flags kind out)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
            ${QELM_DPKG_BUILDFLAGS} --get ${kind}
    OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  set(${out} "${flags}" PARENT_SCOPE)
endfunction()

qelm_dpkg_flags(CPPFLAGS QELM_DEB_CPPFLAGS)
qelm_dpkg_flags(CXXFLAGS QELM_DEB_CXXFLAGS)
qelm_dpkg_flags(LDFLAGS QELM_DEB_LDFLAGS)
string(APPEND CMAKE_CXX_FLAGS " ${QELM_DEB_CPPFLAGS} ${QELM_DEB_CXXFLAGS}")
string(APPEND CMAKE_EXE_LINKER_FLAGS " ${QELM_DEB_LDFLAGS}")
# dpkg-buildflags chooses the optimisation (-O2) and keeps assertions out as a release does.
set(CMAKE_CXX_FLAGS_RELEASE "-DNDEBUG")
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
message(STATUS "Debian build flags: ${QELM_DEB_CPPFLAGS} ${QELM_DEB_CXXFLAGS} ${QELM_DEB_LDFLAGS}")
# The installed programs are stripped of their symbols, debugging information and .comment notes.
set(CMAKE_STRIP ${CMAKE_SOURCE_DIR}/package/strip-program CACHE FILEPATH "strip for the package" FORCE)
