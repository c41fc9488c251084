# Installation and the Debian package: the programs into bin, their man pages (gzipped), the
# bash completion, the demo files, the copyright and changelog; `cpack -G DEB` (or the `package` target) makes
# quorvath_<version>_amd64.deb whose Depends come from the libraries the programs link.
include(GNUInstallDirs)

install(TARGETS quorvath RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET btrutil)
  install(TARGETS btrutil RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# The man pages: each template with its options (quorvath) or synopsis (btrutil) taken from
# the built program's --help, so that the page and the help name the same options.
find_package(Python3 COMPONENTS Interpreter QUIET)
if(Python3_FOUND)
  set(man_pages)
  foreach(program quorvath btrutil)
    if(NOT TARGET ${program})
      continue()
    endif()
    set(man_page ${CMAKE_BINARY_DIR}/docs/man/${program}.1)
    add_custom_command(
      OUTPUT ${man_page}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/docs/man
      COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/docs/man/make_man.py
              ${CMAKE_SOURCE_DIR}/docs/man/${program}.1.in $<TARGET_FILE:${program}>
              ${PROJECT_VERSION} ${man_page}
      DEPENDS ${CMAKE_SOURCE_DIR}/docs/man/${program}.1.in ${CMAKE_SOURCE_DIR}/docs/man/make_man.py
              ${program}
      COMMENT "Writing the ${program}(1) man page")
    # Installed compressed, as Debian's policy asks: gzip -9n (no name, no time: the same
    # bytes from every build).
    add_custom_command(
      OUTPUT ${man_page}.gz
      COMMAND gzip -9n -c ${man_page} > ${man_page}.gz
      DEPENDS ${man_page}
      COMMENT "Compressing the ${program}(1) man page")
    list(APPEND man_pages ${man_page} ${man_page}.gz)
    install(FILES ${man_page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endforeach()
  add_custom_target(man_pages ALL DEPENDS ${man_pages})
endif()

install(FILES scripts/completion/quorvath scripts/completion/btrutil
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

if(TARGET demo_files)
  install(FILES ${CMAKE_BINARY_DIR}/examples/demo.def ${CMAKE_BINARY_DIR}/examples/clients.dbt
    DESTINATION ${CMAKE_INSTALL_DATADIR}/quorvath/examples)
endif()

# The package's copyright (machine-readable) and its changelog, compressed.
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/quorvath)
install(FILES docs/package/copyright DESTINATION ${doc_dir})
configure_file(docs/package/changelog.in ${CMAKE_BINARY_DIR}/docs/package/changelog @ONLY)
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/docs/package/changelog.gz
  COMMAND gzip -9n -c ${CMAKE_BINARY_DIR}/docs/package/changelog >
          ${CMAKE_BINARY_DIR}/docs/package/changelog.gz
  DEPENDS ${CMAKE_BINARY_DIR}/docs/package/changelog
  COMMENT "Compressing the package's changelog")
add_custom_target(package_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/docs/package/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/docs/package/changelog.gz DESTINATION ${doc_dir})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvath)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Quorvath developers <dev@quorvath.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Exports Btrieve data files as SQL scripts")
# Lines of less than 80 characters with the blank the package's description puts before each.
set(CPACK_PACKAGE_DESCRIPTION
  "Quorvath reads one Btrieve data file, as its dictionary describes it, and
writes an SQL script, without the vendor's engine: quorvath on the command
line, quorvath-gui in a window, btrutil for maintaining Btrieve files.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_NAME quorvath)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The engine library's shlibs file, and the ldconfig trigger a library in /usr/lib needs.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/docs/package/triggers)
if(TARGET quorvath-gui)
  # The window needs a platform plugin of the toolkit, which no linked library names.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
endif()
set(CPACK_STRIP_FILES ON)
include(CPack)
