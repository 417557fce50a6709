# Writes talmoro.pc at install time (included by cmake_install.cmake, where
# CMAKE_INSTALL_PREFIX is the prefix being installed to). Expects
# TALMORO_PC_TEMPLATE, TALMORO_PC_LIBDIR, TALMORO_PC_INCLUDEDIR (relative to
# the prefix or absolute) and TALMORO_PC_VERSION.
set(talmoro_pc_prefix "${CMAKE_INSTALL_PREFIX}")
foreach(kind LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${TALMORO_PC_${kind}}")
    set(talmoro_pc_${kind} "${TALMORO_PC_${kind}}")
    set(talmoro_abs_${kind} "${TALMORO_PC_${kind}}")
  else()
    set(talmoro_pc_${kind} "\${prefix}/${TALMORO_PC_${kind}}")
    set(talmoro_abs_${kind} "${CMAKE_INSTALL_PREFIX}/${TALMORO_PC_${kind}}")
  endif()
endforeach()

set(talmoro_pc_file "$ENV{DESTDIR}${talmoro_abs_LIBDIR}/pkgconfig/talmoro.pc")
message(STATUS "Installing: ${talmoro_pc_file}")
configure_file("${TALMORO_PC_TEMPLATE}" "${talmoro_pc_file}" @ONLY)
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${talmoro_pc_file}")
