# What an installed tree offers beyond the programs: the adapter library for
# programs of one's own (pkg-config file and CMake package), the manual pages,
# the Debian package's documents, and the Debian package itself (`make package`).
# All of it is for Linux.
if(WIN32)
  return()
endif()

# --- The adapter library for other programs --------------------------------
if(TARGET Vantrel_PIC)
  set(VANTREL_PIC_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/VantrelPIC)
  install(EXPORT VantrelPICTargets NAMESPACE VantrelPIC:: DESTINATION ${VANTREL_PIC_CMAKE_DIR})
  include(CMakePackageConfigHelpers)
  configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/VantrelPICConfig.cmake.in
    ${CMAKE_BINARY_DIR}/VantrelPICConfig.cmake INSTALL_DESTINATION ${VANTREL_PIC_CMAKE_DIR})
  write_basic_package_version_file(${CMAKE_BINARY_DIR}/VantrelPICConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
  install(FILES ${CMAKE_BINARY_DIR}/VantrelPICConfig.cmake ${CMAKE_BINARY_DIR}/VantrelPICConfigVersion.cmake
    DESTINATION ${VANTREL_PIC_CMAKE_DIR})

  # The system's /usr is written as it is, so that pkg-config prints clean
  # paths; any other prefix is relative to the .pc file, so that the tree can
  # be moved or unpacked anywhere.
  if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
    set(pc_prefix /usr)
  else()
    file(RELATIVE_PATH pc_to_prefix /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
    set(pc_prefix "\${pcfiledir}/${pc_to_prefix}")
  endif()
  configure_file(${CMAKE_CURRENT_LIST_DIR}/vantrel-pic.pc.in ${CMAKE_BINARY_DIR}/vantrel-pic.pc @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/vantrel-pic.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

  # A C program of one's own, built against an installed tree both ways. Not
  # in the sanitizer build: an uninstrumented program cannot load its library.
  if(BUILD_TESTING)
    add_test(NAME InstalledLibraryBuildsWithPkgConfigAndCMake
      COMMAND ${PROJECT_SOURCE_DIR}/packaging/installed_library_test.sh ${CMAKE_BINARY_DIR}
              ${PROJECT_SOURCE_DIR}/packaging)
    set_tests_properties(InstalledLibraryBuildsWithPkgConfigAndCMake PROPERTIES
      ENVIRONMENT "VANTREL_VERSION=${PROJECT_VERSION}" LABELS "packaging;no-sanitize")
  endif()
endif()

# --- Manual pages, English and Russian --------------------------------------
# Installed compressed, as Debian wants them. The library's page is also found
# under the name of each of its functions.
set(library_functions Vantrel_Init OpenCom_Port CloseCom_Port Vantrel_Test Vantrel_StartStop
    Vantrel_OutByteCommand Vantrel_OutByteData Vantrel_InByteData Vantrel_DataOut Vantrel_DataIn)
foreach(language en ru)
  file(GLOB pages CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/doc/man/${language}/*.[13])
  set(sources)
  foreach(page IN LISTS pages)
    list(APPEND sources ${page})
    if(page MATCHES "vantrel_pic\\.3$")
      foreach(function IN LISTS library_functions)
        file(WRITE ${CMAKE_BINARY_DIR}/man-aliases/${language}/${function}.3 ".so man3/vantrel_pic.3\n")
        list(APPEND sources ${CMAKE_BINARY_DIR}/man-aliases/${language}/${function}.3)
      endforeach()
    endif()
  endforeach()
  if(language STREQUAL "en")
    set(man_dir ${CMAKE_INSTALL_MANDIR})
  else()
    set(man_dir ${CMAKE_INSTALL_MANDIR}/${language})
  endif()
  set(compressed)
  foreach(page IN LISTS sources)
    get_filename_component(name ${page} NAME)
    string(REGEX REPLACE ".*\\." "" section ${name})
    set(out ${CMAKE_BINARY_DIR}/man/${language}/${name}.gz)
    add_custom_command(OUTPUT ${out}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man/${language}
      COMMAND gzip -9n -c ${page} > ${out}
      DEPENDS ${page} VERBATIM)
    list(APPEND compressed ${out})
    install(FILES ${out} DESTINATION ${man_dir}/man${section})
  endforeach()
  add_custom_target(man_pages_${language} ALL DEPENDS ${compressed})
endforeach()

# --- The Debian package -------------------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vantrel-bench)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Vantrel bench toolkit <bench@vantrel.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "PIC programmer tools, serial terminal and USB thermometer monitor")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tools for the electronics bench, with Russian user interface texts:
seven one-job tools and the command-line programmer pic-prog for PIC
microcontrollers in the Vantrel adapter, a simple programmer driven through
a serial port's modem lines, with its line primitives as the shared library
libVantrel_PIC; Wirelet, a serial terminal that drives DTR and RTS and
exchanges single bytes; and Ambrel, an always-on-top monitor that shows and
speaks the reading of a USB HID thermometer, with ambrel-read, which prints
it for shells and logs and writes it for Prometheus (systemd timer included,
disabled).")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Beyond what dpkg-shlibdeps finds in the binaries: windows need Qt's platform
# plugins, which libqt6gui6 only recommends; Ambrel loads libhidapi-hidraw.so.0
# at run time, out of the scan's sight; its Russian voice comes from
# espeak-ng's data, and the speech service with its espeak-ng module adds the
# voices of speech-dispatcher.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libhidapi-hidraw0, espeak-ng-data")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "speech-dispatcher, speech-dispatcher-espeak-ng")
# The shlibs control file for libVantrel_PIC.so.1, and the library cache
# refreshed by dpkg's ldconfig trigger. CPack also writes postinst and postrm
# scripts that call ldconfig themselves; the trigger makes them redundant, so
# they are taken out of the built package.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/debian/triggers)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/debian/without_ldconfig_scripts.cmake)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})

# Debian wants the copyright and a compressed changelog in the package's doc folder.
set(package_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_PACKAGE_NAME})
configure_file(${PROJECT_SOURCE_DIR}/doc/debian/changelog.in ${CMAKE_BINARY_DIR}/package/changelog @ONLY)
set(package_changelog ${CMAKE_BINARY_DIR}/package/changelog.gz)
add_custom_command(OUTPUT ${package_changelog}
  COMMAND gzip -9n -c ${CMAKE_BINARY_DIR}/package/changelog > ${package_changelog}
  DEPENDS ${CMAKE_BINARY_DIR}/package/changelog VERBATIM)
add_custom_target(package_changelog ALL DEPENDS ${package_changelog})
install(FILES ${package_changelog} ${PROJECT_SOURCE_DIR}/doc/debian/copyright DESTINATION ${package_doc_dir})

include(CPack)
