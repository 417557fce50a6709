# The Windows build, talmoro-1.0.dll, cross-compiled with mingw-w64 as a
# build of its own (ExternalProject) in windows/ under the build directory,
# so the native build stays as it is. Only when the cross compiler and the
# JNI header (of the host's JDK, found by find_package(JNI)) are present.
find_program(TALMORO_MINGW_CXX x86_64-w64-mingw32-g++)
find_program(TALMORO_MINGW_OBJDUMP x86_64-w64-mingw32-objdump)
find_program(TALMORO_MINGW_NM x86_64-w64-mingw32-nm)
if(NOT TALMORO_MINGW_CXX OR NOT TALMORO_MINGW_OBJDUMP OR NOT TALMORO_MINGW_NM)
  message(STATUS "talmoro: no x86_64-w64-mingw32 toolchain, talmoro-1.0.dll is not built")
  return()
endif()
if(NOT JAVA_INCLUDE_PATH OR NOT EXISTS ${JAVA_INCLUDE_PATH}/jni.h)
  message(STATUS "talmoro: no JNI header, talmoro-1.0.dll is not built")
  return()
endif()

# A smoke run of the same code under wine, compared with the native run:
# opt-in, as wine is a large install that the build does not ask for.
option(TALMORO_WINDOWS_SMOKE "Run a smoke program of the Windows build under wine" OFF)
if(TALMORO_WINDOWS_SMOKE)
  find_program(TALMORO_WINE NAMES wine wine64 PATHS /usr/lib/wine)
  if(NOT TALMORO_WINE)
    message(FATAL_ERROR "TALMORO_WINDOWS_SMOKE needs wine (Debian package wine64)")
  endif()
endif()

include(ExternalProject)
set(TALMORO_WINDOWS_DIR ${CMAKE_BINARY_DIR}/windows)
set(TALMORO_DLL ${TALMORO_WINDOWS_DIR}/talmoro-${PROJECT_VERSION}.dll)
ExternalProject_Add(talmoro-windows
  SOURCE_DIR ${CMAKE_SOURCE_DIR}
  BINARY_DIR ${TALMORO_WINDOWS_DIR}
  CMAKE_ARGS
    -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-w64.cmake
    -DCMAKE_BUILD_TYPE=Release
    -DTALMORO_TESTS=OFF
    -DTALMORO_JNI_INCLUDE_DIR=${JAVA_INCLUDE_PATH}
    -DTALMORO_DARTS_HEADER=${DARTS_INCLUDE_DIR}/darts.h
    -DTALMORO_WINDOWS_SMOKE=${TALMORO_WINDOWS_SMOKE}
  BUILD_ALWAYS ON
  INSTALL_COMMAND ""
  BUILD_BYPRODUCTS ${TALMORO_DLL})

if(TALMORO_TESTS)
  # Its export table holds the Java native functions and nothing else, and
  # it carries none of the code it leaves out.
  add_test(NAME WindowsDllExports
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/windows_exports_test.sh
      ${TALMORO_MINGW_OBJDUMP} ${TALMORO_MINGW_NM} ${TALMORO_DLL})

  if(TALMORO_WINDOWS_SMOKE)
    add_executable(talmoro-smoke ${CMAKE_SOURCE_DIR}/tests/windows/smoke.cpp)
    target_link_libraries(talmoro-smoke PRIVATE talmoro_core)
    add_test(NAME WindowsSmoke
      COMMAND bash ${CMAKE_SOURCE_DIR}/tests/windows_smoke_test.sh
        $<TARGET_FILE:talmoro-smoke> ${TALMORO_WINDOWS_DIR}/talmoro-smoke.exe
        $<TARGET_FILE:talmoro-dict> $<TARGET_FILE:talmoro-train> ${TALMORO_WINE}
        ${CMAKE_BINARY_DIR}/windows-smoke)
  endif()
endif()
