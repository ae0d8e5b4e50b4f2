# Run by cpack after it has made the package (CPACK_POST_BUILD_SCRIPTS): sets the package's
# Installed-Size to what its files take, counted as dpkg-gencontrol counts it (each file and
# link its size in KiB rounded up, each folder 1 KiB), and packs the package again. cpack itself
# counts the file behind a symbolic link once more for the link, so the command link to the
# window program would count the program twice.
# A package that cannot be unpacked or packed again stops the build with the reason.
foreach(deb ${CPACK_PACKAGE_FILES})
  if(NOT deb MATCHES "\\.deb$")
    continue()
  endif()
  set(root ${deb}.unpacked)
  file(REMOVE_RECURSE ${root})
  execute_process(COMMAND dpkg-deb -R ${deb} ${root} COMMAND_ERROR_IS_FATAL ANY)
  file(GLOB_RECURSE entries LIST_DIRECTORIES true RELATIVE ${root} ${root}/*)
  set(kib 0)
  foreach(entry ${entries})
    if(entry MATCHES "^DEBIAN(/|$)")
      continue()
    endif()
    if(IS_SYMLINK ${root}/${entry})
      file(READ_SYMLINK ${root}/${entry} target)
      string(LENGTH "${target}" bytes)
    elseif(IS_DIRECTORY ${root}/${entry})
      math(EXPR kib "${kib} + 1")
      continue()
    else()
      file(SIZE ${root}/${entry} bytes)
    endif()
    math(EXPR kib "${kib} + (${bytes} + 1023) / 1024")
  endforeach()
  file(READ ${root}/DEBIAN/control control)
  string(REGEX REPLACE "\nInstalled-Size: [0-9]+\n" "\nInstalled-Size: ${kib}\n" control
         "${control}")
  file(WRITE ${root}/DEBIAN/control "${control}")
  execute_process(COMMAND dpkg-deb --root-owner-group -Zxz -b ${root} ${deb}
                  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE ${root})
  message(STATUS "Installed-Size: ${kib} KiB (${deb})")
endforeach()
