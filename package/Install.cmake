# Installing, and the Debian package made of the same files (`cpack -G DEB`).
#
# The window program lies in its own folder with the help file beside it (the Help button opens
# the file next to the program's own file); the command in bin is a relative link to it, so
# /proc/self/exe, and with it the help file's folder, is the program's own folder wherever the
# prefix lies. qelm-cli and the radio stand-in qelm-radio-sim go to bin. Every program in bin
# has a manual page; the desktop entry, the AppStream metainfo, the icons (scalable and the
# usual hicolor sizes), the copyright file and the changelogs go where Debian expects them.
include(GNUInstallDirs)
set(QELM_PROGRAM_DIR lib/qelm-config)
set(QELM_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/qelm-config)

install(TARGETS qelm-config RUNTIME DESTINATION ${QELM_PROGRAM_DIR})
install(FILES resources/QELM_Help.htm DESTINATION ${QELM_PROGRAM_DIR})
file(CREATE_LINK ../${QELM_PROGRAM_DIR}/qelm-config ${CMAKE_BINARY_DIR}/qelm-config-command
     SYMBOLIC)
install(FILES ${CMAKE_BINARY_DIR}/qelm-config-command DESTINATION ${CMAKE_INSTALL_BINDIR}
        RENAME qelm-config)
set(QELM_MAN_PAGES qelm-config)
foreach(program qelm-cli qelm-radio-sim)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    list(APPEND QELM_MAN_PAGES ${program})
  endif()
endforeach()

# Manual pages and changelogs are installed compressed, as Debian keeps them: gzip -9n, with no
# name or time stamp inside, so the same source gives the same bytes.
set(QELM_GZ_DIR ${CMAKE_BINARY_DIR}/package)
set(QELM_GZ_FILES)
function(qelm_gzip source output)
  add_custom_command(OUTPUT ${QELM_GZ_DIR}/${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${QELM_GZ_DIR}
    COMMAND gzip -9nc ${source} > ${QELM_GZ_DIR}/${output}
    DEPENDS ${source} VERBATIM)
  set(QELM_GZ_FILES ${QELM_GZ_FILES} ${QELM_GZ_DIR}/${output} PARENT_SCOPE)
endfunction()
foreach(page ${QELM_MAN_PAGES})
  qelm_gzip(${CMAKE_SOURCE_DIR}/resources/man/${page}.1 ${page}.1.gz)
  install(FILES ${QELM_GZ_DIR}/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
qelm_gzip(${CMAKE_SOURCE_DIR}/package/changelog changelog.Debian.gz)
add_custom_target(qelm_compressed_docs ALL DEPENDS ${QELM_GZ_FILES})
install(FILES ${QELM_GZ_DIR}/changelog.Debian.gz package/copyright DESTINATION ${QELM_DOC_DIR})
install(FILES package/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME qelm-config)

install(FILES resources/qelm-config.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES resources/com.morvafendral.qelmconfig.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES resources/icons/qelm-config.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 22 24 32 48 64 128 256)
  install(FILES resources/icons/${size}/qelm-config.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

set(CPACK_PACKAGE_NAME qelm-config)
set(CPACK_PACKAGE_VENDOR "Morva Fendral")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "configuration tool for 2400/2410 spread-spectrum radio modems")
# Each line of the long description stays within 80 columns once the package tools indent it.
set(CPACK_PACKAGE_DESCRIPTION
    "QELM Config (TUVAR Config Tool) finds a 2400 or 2410 radio modem on a serial\n\
port, reads its settings, lets a technician change them and stores them back\n\
into the radio, or resets it to the maker's defaults. Everything it does is\n\
kept in a time-stamped log.\n\
.\n\
The package holds the window program (Qt, or a text terminal where there is\n\
no display), qelm-cli for scripts and for provisioning many radios at once,\n\
and qelm-radio-sim, a stand-in radio on a pseudo-terminal for training and\n\
demonstrations without hardware.")
set(CPACK_PACKAGE_CONTACT "QELM Config maintainers <maintainers@qelm-config.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 2)
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The help file opens in the desktop's viewer through xdg-open; in a terminal a text browser
# shows it. The dialog layouts were drawn for Liberation Sans' metrics.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, fonts-liberation2")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "w3m | lynx | elinks")
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/package/InstalledSize.cmake)
set(CPACK_GENERATOR DEB)
include(CPack)
