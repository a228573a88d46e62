# Install rules, run paths and the Debian package (docs/install.md).
#
# Included before the folders, so that every target made afterwards gets the run path of its
# kind; qorval_add_install_rules() runs once every folder has been read (the top file defers
# it), so that it sees the targets the folders define late. Each rule is guarded by
# if(TARGET ...): a program or library that is not built in this tree is simply not installed.
include(GNUInstallDirs)

# Where the suite's own shared libraries go (the shared dialogs, the applet): not for other
# programs, so not beside libqorval32 in the linker's path.
set(QORVAL_PRIVATE_LIBDIR "${CMAKE_INSTALL_LIBDIR}/qorval")
set(QORVAL_SYSTEMD_USER_UNIT_DIR "lib/systemd/user" CACHE STRING
    "Folder below the prefix for the systemd user unit (share/systemd/user for a prefix in a home)")

# Installed binaries find the suite's libraries relative to themselves, so a moved tree runs;
# the build tree's absolute run path is replaced at install time and never installed.
set(CMAKE_INSTALL_RPATH "\$ORIGIN/../${CMAKE_INSTALL_LIBDIR};\$ORIGIN/../${QORVAL_PRIVATE_LIBDIR}")
set(CMAKE_INSTALL_RPATH_USE_LINK_PATH OFF)

# Where packet analysers look for external capture programs (extcap(4)): Debian's Wireshark
# looks in lib/<multiarch>/wireshark/extcap below its prefix (`tshark -G folders`, "Extcap
# path"), which is this for the package's prefix /usr. A tree in a home folder installs there
# too; the analyser then finds it through WIRESHARK_EXTCAP_DIR.
set(QORVAL_WIRESHARK_EXTCAP_DIR "${CMAKE_INSTALL_LIBDIR}/wireshark/extcap" CACHE STRING
    "Folder below the prefix for the packet analyser's extcap program lombex32-extcap")

# The programs, in bin/.
set(QORVAL_PROGRAMS wyvel32 lombex32 kessup vintor qorval)
# The programs that open a window when started with no arguments: a desktop entry and an icon
# each (install/desktop/<program>.desktop, install/icons/<program>.svg).
set(QORVAL_WINDOW_PROGRAMS lombex32 kessup vintor qorval)

# Every shared or module library defined in `dir` and below.
function(qorval_collect_shared_libraries dir out)
  set(found)
  get_property(targets DIRECTORY "${dir}" PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(kind ${target} TYPE)
    if(kind STREQUAL "SHARED_LIBRARY" OR kind STREQUAL "MODULE_LIBRARY")
      list(APPEND found ${target})
    endif()
  endforeach()
  get_property(subdirs DIRECTORY "${dir}" PROPERTY SUBDIRECTORIES)
  foreach(subdir IN LISTS subdirs)
    qorval_collect_shared_libraries("${subdir}" below)
    list(APPEND found ${below})
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

function(qorval_install_port_access_library)
  if(NOT TARGET qorval32)
    return()
  endif()
  # libqorval32.so.1 (SONAME) -> libqorval32.so.1.0.0, and libqorval32.so for linking.
  set_target_properties(qorval32 PROPERTIES
    VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR}
    INSTALL_RPATH "\$ORIGIN")
  target_link_options(qorval32 PRIVATE
    "-Wl,--version-script=${CMAKE_SOURCE_DIR}/portaccess/library/qorval32.map")
  set_property(TARGET qorval32 APPEND PROPERTY LINK_DEPENDS
    "${CMAKE_SOURCE_DIR}/portaccess/library/qorval32.map")
  install(TARGETS qorval32 LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    NAMELINK_SKIP COMPONENT runtime)
  install(TARGETS qorval32 LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    NAMELINK_ONLY COMPONENT development)
  install(FILES "${CMAKE_SOURCE_DIR}/portaccess/qorval32.h"
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development)
  # The .pc file names its prefix relative to itself, so it also serves a moved tree.
  set(pc_dir "${CMAKE_INSTALL_LIBDIR}/pkgconfig")
  file(RELATIVE_PATH QORVAL_PC_PREFIX_FROM_PC "/${pc_dir}" "/")
  string(REGEX REPLACE "/$" "" QORVAL_PC_PREFIX_FROM_PC "${QORVAL_PC_PREFIX_FROM_PC}")
  configure_file("${CMAKE_SOURCE_DIR}/install/qorval32.pc.in"
    "${CMAKE_BINARY_DIR}/install/qorval32.pc" @ONLY)
  install(FILES "${CMAKE_BINARY_DIR}/install/qorval32.pc"
    DESTINATION ${pc_dir} COMPONENT development)
endfunction()

function(qorval_install_programs)
  foreach(program IN LISTS QORVAL_PROGRAMS)
    if(TARGET ${program})
      # Whatever a folder set for its build tree, the installed program looks in lib/.
      set_target_properties(${program} PROPERTIES INSTALL_RPATH "${CMAKE_INSTALL_RPATH}")
      install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
      install(FILES "${CMAKE_SOURCE_DIR}/install/man/${program}.1"
        DESTINATION "${CMAKE_INSTALL_MANDIR}/man1" COMPONENT runtime)
    endif()
  endforeach()
  if(TARGET qorval32)
    install(FILES "${CMAKE_SOURCE_DIR}/install/man/qorval32.3"
      DESTINATION "${CMAKE_INSTALL_MANDIR}/man3" COMPONENT development)
  endif()
  # The suite's own libraries: the shared dialogs and the applet, whatever their names.
  qorval_collect_shared_libraries("${CMAKE_SOURCE_DIR}" libraries)
  list(REMOVE_ITEM libraries qorval32)
  foreach(library IN LISTS libraries)
    set_target_properties(${library} PROPERTIES INSTALL_RPATH "\$ORIGIN;\$ORIGIN/..")
    install(TARGETS ${library} LIBRARY DESTINATION ${QORVAL_PRIVATE_LIBDIR} COMPONENT runtime)
  endforeach()
endfunction()

# lombex32-extcap goes into the packet analyser's extcap folder, which it shares with no
# other file of the suite; its run path reaches lib/ from there.
function(qorval_install_extcap)
  if(NOT TARGET lombex32-extcap)
    return()
  endif()
  file(RELATIVE_PATH to_libdir "/${QORVAL_WIRESHARK_EXTCAP_DIR}" "/${CMAKE_INSTALL_LIBDIR}")
  set_target_properties(lombex32-extcap PROPERTIES INSTALL_RPATH "\$ORIGIN/${to_libdir}")
  install(TARGETS lombex32-extcap RUNTIME DESTINATION "${QORVAL_WIRESHARK_EXTCAP_DIR}"
    COMPONENT runtime)
  install(FILES "${CMAKE_SOURCE_DIR}/install/man/lombex32-extcap.1"
    DESTINATION "${CMAKE_INSTALL_MANDIR}/man1" COMPONENT runtime)
endfunction()

function(qorval_install_desktop_files)
  if(NOT QORVAL_WINDOWS)
    return()
  endif()
  foreach(program IN LISTS QORVAL_WINDOW_PROGRAMS)
    if(TARGET ${program})
      install(FILES "${CMAKE_SOURCE_DIR}/install/desktop/${program}.desktop"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/applications" COMPONENT runtime)
      install(FILES "${CMAKE_SOURCE_DIR}/install/icons/${program}.svg"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps" COMPONENT runtime)
    endif()
  endforeach()
endfunction()

function(qorval_install_service)
  if(NOT TARGET wyvel32)
    return()
  endif()
  configure_file("${CMAKE_SOURCE_DIR}/install/wyvel32.service.in"
    "${CMAKE_BINARY_DIR}/install/wyvel32.service" @ONLY)
  install(FILES "${CMAKE_BINARY_DIR}/install/wyvel32.service"
    DESTINATION "${QORVAL_SYSTEMD_USER_UNIT_DIR}" COMPONENT runtime)
  install(FILES "${CMAKE_SOURCE_DIR}/install/wyvel32.conf"
    DESTINATION "${CMAKE_INSTALL_DOCDIR}/examples" COMPONENT runtime)
endfunction()

function(qorval_add_package)
  set(CPACK_PACKAGE_NAME "qorval")
  set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
  set(CPACK_PACKAGE_CONTACT "Qorval suite maintainers <qorval@localhost>")
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Tools for synchronous serial HDLC/SDLC links on a simulated adapter card")
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"The wyvel32 adapter driver in a driver host with simulated cards, the port
 access library libqorval32 with its C header and pkg-config file, the
 protocol analyser lombex32 with lombex32-extcap, which captures the ports
 live into Wireshark and tshark, the bit error rate tester kessup, the
 terminal vintor and the configuration tool qorval.")
  set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION "comm")
  # The shared libraries the binaries need, found by dpkg-shlibdeps.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The windows' toolbar icons where the desktop has no icon theme.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "tango-icon-theme")
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "systemd, desktop-file-utils, wireshark | tshark")
  set(CPACK_STRIP_FILES ON)
  set(CPACK_SOURCE_IGNORE_FILES "/build/;/\\\\.git/")
  include(CPack)
endfunction()

function(qorval_add_install_rules)
  qorval_install_port_access_library()
  qorval_install_programs()
  qorval_install_extcap()
  qorval_install_desktop_files()
  qorval_install_service()
  qorval_add_package()
endfunction()
