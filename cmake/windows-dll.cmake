# talmoro-1.0.dll, read by the cross build that cmake/windows-cross.cmake
# configures with cmake/mingw-w64.cmake. It carries the engine's own revision
# and the Java binding, exports the Java native functions alone (the only
# names marked for export on Windows), and leaves out the option reader, the
# attribute marker functions with the dictionary compiler that calls them,
# and the print operations, which nothing in it calls; the model trainer
# serves the training program only. The print operations sit in files that
# the DLL needs otherwise: link-time optimisation of the whole program, whose
# only entry points are the exported functions, drops them (section garbage
# collection cannot, as the unwind tables of x64 Windows refer to every
# function).
if(NOT TALMORO_JNI_INCLUDE_DIR OR NOT TALMORO_DARTS_HEADER)
  message(FATAL_ERROR "the Windows build needs TALMORO_JNI_INCLUDE_DIR and TALMORO_DARTS_HEADER")
endif()

set(TALMORO_DLL_SOURCES ${TALMORO_SOURCES})
list(REMOVE_ITEM TALMORO_DLL_SOURCES
  ${CMAKE_CURRENT_SOURCE_DIR}/src/base/args.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/src/pos/attributes.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/src/knowledge/lexicon_source.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/src/tagger/model_trainer.cpp)
file(GLOB TALMORO_JNI_SOURCES CONFIGURE_DEPENDS src/jni/*.cpp)

# darts is one header: a copy of it alone keeps the host's other headers out.
configure_file(${TALMORO_DARTS_HEADER} ${CMAKE_CURRENT_BINARY_DIR}/darts/darts.h COPYONLY)

# Objects with the optimiser's intermediate code, linked as a whole program.
add_library(talmoro_dll_objects OBJECT ${TALMORO_DLL_SOURCES} ${TALMORO_JNI_SOURCES})
target_include_directories(talmoro_dll_objects PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/src)
# cmake/windows supplies the jni_md.h that the host JDK's jni.h includes.
target_include_directories(talmoro_dll_objects SYSTEM PUBLIC
  ${CMAKE_CURRENT_BINARY_DIR}/darts ${CMAKE_CURRENT_SOURCE_DIR}/cmake/windows
  ${TALMORO_JNI_INCLUDE_DIR})
target_compile_options(talmoro_dll_objects PRIVATE -flto=auto)

add_library(talmoro SHARED $<TARGET_OBJECTS:talmoro_dll_objects>)
set_target_properties(talmoro PROPERTIES
  OUTPUT_NAME talmoro-${PROJECT_VERSION} PREFIX "")
# Self-contained: the C++ runtime is linked in, so the DLL needs only the
# system's DLLs.
target_link_options(talmoro PRIVATE
  -flto=auto -fwhole-program -static-libgcc -static-libstdc++ -Wl,--no-undefined)

# The smoke program on the same code, run under wine by the native build's
# tests (option TALMORO_WINDOWS_SMOKE).
if(TALMORO_WINDOWS_SMOKE)
  add_executable(talmoro-smoke tests/windows/smoke.cpp $<TARGET_OBJECTS:talmoro_dll_objects>)
  target_include_directories(talmoro-smoke PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/src)
  target_link_options(talmoro-smoke PRIVATE -flto=auto -static)
endif()
