# Run by CPack after it has built the packages (CPACK_POST_BUILD_SCRIPTS):
# makes its debug-symbol packages (<name>-dbgsym_*.ddeb) what Debian ships.
# CMake 3.25 lists their files in md5sums by the paths they were staged at,
# gives them no copyright or changelog, and leaves the debug files
# executable. Each is unpacked, mended and packed again:
#   the debug files 0644, as dh_strip leaves them (their sections are left
#     uncompressed: the program's .gnu_debuglink holds the CRC of the file
#     as it is);
#   /usr/share/doc/<name>-dbgsym a link to <name>'s folder, which Debian
#     allows as the package depends on <name> of the same version;
#   md5sums and Installed-Size made from what the package holds.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package MATCHES "/([^/_]+)-dbgsym_[^/]*\\.ddeb$")
    continue()
  endif()
  set(name ${CMAKE_MATCH_1})
  set(root ${package}.d)
  file(REMOVE_RECURSE ${root})
  execute_process(COMMAND dpkg-deb -R ${package} ${root} COMMAND_ERROR_IS_FATAL ANY)
  file(GLOB_RECURSE debug_files ${root}/usr/lib/debug/*.debug)
  foreach(debug_file IN LISTS debug_files)
    file(CHMOD ${debug_file} FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  endforeach()
  file(MAKE_DIRECTORY ${root}/usr/share/doc)
  file(CREATE_LINK ${name} ${root}/usr/share/doc/${name}-dbgsym SYMBOLIC)

  set(md5sums "")
  set(bytes 0)
  file(GLOB_RECURSE files RELATIVE ${root} ${root}/usr/*)
  list(SORT files)
  foreach(file IN LISTS files)
    if(IS_SYMLINK ${root}/${file})
      continue()
    endif()
    file(MD5 ${root}/${file} sum)
    string(APPEND md5sums "${sum}  ${file}\n")
    file(SIZE ${root}/${file} size)
    math(EXPR bytes "${bytes} + ${size}")
  endforeach()
  file(WRITE ${root}/DEBIAN/md5sums "${md5sums}")
  math(EXPR kib "(${bytes} + 1023) / 1024")
  file(READ ${root}/DEBIAN/control control)
  string(REGEX REPLACE "Installed-Size: [0-9]+" "Installed-Size: ${kib}" control "${control}")
  file(WRITE ${root}/DEBIAN/control "${control}")

  file(REMOVE ${package})
  execute_process(COMMAND dpkg-deb --root-owner-group --build ${root} ${package}
                  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE ${root})
endforeach()
