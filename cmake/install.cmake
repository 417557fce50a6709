# Install rules (cmake --install BUILD --prefix PREFIX), in four components:
#   runtime      the shared libraries, the programs, NOTICE
#   development  the public headers, talmoro.pc, the CMake package files
#   java         talmoro.jar (java/CMakeLists.txt), when Java is built
#   data         the default dictionary and model of the build tree, when
#                scripts/build-dictionary.sh and scripts/build-model.sh made them
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(TALMORO_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/talmoro)
set(TALMORO_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/talmoro)

# Libraries. The public header names its own headers by paths from src/
# ("base/export.h"), so hosts get both include/ (for <talmoro/talmoro.h>) and
# include/talmoro/ (for the headers it includes).
set(TALMORO_INSTALL_LIBRARIES talmoro)
if(TARGET talmoro-reduced)
  list(APPEND TALMORO_INSTALL_LIBRARIES talmoro-reduced)
endif()
install(TARGETS ${TALMORO_INSTALL_LIBRARIES} EXPORT talmoroTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    COMPONENT runtime NAMELINK_COMPONENT development
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} ${TALMORO_INSTALL_INCLUDEDIR})

# Headers: src/api/talmoro.h becomes include/talmoro/talmoro.h; every project
# header it reaches through #include "..." keeps its path from src/ below
# include/talmoro/. Configuring again when one of them changes keeps the
# list whole.
function(talmoro_collect_headers header out)
  set(found ${${out}})
  if(header IN_LIST found)
    return()
  endif()
  list(APPEND found ${header})
  set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${header})
  get_filename_component(here ${header} DIRECTORY)
  file(STRINGS ${header} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(line ${lines})
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*" "\\1" name "${line}")
    if(EXISTS ${here}/${name})
      get_filename_component(path ${here}/${name} ABSOLUTE)
    elseif(EXISTS ${CMAKE_SOURCE_DIR}/src/${name})
      get_filename_component(path ${CMAKE_SOURCE_DIR}/src/${name} ABSOLUTE)
    else()
      message(FATAL_ERROR "talmoro: ${header} includes \"${name}\", which is not under src/")
    endif()
    talmoro_collect_headers(${path} found)
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

set(TALMORO_UMBRELLA_HEADER ${CMAKE_SOURCE_DIR}/src/api/talmoro.h)
set(TALMORO_PUBLIC_HEADERS)
talmoro_collect_headers(${TALMORO_UMBRELLA_HEADER} TALMORO_PUBLIC_HEADERS)
install(FILES ${TALMORO_UMBRELLA_HEADER}
  DESTINATION ${TALMORO_INSTALL_INCLUDEDIR} COMPONENT development)
foreach(header ${TALMORO_PUBLIC_HEADERS})
  if(header STREQUAL TALMORO_UMBRELLA_HEADER)
    continue()
  endif()
  file(RELATIVE_PATH relative ${CMAKE_SOURCE_DIR}/src ${header})
  get_filename_component(subdir ${relative} DIRECTORY)
  install(FILES ${header}
    DESTINATION ${TALMORO_INSTALL_INCLUDEDIR}/${subdir} COMPONENT development)
endforeach()

# talmoro.pc, written at install time so that its prefix is the one given to
# cmake --install rather than the one known when configuring.
install(CODE "
  set(TALMORO_PC_TEMPLATE \"${CMAKE_SOURCE_DIR}/cmake/talmoro.pc.in\")
  set(TALMORO_PC_LIBDIR \"${CMAKE_INSTALL_LIBDIR}\")
  set(TALMORO_PC_INCLUDEDIR \"${CMAKE_INSTALL_INCLUDEDIR}\")
  set(TALMORO_PC_VERSION \"${PROJECT_VERSION}\")
  include(\"${CMAKE_SOURCE_DIR}/cmake/write-pkgconfig.cmake\")
" COMPONENT development)

# The CMake package: find_package(talmoro) gives talmoro::talmoro (and
# talmoro::talmoro-reduced on Linux).
install(EXPORT talmoroTargets NAMESPACE talmoro::
  DESTINATION ${TALMORO_INSTALL_CMAKEDIR} COMPONENT development)
configure_file(${CMAKE_SOURCE_DIR}/cmake/talmoroConfig.cmake.in
  ${CMAKE_BINARY_DIR}/talmoroConfig.cmake @ONLY)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/talmoroConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/talmoroConfig.cmake
  ${CMAKE_BINARY_DIR}/talmoroConfigVersion.cmake
  DESTINATION ${TALMORO_INSTALL_CMAKEDIR} COMPONENT development)

# Programs: every tools/NAME.cpp but the demos. They link the engine
# statically, so they run from any prefix without a search path.
foreach(tool_source ${TALMORO_TOOLS})
  get_filename_component(tool ${tool_source} NAME_WE)
  if(tool MATCHES "-demo$")
    continue()
  endif()
  set(target ${tool})
  if(tool STREQUAL "talmoro")
    set(target talmoro-cli)
  endif()
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
endforeach()

install(FILES ${CMAKE_SOURCE_DIR}/NOTICE
  DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT runtime)

# The default dictionary and model, where talmoro looks for them from
# PREFIX/bin: PREFIX/share/talmoro/{dic,model}. A tree without them installs
# everything else.
foreach(data dic model)
  install(DIRECTORY ${CMAKE_BINARY_DIR}/${data}/
    DESTINATION ${CMAKE_INSTALL_DATADIR}/talmoro/${data}
    COMPONENT data OPTIONAL)
endforeach()
