# The Debian packages (make deb), packed by CPack's DEB generator from what
# cmake --install puts under /usr, one per install component:
#   vostrel-cli  component cli:    vostrel-cli, its manual pages, bash
#                                  completion and the catalogues, which the
#                                  window reads too;
#   vostrel      component window: the window, its manual pages, desktop entry
#                                  and icons; it depends on vostrel-cli for
#                                  the catalogues, so no file is in both.
# Each also gets copyright and changelog, as Debian expects them. The
# run-time libraries are found by dpkg-shlibdeps: vostrel-cli, linked with
# the C++ runtime, needs the C library and libcrypto (libssl3, which decrypts
# password-protected ACE files); vostrel needs Qt too.
# vostrel-mkdb has no install rule: it builds test files, which an
# administrator has no use for.
include(GNUInstallDirs)
if(NOT PO4A_EXECUTABLE)
  message(FATAL_ERROR "po4a is needed for the Slovenian manual pages of the packages (tools/deps.sh deb)")
endif()

set(changelog ${CMAKE_BINARY_DIR}/package/changelog.Debian.gz)
add_custom_command(OUTPUT ${changelog}
                   COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/package
                   COMMAND gzip -9n -c ${CMAKE_SOURCE_DIR}/packaging/changelog > ${changelog}
                   DEPENDS ${CMAKE_SOURCE_DIR}/packaging/changelog VERBATIM)
add_custom_target(package_changelog ALL DEPENDS ${changelog})

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL cli window)
set(CPACK_PACKAGE_NAME vostrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_CONTACT "vostrel maintainers <maintainers@users.noreply.c-seed-d16ead50.example>")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SOURCE vostrel)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_CLI_PACKAGE_NAME vostrel-cli)
set(CPACK_COMPONENT_CLI_DESCRIPTION "repoint the linked tables of desktop-database front-ends
vostrel-cli lists, checks and repoints every link of many front-ends at
once, with Windows paths mapped to this machine's folders through Samba's,
CIFS's and Wine's configuration or a map file. Its own engine rewrites the
files in place (Jet 3, Jet 4 and ACE file formats), safe against a crash at
any instant.")

set(CPACK_DEBIAN_WINDOW_PACKAGE_NAME vostrel)
set(CPACK_DEBIAN_WINDOW_PACKAGE_SECTION x11)
set(CPACK_COMPONENT_WINDOW_DESCRIPTION "repoint a front-end's linked table in a small window
vostrel repoints the linked table Partner of the front-end MLQ.mdb at a
back-end file, in a small window with Slovenian captions; vostrel-cli does
the same unattended, for many front-ends at once.")
# The window cannot start without a platform plugin, and speaks the user's
# language in its dialogs with the toolkit's catalogues; dpkg-shlibdeps sees
# neither, as neither is linked.
set(CPACK_DEBIAN_WINDOW_PACKAGE_DEPENDS
    "vostrel-cli (= ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE}), qt6-qpa-plugins, qt6-translations-l10n")

# Each package's lintian overrides: its first upload closes no bug, for it
# is made here, not filed as an intent to package in Debian's archive.
foreach(component cli window)
  string(TOUPPER ${component} upper)
  set(package ${CPACK_DEBIAN_${upper}_PACKAGE_NAME})
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright ${changelog}
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package}
          COMPONENT ${component})
  set(overrides ${CMAKE_BINARY_DIR}/lintian/${package})
  file(WRITE ${overrides}
       "${package}: initial-upload-closes-no-bugs [usr/share/doc/${package}/changelog.Debian.gz:1]\n")
  install(FILES ${overrides} DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides COMPONENT ${component})
endforeach()
# The programs stripped, their debug symbols apart as Debian keeps them:
# vostrel-cli-dbgsym and vostrel-dbgsym hold /usr/lib/debug/.build-id/XX/
# YYYY.debug, where gdb looks for them by the program's build ID. CPack
# splits them off (only from programs it has not stripped itself, so
# CPACK_STRIP_FILES stays off); dbgsym.cmake mends its packages.
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/dbgsym.cmake)
include(CPack)
