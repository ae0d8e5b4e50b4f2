# Writes the version information block OUT from TEMPLATE. Run at every build, so that the
# build's number follows the repository without a new configure; OUT is only rewritten when
# its content changes, so an unchanged number relinks nothing.
#   VERSION       the project's version, "1.0.0"
#   BUILD_NUMBER  the build's number; empty: the number of commits in SOURCE_DIR, else 0
if(BUILD_NUMBER STREQUAL "")
  execute_process(COMMAND git rev-list --count HEAD
                  WORKING_DIRECTORY ${SOURCE_DIR}
                  OUTPUT_VARIABLE count OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE failed ERROR_QUIET)
  if(NOT failed AND count MATCHES "^[0-9]+$")
    set(BUILD_NUMBER ${count})
  else()
    set(BUILD_NUMBER 0)
  endif()
endif()
string(REPLACE "." ";" parts "${VERSION}")
list(APPEND parts 0 0 0 0)
list(SUBLIST parts 0 4 parts)
list(JOIN parts ", " QELM_FILE_VERSION)
list(JOIN parts "." QELM_FIXED_VERSION)
set(QELM_SPECIAL_BUILD ${BUILD_NUMBER})
configure_file(${TEMPLATE} ${OUT}.new @ONLY NEWLINE_STYLE UNIX)
file(COPY_FILE ${OUT}.new ${OUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUT}.new)
