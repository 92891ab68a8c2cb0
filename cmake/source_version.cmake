# Writes the header that names the source a build is made from, run by the
# build (platform/CMakeLists.txt) every time it runs rather than once when
# CMake configures: a commit made since, or a change to a file, shows in
# --version of the programs built next. The header is written only when
# what it says changed, so an unchanged source rebuilds nothing.
#
# In: VERSION (the project's), SOURCE_DIR, OUTPUT, GIT_EXECUTABLE (may be
# empty). The revision is what `git describe --tags --always --dirty` says,
# empty where the source is no git checkout (a release's tarball) or git is
# missing.
set(revision "")
if(GIT_EXECUTABLE AND EXISTS "${SOURCE_DIR}/.git")
  execute_process(COMMAND "${GIT_EXECUTABLE}" describe --tags --always --dirty
                  WORKING_DIRECTORY "${SOURCE_DIR}"
                  OUTPUT_VARIABLE revision OUTPUT_STRIP_TRAILING_WHITESPACE
                  ERROR_QUIET RESULT_VARIABLE git_failed)
  if(git_failed)
    set(revision "")
  endif()
endif()
set(text "// Made by the build from the source's git revision (cmake/source_version.cmake).
#pragma once
namespace platform {
inline constexpr char kVersion[] = \"${VERSION}\";
inline constexpr char kSourceRevision[] = \"${revision}\";
}  // namespace platform
")
set(old "")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL text)
  file(WRITE "${OUTPUT}" "${text}")
endif()
