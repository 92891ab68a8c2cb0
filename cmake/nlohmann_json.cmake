# The cli's --json is written, and relink --undo reads its report, by
# nlohmann-json, as the engine reads smbstatus --json
# (Debian's nlohmann-json3-dev), a library of headers alone. Debian installs it for the build machine only:
# a cross build's packages are looked for in the MinGW sysroot, and the
# package's own target would put all of /usr/include (the C library's
# headers for Linux) on the cross compiler's path. There the build takes the
# headers' nlohmann folder alone, through a folder of its own.
if(CMAKE_CROSSCOMPILING)
  set(VOSTREL_NLOHMANN_JSON_INCLUDE /usr/include CACHE PATH "The folder that holds nlohmann/json.hpp, for a cross build")
  set(headers ${VOSTREL_NLOHMANN_JSON_INCLUDE}/nlohmann)
  if(NOT EXISTS ${headers}/json.hpp)
    message(FATAL_ERROR "nlohmann-json is not in ${VOSTREL_NLOHMANN_JSON_INCLUDE} (Debian: nlohmann-json3-dev)")
  endif()
  # The version is in json.hpp up to 3.10, in a header of its own since.
  file(GLOB version_headers ${headers}/json.hpp ${headers}/detail/abi_macros.hpp)
  set(major "")
  foreach(header IN LISTS version_headers)
    file(STRINGS ${header} line REGEX "^#define NLOHMANN_JSON_VERSION_MAJOR 3( |$)")
    string(APPEND major "${line}")
  endforeach()
  if(NOT major)
    message(FATAL_ERROR "${headers} is not nlohmann-json 3")
  endif()
  set(own_include ${CMAKE_BINARY_DIR}/nlohmann_json_include)
  file(MAKE_DIRECTORY ${own_include})
  file(CREATE_LINK ${headers} ${own_include}/nlohmann SYMBOLIC)
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${own_include})
else()
  find_package(nlohmann_json 3 REQUIRED)
endif()
