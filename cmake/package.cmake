# The Debian package (make deb): what cmake --install puts under /usr, plus
# the manual pages, bash completion, copyright and changelog, packed by
# CPack's DEB generator with the programs stripped and the run-time
# libraries found by dpkg-shlibdeps.
include(GNUInstallDirs)

# Debian keeps manual pages and changelogs compressed, without a time stamp
# (gzip -n) so that the package is the same from one build to the next.
set(package_dir ${CMAKE_BINARY_DIR}/package)
set(compressed)
foreach(source docs/man/vostrel.1 docs/man/vostrel-cli.1 packaging/changelog)
  get_filename_component(name ${source} NAME)
  if(name STREQUAL "changelog")
    set(name changelog.Debian)
  endif()
  add_custom_command(OUTPUT ${package_dir}/${name}.gz
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${package_dir}
                     COMMAND gzip -9n -c ${CMAKE_SOURCE_DIR}/${source} > ${package_dir}/${name}.gz
                     DEPENDS ${CMAKE_SOURCE_DIR}/${source} VERBATIM)
  list(APPEND compressed ${package_dir}/${name}.gz)
endforeach()
add_custom_target(package_files ALL DEPENDS ${compressed})

install(FILES ${package_dir}/vostrel.1.gz ${package_dir}/vostrel-cli.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_SOURCE_DIR}/cli/vostrel-cli.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME vostrel-cli)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright ${package_dir}/changelog.Debian.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vostrel)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vostrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The programs are stripped and their debug symbols left out: CMake 3.25's
# dbgsym package (CPACK_DEBIAN_DEBUGINFO_PACKAGE) lists its files in md5sums
# by their staging paths, which lintian rejects. vostrel-mkdb has no install
# rule: it builds test files, which an administrator has no use for.
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT "vostrel maintainers <maintainers@users.noreply.c-seed-d16ead50.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "repoint the linked tables of desktop-database front-ends")
# CPack puts the summary on the first line itself.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "vostrel repoints the linked table Partner of the front-end MLQ.mdb (Jet 3,
Jet 4 and ACE file formats) at a back-end file, in a small window with
Slovenian captions. vostrel-cli lists, checks and repoints every link of
many front-ends at once, with Windows paths mapped to this machine's
folders. Its own engine rewrites the files in place, safe against a crash
at any instant.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window cannot start without a platform plugin, and speaks the user's
# language in its dialogs with the toolkit's catalogues; dpkg-shlibdeps sees
# neither, as neither is linked.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
